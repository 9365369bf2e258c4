// The release parser over the "os" forms the collection script writes for
// each family, and over the corners of the family rules.
#include "inventory/hardware/CLinuxVersionParser.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

// "name|version" as parsed from a file.
std::string parsed(const boost::filesystem::path& file) {
  CLinuxVersionParser parser;
  parser.parse(file);
  return parser.strDistribution + "|" + parser.strRelease;
}

std::string parsedRelease(const char* fixture) {
  return parsed(boost::filesystem::path(QZ_FIXTURES_DIR) / "linux" / "release" / fixture);
}

std::string parsedText(const std::string& content) {
  qztest::ScratchDir dir;
  return parsed(dir.write("os", content));
}

}  // namespace

TEST(LinuxVersionParser, ReleaseFilesOfEachFamily) {
  const std::pair<const char*, const char*> releases[] = {
      {"ubuntu-22.04", "Ubuntu 22.04.3 LTS|22.04.3"},
      {"debian-12", "Debian 12.11|12.11"},
      {"centos-7", "CentOS Linux release 7.9.2009 (Core)|7.9.2009"},
      {"rhel-6", "Red Hat Enterprise Linux Server release 6.5 (Santiago)|6.5"},
      {"fedora-35", "Fedora release 35 (Thirty Five)|35"},
      {"oracle-8", "Oracle Linux Server release 8.7|8.7"},
      {"rocky-9", "Rocky Linux release 9.2 (Blue Onyx)|9.2"},
      {"sles-15", "SUSE Linux Enterprise Server 15 SP5|15.5"},
      {"opensuse-leap-15", "openSUSE Leap 15.5|15.5"},
      {"sles-11-SuSE-release", "SUSE Linux Enterprise Server 11 (x86_64)| 11"},  // "VERSION = 11"
      {"arch", "Arch Linux|"},
      {"gentoo", "Gentoo Base System release 2.14|2.14"},
      {"mandriva-2011", "Mandriva Linux release 2011.0 (turtle) for x86_64|"
                        "Mandriva Linux release 2011.0 (turtle) for x86_64"},
      {"linuxmint-21", "Linux Mint 21.2|21.2"},
  };
  for (const auto& release : releases) EXPECT_EQ(release.second, parsedRelease(release.first)) << release.first;
}

TEST(LinuxVersionParser, CornersOfTheFamilyRules) {
  // Ubuntu's last line decides: a line after the description hides it.
  EXPECT_EQ("Ubuntu|", parsedRelease("ubuntu-20.04-description-not-last"));
  EXPECT_EQ("|", parsedText("DISTRIB_ID=Ubuntu\nDISTRIB_DESCRIPTION=\"\"\n"));
  EXPECT_EQ("Ubuntu|", parsedText("DISTRIB_ID=Ubuntu\nDISTRIB_DESCRIPTION=\n"));  // too short for a value
  // Within a line Ubuntu is tested before Debian; the first line naming a family decides.
  EXPECT_EQ("Ubuntu|", parsedText("Debian and Ubuntu 20.04\n"));
  EXPECT_EQ("Debian 9.13|9.13", parsedText("9.13\nID_LIKE=Debian\nNAME=Ubuntu\n"));
  EXPECT_EQ("Foo 1.2|1.2", parsedText("Foo 1.2\nArchitecture: x86_64\n"));  // "Arch"
  EXPECT_EQ("ubuntu 20.04|20.04", parsedText("ubuntu 20.04\n"));              // keywords are case-sensitive
}

TEST(LinuxVersionParser, MissingEmptyAndHugeFilesEndCleanly) {
  qztest::ScratchDir dir;
  EXPECT_EQ("|", parsed(dir.path() / "absent"));
  EXPECT_EQ("|", parsed(dir.path()));
  EXPECT_EQ("|", parsedText(""));
  const std::string huge(1 << 20, '7');
  EXPECT_TRUE(parsedText(huge) == huge + "|" + huge);  // an unterminated first line still counts
}

TEST(LinuxVersionParser, ExtractVersionKeepsDigitsAndStopsOfEachBlankSeparatedPiece) {
  CLinuxVersionParser parser;
  EXPECT_EQ("13.1 8664", parser.extractVersion("openSUSE 13.1 (x86_64)"));
  EXPECT_EQ("", parser.extractVersion("no digits here"));
  EXPECT_EQ("1.02.0", parser.extractVersion("1.0\t2.0"));  // tabs do not separate
  EXPECT_EQ("1 2", parser.extractVersion("  1  2 "));
}
