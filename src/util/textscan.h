// Small scanning helpers of the Linux collectors: prefix tests, the words of
// a line, C-style number reading that never overflows, and local dates turned
// into times.
#pragma once

#include "util/civiltime.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace wmi {

inline bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

inline bool isAscii(const std::string& text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

inline bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// atoi/atoll rules (leading blanks, a sign, leading digits; 0 when there are
// none), but out-of-range figures saturate instead of being undefined.
inline long long leadingInteger(const std::string& text) { return std::strtoll(text.c_str(), nullptr, 10); }

// The blank- or tab-separated words of a line; runs of separators count as one.
inline std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> found;
  std::size_t end = 0;
  for (std::size_t start; (start = line.find_first_not_of(" \t\r", end)) != std::string::npos;) {
    end = line.find_first_of(" \t\r", start);
    found.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
  }
  return found;
}

// The pieces of a fixed-position date, each read with atoi rules.
inline int numberAt(const std::string& text, std::size_t pos, std::size_t length) {
  return pos < text.size() ? static_cast<int>(leadingInteger(text.substr(pos, length))) : 0;
}

}  // namespace wmi
