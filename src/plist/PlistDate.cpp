#include "plist/PlistDate.h"

namespace Plist {

Date::Date() { setToCurrentTime(); }

Date::Date(int month, int day, int year, int hour, int minute, int second, bool UTC) {
  set(month, day, year, hour, minute, second, UTC);
}

void Date::set(int, int, int, int, int, int, bool) { _time = 0; }

void Date::setToCurrentTime() { _time = time(nullptr); }

time_t Date::timeAsEpoch() const { return _time; }

}  // namespace Plist
