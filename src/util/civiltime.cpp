#include "util/civiltime.h"

#include <ctime>

namespace wmi {

namespace {

long long floorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days from 1970-01-01 to a day of the proleptic Gregorian calendar (month 1 to 12).
long long daysFromCivil(long long year, long long month, long long day) {
  year -= month <= 2;
  const long long era = floorDiv(year, 400);
  const long long yearOfEra = year - era * 400;
  const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// The zone's offset from UTC at an instant, in seconds east.
bool offsetAt(long long seconds, long& offset) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) return false;
  offset = local.tm_gmtoff;
  return true;
}

long long mktimeOf(int year, int month, int day, int hour, int minute, int second) {
  std::tm broken{};
  broken.tm_year = year - 1900;
  broken.tm_mon = month - 1;
  broken.tm_mday = day;
  broken.tm_hour = hour;
  broken.tm_min = minute;
  broken.tm_sec = second;
  broken.tm_isdst = -1;
  return static_cast<long long>(std::mktime(&broken));
}

}  // namespace

long long utcSecondsOf(long long year, long long month, long long day, long long hour, long long minute,
                       long long second) {
  const long long monthIndex = month - 1;
  const long long fullYear = year + floorDiv(monthIndex, 12);
  const long long days = daysFromCivil(fullYear, monthIndex - floorDiv(monthIndex, 12) * 12 + 1, 1) + day - 1;
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

long long localTimeOf(int year, int month, int day, int hour, int minute, int second) {
  const long long asUtc = utcSecondsOf(year, month, day, hour, minute, second);
  long roughOffset = 0, offset = 0, before = 0, after = 0;
  if (offsetAt(asUtc, roughOffset) && offsetAt(asUtc - roughOffset, offset)) {
    const long long time = asUtc - offset;
    long at = 0;
    // Far from any change of the zone's offset the local time names exactly
    // one instant. Near one (daylight saving, a change of zone) it may be
    // skipped or repeated: mktime decides those.
    if (offsetAt(time, at) && at == offset && offsetAt(time - 86400, before) && offsetAt(time + 86400, after) &&
        before == at && after == at)
      return time;
  }
  return mktimeOf(year, month, day, hour, minute, second);
}

}  // namespace wmi
