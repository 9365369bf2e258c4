// The release parser over the "os" files the collection script writes for
// each distribution family, and over hand-made corner cases.
#include "util/CLinuxVersionParser.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

const boost::filesystem::path kReleases = boost::filesystem::path(QZ_FIXTURES_DIR) / "linux" / "release";

std::pair<std::string, std::string> parsed(const boost::filesystem::path& file) {
  CLinuxVersionParser parser;
  parser.parse(file);
  return {parser.strDistribution, parser.strRelease};
}

std::pair<std::string, std::string> parsedText(const std::string& content) {
  qztest::ScratchDir dir;
  return parsed(dir.write("os", content));
}

struct Release {
  const char* fixture;
  const char* name;
  const char* version;
};

}  // namespace

TEST(LinuxVersionParser, ReleaseFilesOfEachFamilyAsTheScriptWritesThem) {
  const Release releases[] = {
      {"ubuntu-22.04", "Ubuntu 22.04.3 LTS", "22.04.3"},
      {"debian-12", "Debian 12.11", "12.11"},
      {"centos-7", "CentOS Linux release 7.9.2009 (Core)", "7.9.2009"},
      {"rhel-6", "Red Hat Enterprise Linux Server release 6.5 (Santiago)", "6.5"},
      {"fedora-35", "Fedora release 35 (Thirty Five)", "35"},
      {"oracle-8", "Oracle Linux Server release 8.7", "8.7"},
      {"rocky-9", "Rocky Linux release 9.2 (Blue Onyx)", "9.2"},
      {"sles-15", "SUSE Linux Enterprise Server 15 SP5", "15.5"},
      {"opensuse-leap-15", "openSUSE Leap 15.5", "15.5"},
      // The old SuSE-release form keeps the blank after "VERSION =".
      {"sles-11-SuSE-release", "SUSE Linux Enterprise Server 11 (x86_64)", " 11"},
      {"arch", "Arch Linux", ""},
      {"gentoo", "Gentoo Base System release 2.14", "2.14"},
      {"mandriva-2011", "Mandriva Linux release 2011.0 (turtle) for x86_64",
       "Mandriva Linux release 2011.0 (turtle) for x86_64"},
      {"linuxmint-21", "Linux Mint 21.2", "21.2"},
  };
  for (const Release& release : releases) {
    SCOPED_TRACE(release.fixture);
    EXPECT_EQ(std::make_pair(std::string(release.name), std::string(release.version)),
              parsed(kReleases / release.fixture));
  }
}

TEST(LinuxVersionParser, UbuntuTakesItsLastLine) {
  // Ubuntu's own lsb-release ends with the description; a line after it hides it.
  EXPECT_EQ(std::make_pair(std::string("Ubuntu"), std::string()),
            parsed(kReleases / "ubuntu-20.04-description-not-last"));
  EXPECT_EQ(std::make_pair(std::string(""), std::string()), parsedText("DISTRIB_ID=Ubuntu\nDISTRIB_DESCRIPTION=\"\"\n"));
  // Too short to hold a quoted value: the family name stands in.
  EXPECT_EQ(std::make_pair(std::string("Ubuntu"), std::string()), parsedText("DISTRIB_ID=Ubuntu\nDISTRIB_DESCRIPTION=\n"));
  EXPECT_EQ(std::make_pair(std::string("Ubuntu"), std::string()), parsedText("DISTRIB_ID=Ubuntu\nDISTRIB_DESCRIPTION\n"));
}

TEST(LinuxVersionParser, KeywordOrderDecidesTheFamily) {
  // Within a line Ubuntu is tested before Debian and Oracle before Red Hat;
  // across lines the first line naming any family decides.
  EXPECT_EQ(std::make_pair(std::string("Ubuntu"), std::string()), parsedText("Debian and Ubuntu 20.04\n"));
  EXPECT_EQ("Debian 9.13", parsedText("9.13\nID_LIKE=Debian\nNAME=Ubuntu\n").first);
  EXPECT_EQ(std::make_pair(std::string("Red Hat and Oracle 7.1"), std::string("7.1")),
            parsedText("Red Hat and Oracle 7.1\n"));
  EXPECT_EQ(std::make_pair(std::string("Debian 10.11"), std::string("10.11")), parsedText("10.11\nDebian\n"));
  // "Architecture" says Arch: the first line and its numbers, like an unknown family.
  EXPECT_EQ(std::make_pair(std::string("Foo 1.2"), std::string("1.2")), parsedText("Foo 1.2\nArchitecture: x86_64\n"));
  // Keywords are case-sensitive.
  EXPECT_EQ(std::make_pair(std::string("ubuntu 20.04"), std::string("20.04")), parsedText("ubuntu 20.04\n"));
}

TEST(LinuxVersionParser, MissingEmptyAndHugeFilesEndCleanly) {
  qztest::ScratchDir dir;
  EXPECT_EQ(std::make_pair(std::string(), std::string()), parsed(dir.path() / "absent"));
  EXPECT_EQ(std::make_pair(std::string(), std::string()), parsed(dir.path()));
  EXPECT_EQ(std::make_pair(std::string(), std::string()), parsedText(""));
  const std::string huge(1 << 20, '7');
  EXPECT_EQ(std::make_pair(huge, huge), parsedText(huge));  // no line feed: still the first line
  const std::string description = "DISTRIB_DESCRIPTION=\"Ubuntu " + std::string(1 << 20, 'x') + "\"";
  EXPECT_EQ(1u << 20, parsedText(description + "\n").first.size() - 7);
}

TEST(LinuxVersionParser, ExtractVersionKeepsDigitsAndStopsOfEachBlankSeparatedPiece) {
  CLinuxVersionParser parser;
  EXPECT_EQ("13.1 8664", parser.extractVersion("openSUSE 13.1 (x86_64)"));
  EXPECT_EQ("", parser.extractVersion("no digits here"));
  EXPECT_EQ("1.02.0", parser.extractVersion("1.0\t2.0"));  // tabs do not separate
  EXPECT_EQ("1 2", parser.extractVersion("  1  2 "));
}
