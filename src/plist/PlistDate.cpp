#include "plist/PlistDate.h"

#include "util/civiltime.h"

#include <cmath>
#include <limits>

namespace Plist {

namespace {

constexpr double kAppleEpochOffset = 978307200.0;  // 1970 to 2001, in seconds

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// One "%<width>d" of scanf: blanks skipped, then an optional sign and digits,
// at most `width` characters in all. False when no digit is there.
bool scanNumber(const char*& text, int width, int& value) {
  while (isSpace(*text)) ++text;
  const char* p = text;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  long long number = 0;
  const char* digits = p;
  while (p - text < width && *p >= '0' && *p <= '9') number = number * 10 + (*p++ - '0');
  if (p == digits) return false;
  value = static_cast<int>(negative ? -number : number);
  text = p;
  return true;
}

// Reads "%4d-%2d-%2dT%2d:%2d:%2dZ" as sscanf would, stopping at the first
// field or separator that does not match. sscanf itself costs more than the
// rest of a report's dates put together.
void scanXmlDate(const char* text, int* fields[6]) {
  static const int kWidths[6] = {4, 2, 2, 2, 2, 2};
  static const char kSeparators[6] = {'-', '-', 'T', ':', ':', 'Z'};
  for (int i = 0; i < 6; ++i) {
    if (!scanNumber(text, kWidths[i], *fields[i])) return;
    if (*text != kSeparators[i]) return;
    ++text;
  }
}

}  // namespace

void Date::setTimeFromXMLConvention(const std::string& text) {
  int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  int* fields[6] = {&year, &month, &day, &hour, &minute, &second};
  scanXmlDate(text.c_str(), fields);
  _time = static_cast<time_t>(wmi::utcSecondsOf(year, month, day, hour, minute, second));
}

void Date::setTimeFromAppleEpoch(double seconds) {
  const double epoch = seconds + kAppleEpochOffset;
  // 2^63 exactly; converting a double at or beyond it is undefined.
  constexpr double kLimit = 9223372036854775808.0;
  if (std::isnan(epoch))
    _time = 0;
  else if (epoch >= kLimit)
    _time = std::numeric_limits<time_t>::max();
  else if (epoch < -kLimit)
    _time = std::numeric_limits<time_t>::min();
  else
    _time = static_cast<time_t>(epoch);
}

}  // namespace Plist
