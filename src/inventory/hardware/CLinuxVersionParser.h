// Reads a Linux distribution's release description (the collected "os" file)
// and names the distribution and its version.
//
// The first line holding a family keyword ("Ubuntu", "Debian", "Fedora",
// "Oracle", "Red Hat", "CentOS", "Arch", "Turbo", "SUSE", "Mandriva", "Vine",
// "Gentoo", tested in that order, case-sensitive) picks the family; the
// family's rule then reads the file from its start:
//  - Ubuntu (lsb-release): the last line decides; a DISTRIB_DESCRIPTION="..."
//    line gives the quoted text and its numbers, any other line gives "Ubuntu"
//    and no version. A description line too short to hold a value also gives
//    "Ubuntu" and that line's numbers.
//  - Debian (debian_version, then os-release): "Debian <first line>" and the
//    first line as the version.
//  - SUSE: the last line naming SUSE, and the text after "=" of the last
//    VERSION line.
//  - Mandriva: the first line as name and version.
//  - every other family, and no keyword at all: the first line and its numbers.
#pragma once

#include <boost/filesystem/path.hpp>

#include <string>

class CLinuxVersionParser {
 public:
  CLinuxVersionParser();
  ~CLinuxVersionParser();

  // Sets both texts from the file; a missing or unreadable file gives two empty texts.
  void parse(const boost::filesystem::path& file);

  // The numeric parts of a text: every blank-separated piece reduced to its
  // digits and full stops, empty pieces dropped, joined by single blanks.
  std::string extractVersion(const std::string& text);

  std::string strDistribution;
  std::string strRelease;
};
