// Linux packages: "app" lists one package per line (name, version, third
// field); Debian-family systems add "app_install", lines of the dpkg log that
// date each package's installation.
#include "inventory/software/CSWInfoManager.h"

#include "util/textscan.h"
#include "util/utils.h"

#include <boost/filesystem/fstream.hpp>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>

namespace {

// Every line, the last one even without a line feed: a package is a package.
void forEachLine(const boost::filesystem::path& file, const std::function<void(const std::string&)>& onLine) {
  boost::filesystem::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) onLine(line);
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
  // "<date> <time> install <name:arch>"; a later install of the same package wins.
  std::map<std::string, std::string> installDates;
  forEachLine(source("app_install"), [&](const std::string& line) {
    const std::size_t at = line.find(" install ");
    if (at != std::string::npos) installDates[line.substr(at + 9)] = line.substr(0, at);
  });

  forEachLine(source("app"), [&](const std::string& line) {
    tagAPPLIDATASTRUCT package;
    std::string key;
    if (!splitPackage(line, package, key)) return;
    const auto date = installDates.find(key);
    if (date != installDates.end() && !date->second.empty()) package.tmInstall = dpkgLogTime(date->second);
    applications.push_back(package);
  });
}

void CSWInfoManager::loadForRestDists(std::vector<tagAPPLIDATASTRUCT>& applications) {
  forEachLine(source("app"), [&](const std::string& line) {
    tagAPPLIDATASTRUCT package;
    std::string seconds;
    if (!splitPackage(line, package, seconds)) return;
    package.tmInstall = rpmInstallTime(seconds);
    applications.push_back(package);
  });
}
