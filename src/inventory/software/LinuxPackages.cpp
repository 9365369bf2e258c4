// Linux packages: "app" lists one package per line (name, version, third
// field); Debian-family systems add "app_install", lines of the dpkg log that
// date each package's installation.
#include "inventory/software/CSWInfoManager.h"

#include "util/textscan.h"
#include "util/utils.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <unordered_map>

namespace {

// Every line, the last one even without a line feed: a package is a package.
template <typename OnLine>
void forEachLine(std::string_view text, OnLine onLine) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    onLine(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

// Name, version and third field of an "app" line; false when it has fewer.
bool splitPackage(const std::string& line, tagAPPLIDATASTRUCT& package, std::string& third) {
  const std::vector<std::string> fields = wmi::splitAtBlanks(line);
  if (fields.size() < 3) return false;
  package.strName = fields[0];
  package.strVersion = fields[1];
  third = fields[2];
  return true;
}

// "2021-03-04 10:20:30" read at fixed positions; texts too short to hold a
// whole date and time carry no date.
long long dpkgLogTime(const std::string& date) {
  if (date.size() < 17) return 0;
  return wmi::localTimeOf(wmi::numberAt(date, 0, 4), wmi::numberAt(date, 5, 2), wmi::numberAt(date, 8, 2),
                          wmi::numberAt(date, 11, 2), wmi::numberAt(date, 14, 2), wmi::numberAt(date, 17, 2));
}

// rpm's %{INSTALLTIME}: unsigned decimal seconds; out of range gives no time.
long long rpmInstallTime(const std::string& text) {
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  return errno == ERANGE ? 0 : static_cast<long long>(value);
}

}  // namespace

void CSWInfoManager::loadForUbuntu(std::vector<tagAPPLIDATASTRUCT>& applications) {
  // "<date> <time> install <name:arch>"; a later install of the same package
  // wins. The log runs to hundreds of thousands of lines: its keys and dates
  // stay views into the text read at once.
  const std::string log = wmi::fileContents(source("app_install"));
  std::unordered_map<std::string_view, std::string_view> installDates;
  forEachLine(log, [&](std::string_view line) {
    const std::size_t at = line.find(" install ");
    if (at != std::string_view::npos) installDates[line.substr(at + 9)] = line.substr(0, at);
  });

  forEachLine(wmi::fileContents(source("app")), [&](std::string_view line) {
    tagAPPLIDATASTRUCT package;
    std::string key;
    if (!splitPackage(std::string(line), package, key)) return;
    const auto date = installDates.find(key);
    if (date != installDates.end() && !date->second.empty())
      package.tmInstall = dpkgLogTime(std::string(date->second));
    applications.push_back(package);
  });
}

void CSWInfoManager::loadForRestDists(std::vector<tagAPPLIDATASTRUCT>& applications) {
  forEachLine(wmi::fileContents(source("app")), [&](std::string_view view) {
    const std::string line(view);
    tagAPPLIDATASTRUCT package;
    std::string seconds;
    if (!splitPackage(line, package, seconds)) return;
    package.tmInstall = rpmInstallTime(seconds);
    applications.push_back(package);
  });
}
