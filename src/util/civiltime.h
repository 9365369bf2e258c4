// Dates and times of the calendar turned into seconds since 1970.
#pragma once

namespace wmi {

// A date and time read as UTC. Fields out of range carry over as timegm
// carries them (month 13 is January of the next year, day 0 the last day of
// the month before).
long long utcSecondsOf(long long year, long long month, long long day, long long hour, long long minute,
                       long long second);

// A local date and time, exactly as mktime reads it with the zone deciding
// daylight saving (-1 when it cannot). Much cheaper than mktime, which looks
// at the zone file again on every call.
long long localTimeOf(int year, int month, int day, int hour, int minute, int second);

}  // namespace wmi
