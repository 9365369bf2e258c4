// Linux operating system name, version and install date.
#include "inventory/hardware/CHWInfoManager.h"

#include "inventory/hardware/CLinuxVersionParser.h"
#include "util/textscan.h"
#include "util/utils.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <optional>

namespace {

bool allDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// os_install_1: seconds since the epoch, e.g. the root file system's birth time.
std::optional<long long> secondsCandidate(const std::string& text) {
  if (!allDigits(text)) return std::nullopt;
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (errno == ERANGE) return std::nullopt;
  return static_cast<long long>(value);
}

// os_install_2: a local YYYYMMDDhhmmss, e.g. the first entry of the package log.
std::optional<long long> stampCandidate(const std::string& text) {
  if (text.size() != 14 || !allDigits(text)) return std::nullopt;
  const long long time = wmi::localTimeOf(wmi::numberAt(text, 0, 4), wmi::numberAt(text, 4, 2), wmi::numberAt(text, 6, 2),
                                          wmi::numberAt(text, 8, 2), wmi::numberAt(text, 10, 2), wmi::numberAt(text, 12, 2));
  if (time == -1) return std::nullopt;
  return time;
}

// Local "%Y%m%d%H%M%S"; empty when the time has no local breakdown or form.
std::string localStamp(long long seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) return std::string();
  char buffer[20];
  const std::size_t length = std::strftime(buffer, sizeof buffer, "%Y%m%d%H%M%S", &local);
  return std::string(buffer, length);
}

}  // namespace

void CHWInfoManager::loadOSInfo(tagWMIINFOSTRUCT& info) {
  CLinuxVersionParser parser;
  parser.parse(source("os"));
  info.strOSName = parser.strDistribution;
  info.strOSVersion = parser.strRelease;

  const std::optional<long long> first = secondsCandidate(wmi::singleLine(source("os_install_1")));
  const std::optional<long long> second = stampCandidate(wmi::singleLine(source("os_install_2")));
  long long chosen = 0;
  if (first && second)
    chosen = std::min(*first, *second);
  else if (first || second)
    chosen = first ? *first : *second;
  info.strInstallDate = localStamp(chosen);
}
