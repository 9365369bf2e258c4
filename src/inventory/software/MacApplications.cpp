// macOS: installed applications from system_profiler's applications report.
#include "inventory/software/CSWInfoManager.h"

#include "plist/SystemProfiler.h"

void CSWInfoManager::loadForMac(std::vector<tagAPPLIDATASTRUCT>& applications) {
  // The keys are made once, not once per application.
  static const std::string kName = "_name", kIntel = "has64BitIntelCode", kModified = "lastModified",
                           kVersion = "version";
  const boost::any report = Plist::readReport(source("app"));
  const Plist::array_type& entries = Plist::itemList(report).elements();
  applications.reserve(applications.size() + entries.size());
  for (const Plist::Value entry : entries) {
    if (!entry.isDictionary()) continue;
    tagAPPLIDATASTRUCT application;
    application.strName = entry[kName].stringOr("");
    // Recent systems write "yes"/"no" here; only the integer form is taken.
    if (const long long* intel = entry[kIntel].get<long long>())
      application.dwHas64BitIntelCode = static_cast<unsigned int>(*intel);
    if (const Plist::Date* modified = entry[kModified].get<Plist::Date>())
      application.tmInstall = modified->timeAsEpoch();
    application.strVersion = entry[kVersion].stringOr("");
    if (!application.strName.empty()) applications.push_back(std::move(application));
  }
}
