// Linux package lists: dpkg with install dates from its log, rpm with its
// own install times.
#include "inventory/software/CSWInfoManager.h"

#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace fs = boost::filesystem;

namespace {

// A collection folder holding package files, read by a software manager.
struct PackageCollection {
  PackageCollection() : folder(dir.path() / "result"), manager(folder.string(), dir.path().string(), record) {
    fs::create_directories(folder);
  }
  void add(const std::string& name, const std::string& fixture) const {
    fs::copy_file(fs::path(QZ_FIXTURES_DIR) / "linux" / "packages" / fixture, folder / name);
  }
  void write(const std::string& name, const std::string& content) const { dir.write("result/" + name, content); }
  std::vector<tagAPPLIDATASTRUCT> debian() {
    std::vector<tagAPPLIDATASTRUCT> packages;
    manager.loadForUbuntu(packages);
    return packages;
  }
  std::vector<tagAPPLIDATASTRUCT> rpm() {
    std::vector<tagAPPLIDATASTRUCT> packages;
    manager.loadForRestDists(packages);
    return packages;
  }

  qztest::ScratchDir dir;
  fs::path folder;
  tagWMISTRUCT record;
  CSWInfoManager manager;
};

long long localTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm broken{};
  broken.tm_year = year - 1900;
  broken.tm_mon = month - 1;
  broken.tm_mday = day;
  broken.tm_hour = hour;
  broken.tm_min = minute;
  broken.tm_sec = second;
  broken.tm_isdst = -1;
  return static_cast<long long>(std::mktime(&broken));
}

}  // namespace

TEST(LinuxPackagesDebian, DpkgListDatedByTheLastInstallInTheLog) {
  PackageCollection collection;
  collection.add("app", "dpkg-query");
  collection.add("app_install", "app_install");
  const std::vector<tagAPPLIDATASTRUCT> packages = collection.debian();
  ASSERT_EQ(9u, packages.size());
  EXPECT_EQ("adduser", packages[0].strName);
  EXPECT_EQ("3.134", packages[0].strVersion);
  EXPECT_EQ(0, packages[0].tmInstall);  // installed before the oldest log kept
  EXPECT_EQ("libgdbm6", packages[5].strName);
  EXPECT_EQ(localTime(2025, 6, 24, 14, 36, 29), packages[5].tmInstall);
  EXPECT_EQ("perl-modules-5.36", packages[6].strName);  // architecture "all" keys as name:all
  EXPECT_EQ(localTime(2025, 6, 24, 14, 36, 29), packages[6].tmInstall);
  EXPECT_EQ("vim-tiny", packages[8].strName);
  EXPECT_EQ("2:9.0.1378-2+deb12u2", packages[8].strVersion);  // epochs stay in the version
  EXPECT_EQ(localTime(2025, 8, 11, 16, 5, 17), packages[8].tmInstall);  // reinstalled after its removal
  for (const tagAPPLIDATASTRUCT& package : packages) {
    EXPECT_EQ("", package.strReserved1 + package.strReserved2 + package.strReserved3);
    EXPECT_EQ(0u, package.dwReserved + package.dwHas64BitIntelCode);
  }
}

TEST(LinuxPackagesDebian, UncutLogLinesDateNothing) {
  // dpkg logs keep the old and new versions after the package name, so the
  // whole rest of the line never equals a name:arch key.
  PackageCollection collection;
  collection.add("app", "dpkg-query");
  collection.add("app_install", "dpkg.log");
  for (const tagAPPLIDATASTRUCT& package : collection.debian()) EXPECT_EQ(0, package.tmInstall) << package.strName;
}

