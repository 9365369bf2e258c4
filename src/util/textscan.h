// Small scanning helpers of the Linux collectors: prefix tests, C-style
// number reading that never overflows, and local dates turned into times.
#pragma once

#include "util/civiltime.h"

#include <cstdlib>
#include <string>

namespace wmi {

inline bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

inline bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// atoi/atoll rules (leading blanks, a sign, leading digits; 0 when there are
// none), but out-of-range figures saturate instead of being undefined.
inline long long leadingInteger(const std::string& text) { return std::strtoll(text.c_str(), nullptr, 10); }

// The pieces of a fixed-position date, each read with atoi rules.
inline int numberAt(const std::string& text, std::size_t pos, std::size_t length) {
  return pos < text.size() ? static_cast<int>(leadingInteger(text.substr(pos, length))) : 0;
}

}  // namespace wmi
