// A point in time as whole seconds since 1970-01-01T00:00:00 UTC.
#pragma once

#include <ctime>
#include <string>

namespace Plist {

class Date {
 public:
  // 1970-01-01T00:00:00 UTC.
  Date() = default;

  time_t timeAsEpoch() const { return _time; }

  // Reads "YYYY-MM-DDTHH:MM:SSZ" as UTC, as sscanf reads it with
  // "%4d-%2d-%2dT%2d:%2d:%2dZ": fields missing from the text are taken from
  // 1970-01-01T00:00:00, and fields out of range carry over (month 13 is
  // January of the next year). Times before 1970 are as valid as any other.
  void setTimeFromXMLConvention(const std::string& text);

  // Seconds since 2001-01-01T00:00:00 UTC, the reference of binary plists.
  // Fractions are dropped toward zero; NaN gives the 1970 epoch and values
  // beyond the 64-bit range saturate.
  void setTimeFromAppleEpoch(double seconds);

 private:
  time_t _time = 0;
};

static_assert(sizeof(time_t) == 8, "dates need a 64-bit time_t");

}  // namespace Plist
