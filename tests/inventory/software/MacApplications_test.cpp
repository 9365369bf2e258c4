// Installed applications from the applications report.
#include "inventory/software/CSWInfoManager.h"

#include "inventory/hardware/MacReport.h"

#include <gtest/gtest.h>

using namespace mactest;

namespace {

std::vector<tagAPPLIDATASTRUCT> applications(const std::string& report) {
  return collect(&CSWInfoManager::loadForMac, {{"app", report}});
}

std::string date(const std::string& text) { return "<date>" + text + "</date>"; }

}  // namespace

TEST(MacApplications, NamedEntriesWithVersionModificationTimeAndIntelFlag) {
  const std::vector<tagAPPLIDATASTRUCT> list = applications(report(
      "SPApplicationsDataType",
      {dict({{"_name", str("Safari")}, {"version", str("14.0")}, {"lastModified", date("2021-03-04T10:20:30Z")},
             {"has64BitIntelCode", str("yes")}, {"path", str("/Applications/Safari.app")}}),
       dict({{"_name", str("Xcode")}, {"has64BitIntelCode", integer(0x100000001)}, {"version", integer(15)},
             {"lastModified", str("2021-03-04T10:20:30Z")}}),
       dict({{"version", str("1.0")}}), dict({{"_name", str("")}}), dict({{"_name", integer(7)}}), str("Mail"),
       array({}), dict({{"_name", str("Safari")}, {"lastModified", date("1901-01-01T00:00:00Z")}})}));
  ASSERT_EQ(3u, list.size());
  EXPECT_EQ("Safari", list[0].strName);
  EXPECT_EQ("14.0", list[0].strVersion);
  EXPECT_EQ(1614853230, list[0].tmInstall);
  EXPECT_EQ(0u, list[0].dwHas64BitIntelCode);
  EXPECT_EQ("Xcode", list[1].strName);
  EXPECT_EQ(1u, list[1].dwHas64BitIntelCode);  // the low 32 bits
  EXPECT_EQ("", list[1].strVersion);
  EXPECT_EQ(0, list[1].tmInstall);
  EXPECT_EQ("Safari", list[2].strName);  // duplicates are kept
  EXPECT_EQ(-2177452800, list[2].tmInstall);
  EXPECT_EQ(0u, list[2].dwReserved);
}

TEST(MacApplications, UnusableReportsGiveNoApplications) {
  std::vector<std::string> reports{"", "bplist00", plist("<array><dict><key>_items</key><array><x/></array></dict></array>")};
  for (const std::string& root : unusableRoots()) reports.push_back(plist(root));
  for (const std::string& report : reports) EXPECT_TRUE(applications(report).empty()) << report;
  EXPECT_TRUE(collect(&CSWInfoManager::loadForMac, {}).empty());
}
