#include "agent/SpoolName.h"

#include "util/civiltime.h"

#include <cctype>
#include <ctime>

namespace wmi {

namespace {

const std::string kPrefix = "QZ-0-";
const std::string kSuffix = ".dat";
constexpr std::size_t kNumberDigits = 2;
constexpr std::size_t kStampDigits = 14;

bool digitsOnly(const std::string& text) {
  for (unsigned char c : text)
    if (!std::isdigit(c)) return false;
  return true;
}

long long field(const std::string& stamp, std::size_t at, std::size_t length) {
  return std::stoll(stamp.substr(at, length));
}

// The stamp as seconds of a calendar without zones.
long long calendarSeconds(const std::string& stamp) {
  return utcSecondsOf(field(stamp, 0, 4), field(stamp, 4, 2), field(stamp, 6, 2), field(stamp, 8, 2),
                      field(stamp, 10, 2), field(stamp, 12, 2));
}

std::string stampOf(long long seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm broken{};
  if (gmtime_r(&time, &broken) == nullptr) return std::string();
  char text[32];
  if (std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &broken) != kStampDigits) return std::string();
  return text;
}

}  // namespace

// The time stamp is moved on the calendar, not through the zone: a later
// name always sorts later, also across a change of daylight saving time.
std::string laterSpoolName(const std::string& name, long long seconds) {
  if (name.size() != kPrefix.size() + kNumberDigits + kStampDigits + kSuffix.size()) return std::string();
  if (name.compare(0, kPrefix.size(), kPrefix) != 0) return std::string();
  if (name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) return std::string();
  const std::string number = name.substr(kPrefix.size(), kNumberDigits);
  const std::string stamp = name.substr(kPrefix.size() + kNumberDigits, kStampDigits);
  if (!digitsOnly(number) || !digitsOnly(stamp)) return std::string();
  const long long start = calendarSeconds(stamp);
  if (stampOf(start) != stamp) return std::string();  // month 13, 25 o'clock and the like
  const std::string later = stampOf(start + seconds);
  if (later.empty()) return std::string();
  return kPrefix + number + later + kSuffix;
}

}  // namespace wmi
