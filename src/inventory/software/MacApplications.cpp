// macOS: installed applications from system_profiler's applications report.
#include "inventory/software/CSWInfoManager.h"

#include "plist/SystemProfiler.h"

namespace {

// The fields of one application, taken in a single pass over its dictionary:
// the entries lie in memory in key order, so walking them in order is much
// cheaper on a large report than four separate searches.
tagAPPLIDATASTRUCT applicationOf(const Plist::dictionary_type& entry) {
  static const std::string kName = "_name", kIntel = "has64BitIntelCode", kModified = "lastModified",
                           kVersion = "version";
  tagAPPLIDATASTRUCT application;
  for (const auto& field : entry) {
    const std::string& key = field.first;
    const Plist::Value value(field.second);
    if (key == kName) {
      application.strName = value.stringOr("");
    } else if (key == kIntel) {
      // Recent systems write "yes"/"no" here; only the integer form is taken.
      if (const long long* intel = value.get<long long>()) application.dwHas64BitIntelCode = static_cast<unsigned int>(*intel);
    } else if (key == kModified) {
      if (const Plist::Date* modified = value.get<Plist::Date>()) application.tmInstall = modified->timeAsEpoch();
    } else if (key == kVersion) {
      application.strVersion = value.stringOr("");
      break;  // the last of the keys in order
    }
  }
  return application;
}

}  // namespace

void CSWInfoManager::loadForMac(std::vector<tagAPPLIDATASTRUCT>& applications) {
  // Only what applicationOf takes: a report of thousands of applications is
  // then never held whole.
  static const Plist::ItemKeys kFields = {"_name", "has64BitIntelCode", "lastModified", "version"};
  const boost::any report = Plist::readReport(source("app"), kFields);
  const Plist::array_type& entries = Plist::itemList(report).elements();
  applications.reserve(applications.size() + entries.size());
  for (const Plist::Value entry : entries) {
    const Plist::dictionary_type* fields = entry.get<Plist::dictionary_type>();
    if (fields == nullptr) continue;
    tagAPPLIDATASTRUCT application = applicationOf(*fields);
    if (!application.strName.empty()) applications.push_back(std::move(application));
  }
}
