// A point in time as seconds since 1970-01-01T00:00:00 UTC.
#pragma once

#include <ctime>
#include <string>

namespace Plist {

class Date {
 public:
  Date();
  Date(int month, int day, int year, int hour, int minute, int second, bool UTC);

  void set(int month, int day, int year, int hour, int minute, int second, bool UTC);
  void setToCurrentTime();
  time_t timeAsEpoch() const;

 private:
  time_t _time;
};

}  // namespace Plist
