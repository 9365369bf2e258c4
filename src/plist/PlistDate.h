// A point in time as whole seconds since 1970-01-01T00:00:00 UTC.
#pragma once

#include <ctime>
#include <string>

namespace Plist {

class Date {
 public:
  // The current time.
  Date();
  Date(int month, int day, int year, int hour, int minute, int second, bool UTC);

  // Note the order: month, day, year. With UTC false the fields are local
  // time, and a time the system cannot represent throws Plist::Error. Fields
  // out of range carry over (month 13 is January of the next year). Times
  // before 1970 are as valid as any other.
  void set(int month, int day, int year, int hour, int minute, int second, bool UTC);
  void setToCurrentTime();

  time_t timeAsEpoch() const;
  long long secondsSinceDate(const Date& other) const;
  // -1, 0 or 1 as `a` is earlier than, equal to or later than `b`.
  static int compare(const Date& a, const Date& b);
  bool operator<(const Date& other) const { return _time < other._time; }
  bool operator>(const Date& other) const { return _time > other._time; }
  bool operator==(const Date& other) const { return _time == other._time; }

  // "%Y-%m-%dT%H:%M:%SZ" in UTC; empty when the year has more than four digits.
  std::string timeAsXMLConvention() const;
  // Reads "YYYY-MM-DDTHH:MM:SSZ" as UTC; fields missing from the text are
  // taken from 1970-01-01T00:00:00.
  void setTimeFromXMLConvention(const std::string& text);

  // Seconds since 2001-01-01T00:00:00 UTC, the reference of binary plists.
  // Fractions are dropped toward zero; NaN gives the 1970 epoch and values
  // beyond the 64-bit range saturate.
  void setTimeFromAppleEpoch(double seconds);
  double timeAsAppleEpoch() const;

 private:
  time_t _time;
};

static_assert(sizeof(time_t) == 8, "dates need a 64-bit time_t");

}  // namespace Plist
