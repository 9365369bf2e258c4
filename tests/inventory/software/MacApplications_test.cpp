// Installed applications from the applications report.
#include "inventory/software/CSWInfoManager.h"

#include "inventory/hardware/MacReport.h"

#include <gtest/gtest.h>

using namespace mactest;

namespace {

std::vector<std::string> applications(const std::string& report) {
  std::vector<std::string> out;
  for (const tagAPPLIDATASTRUCT& a : collect(&CSWInfoManager::loadForMac, {{"app", report}}))
    out.push_back(a.strName + "|" + a.strVersion + "|" + std::to_string(a.tmInstall) + "|" +
                  std::to_string(a.dwHas64BitIntelCode));
  return out;
}

}  // namespace

TEST(MacApplications, NamedEntriesWithTheirFieldsOfTheRightType) {
  EXPECT_EQ((std::vector<std::string>{"Safari|14.0|1614853230|0", "Xcode||0|1", "Safari||-2177452800|0"}),
            applications(report(
                {dict({{"_name", str("Safari")}, {"version", str("14.0")}, {"has64BitIntelCode", str("yes")},
                       {"lastModified", "<date>2021-03-04T10:20:30Z</date>"}}),
                 dict({{"_name", str("Xcode")}, {"has64BitIntelCode", integer(0x100000001)}, {"version", integer(15)},
                       {"lastModified", str("2021-03-04T10:20:30Z")}}),
                 dict({{"version", str("1.0")}}), dict({{"_name", "<string/>"}}), dict({{"_name", integer(7)}}),
                 str("Mail"), array({}),
                 dict({{"_name", str("Safari")}, {"lastModified", "<date>1901-01-01T00:00:00Z</date>"}})})));
}

TEST(MacApplications, UnusableReportsGiveNoApplications) {
  for (const std::string& report : unusableReports()) EXPECT_TRUE(applications(report).empty()) << report;
  EXPECT_TRUE(applications(plist("<array><dict><key>_items</key><array><x/></array></dict></array>")).empty());
  EXPECT_TRUE(collect(&CSWInfoManager::loadForMac, {}).empty());
}