TEST(LinuxPackagesDebian, DateTextsThatCannotBeRead) {
  PackageCollection collection;
  collection.write("app_install",
                   "2021-03-04 10:20 install short:amd64\n"  // 16 characters: no date
                   " install blank:amd64\n"                   // empty date
                   "2021-03-04 10:20:3 install seconds:amd64\n");
  collection.write("app", "short 1 short:amd64\nblank 1 blank:amd64\nseconds 1 seconds:amd64\n");
  const std::vector<tagAPPLIDATASTRUCT> packages = collection.debian();
  ASSERT_EQ(3u, packages.size());
  EXPECT_EQ(0, packages[0].tmInstall);
  EXPECT_EQ(0, packages[1].tmInstall);
  EXPECT_EQ(localTime(2021, 3, 4, 10, 20, 3), packages[2].tmInstall);  // 18 characters are enough
}

TEST(LinuxPackagesDebian, LineSplittingAtSingleBlanks) {
  PackageCollection collection;
  collection.write("app_install", "2021-03-04 10:20:30 install bash:amd64\n");
  collection.write("app",
                   "bash 5.0\n"                        // two fields: skipped
                   "bash 5.0 bash:amd64 more\n"        // a fourth field is ignored
                   "bash  5.0 key\n"                   // two blanks: an empty version
                   "\tbash 5.0 bash:amd64\n"           // tabs do not separate
                   "last 1.0 bash:amd64");             // the last line counts without a line feed
  const std::vector<tagAPPLIDATASTRUCT> packages = collection.debian();
  ASSERT_EQ(4u, packages.size());
  EXPECT_EQ(localTime(2021, 3, 4, 10, 20, 30), packages[0].tmInstall);
  EXPECT_EQ("bash", packages[1].strName);
  EXPECT_EQ("", packages[1].strVersion);
  EXPECT_EQ(0, packages[1].tmInstall);  // its key is "5.0"
  EXPECT_EQ("\tbash", packages[2].strName);
  EXPECT_EQ("last", packages[3].strName);
}

TEST(LinuxPackagesRpm, InstallTimesComeFromTheList) {
  PackageCollection collection;
  collection.add("app", "rpm-qa");
  const std::vector<tagAPPLIDATASTRUCT> packages = collection.rpm();
  ASSERT_EQ(4u, packages.size());
  EXPECT_EQ("bash", packages[0].strName);
  EXPECT_EQ("4.4.20-4.el8_6", packages[0].strVersion);
  EXPECT_EQ(1661234567, packages[0].tmInstall);
  EXPECT_EQ("gpg-pubkey", packages[3].strName);
  EXPECT_EQ(1661234600, packages[3].tmInstall);

  PackageCollection odd;
  odd.write("app", "a 1 abc\nb 1 999999999999999999999\nc 1 4294967296\nd 1 12x\n");
  const std::vector<tagAPPLIDATASTRUCT> oddTimes = odd.rpm();
  ASSERT_EQ(4u, oddTimes.size());
  EXPECT_EQ(0, oddTimes[0].tmInstall);
  EXPECT_EQ(0, oddTimes[1].tmInstall);           // beyond 64 bits
  EXPECT_EQ(4294967296, oddTimes[2].tmInstall);  // beyond 32 bits stays whole in the record
  EXPECT_EQ(12, oddTimes[3].tmInstall);
}

TEST(LinuxPackages, MissingFilesAndHugeLinesEndCleanly) {
  PackageCollection empty;
  EXPECT_TRUE(empty.debian().empty());
  EXPECT_TRUE(empty.rpm().empty());

  PackageCollection huge;
  const std::string name(1 << 20, 'n');
  huge.write("app_install", std::string(1 << 20, 'd') + " install " + name + ":amd64\n" + std::string(1 << 20, ' '));
  huge.write("app", name + " 1 " + name + ":amd64\n" + std::string(1 << 20, ' ') + "\n");
  const std::vector<tagAPPLIDATASTRUCT> packages = huge.debian();
  ASSERT_EQ(2u, packages.size());  // the line of blanks has empty fields
  EXPECT_TRUE(packages[0].strName == name);
  EXPECT_EQ("", packages[1].strName);
}
