// Linux package lists: dpkg with install dates from its log, rpm with its
// own install times.
#include "inventory/software/CSWInfoManager.h"

#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <ctime>

namespace fs = boost::filesystem;

namespace {

std::string fixture(const char* name) {
  return qztest::readFile(fs::path(QZ_FIXTURES_DIR) / "linux" / "packages" / name);
}

// The packages read from a folder holding "app" and, for dpkg, "app_install".
std::vector<tagAPPLIDATASTRUCT> packagesOf(const std::string& app, const std::string& appInstall, bool debian) {
  qztest::ScratchDir dir;
  dir.write("result/app", app);
  if (debian) dir.write("result/app_install", appInstall);
  tagWMISTRUCT record;
  CSWInfoManager manager((dir.path() / "result").string(), dir.path().string(), record);
  std::vector<tagAPPLIDATASTRUCT> packages;
  debian ? manager.loadForUbuntu(packages) : manager.loadForRestDists(packages);
  return packages;
}

}  // namespace

TEST(LinuxPackagesDebian, DpkgListDatedByTheLastInstallInTheLog) {
  const std::vector<tagAPPLIDATASTRUCT> packages = packagesOf(fixture("dpkg-query"), fixture("app_install"), true);
  ASSERT_EQ(9u, packages.size());
  EXPECT_EQ("adduser 3.134 0", packages[0].strName + " " + packages[0].strVersion + " " +
                                   std::to_string(packages[0].tmInstall));  // installed before the oldest log kept
  EXPECT_EQ(qztest::mktimeOf(2025, 6, 24, 14, 36, 29), packages[5].tmInstall);    // libgdbm6:amd64
  EXPECT_EQ(qztest::mktimeOf(2025, 6, 24, 14, 36, 29), packages[6].tmInstall);    // perl-modules-5.36:all
  EXPECT_EQ("vim-tiny 2:9.0.1378-2+deb12u2", packages[8].strName + " " + packages[8].strVersion);
  EXPECT_EQ(qztest::mktimeOf(2025, 8, 11, 16, 5, 17), packages[8].tmInstall);  // reinstalled after its removal
  // dpkg logs keep the versions after the package name: uncut lines date nothing.
  for (const tagAPPLIDATASTRUCT& package : packagesOf(fixture("dpkg-query"), fixture("dpkg.log"), true))
    EXPECT_EQ(0, package.tmInstall) << package.strName;
}

TEST(LinuxPackagesDebian, LineSplittingAndDatesThatCannotBeRead) {
  const std::vector<tagAPPLIDATASTRUCT> packages = packagesOf(
      "bash 5.0\n"                    // two fields: skipped
      "bash 5.0 bash:amd64 more\n"    // a fourth field is ignored
      "bash  5.0 key\n"               // two blanks: an empty version, key 5.0
      "short 1 short:amd64\n"
      "last 1.0 seconds:amd64",       // the last line counts without a line feed
      "2021-03-04 10:20:30 install bash:amd64\n"
      "2021-03-04 10:20 install short:amd64\n"  // 16 characters: no date
      "2021-03-04 10:20:3 install seconds:amd64\n",
      true);
  ASSERT_EQ(4u, packages.size());
  EXPECT_EQ(qztest::mktimeOf(2021, 3, 4, 10, 20, 30), packages[0].tmInstall);
  EXPECT_EQ("bash||0", packages[1].strName + "|" + packages[1].strVersion + "|" + std::to_string(packages[1].tmInstall));
  EXPECT_EQ(0, packages[2].tmInstall);
  EXPECT_EQ(qztest::mktimeOf(2021, 3, 4, 10, 20, 3), packages[3].tmInstall);
}

TEST(LinuxPackagesRpm, InstallTimesComeFromTheList) {
  const std::vector<tagAPPLIDATASTRUCT> packages = packagesOf(fixture("rpm-qa"), "", false);
  ASSERT_EQ(4u, packages.size());
  EXPECT_EQ("bash 4.4.20-4.el8_6 1661234567", packages[0].strName + " " + packages[0].strVersion + " " +
                                                  std::to_string(packages[0].tmInstall));
  const std::vector<tagAPPLIDATASTRUCT> odd = packagesOf("a 1 abc\nb 1 999999999999999999999\nc 1 4294967296\n", "", false);
  ASSERT_EQ(3u, odd.size());
  EXPECT_EQ(0, odd[0].tmInstall);
  EXPECT_EQ(0, odd[1].tmInstall);           // beyond 64 bits
  EXPECT_EQ(4294967296, odd[2].tmInstall);  // beyond 32 bits it stays whole in the record
}

TEST(LinuxPackages, HugeLinesEndCleanly) {
  const std::string name(1 << 20, 'n');
  const std::vector<tagAPPLIDATASTRUCT> packages =
      packagesOf(name + " 1 " + name + ":amd64\n" + std::string(1 << 20, ' ') + "\n",
                 std::string(1 << 20, 'd') + " install " + name + ":amd64\n", true);
  ASSERT_EQ(2u, packages.size());  // the line of blanks has empty fields
  EXPECT_TRUE(packages[0].strName == name);
}
