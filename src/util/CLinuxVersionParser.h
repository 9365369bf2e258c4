// Reads a Linux distribution's release description (the collected "os" file)
// and names the distribution and its version.
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
