// Reading the code points of UTF-8 texts already found well-formed, and
// writing code points as UTF-8.
#pragma once

#include <cstddef>
#include <iterator>
#include <string>

namespace wmi {

// The code point of well-formed UTF-8 at `text[i]`, advancing `i` past it.
inline char32_t decodeUtf8At(const std::string& text, std::size_t& i) {
  const unsigned char lead = static_cast<unsigned char>(text[i++]);
  if (lead < 0x80) return lead;
  const int continuation = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
  char32_t code = lead & (0x3F >> continuation);
  for (int k = 0; k < continuation; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
  return code;
}

// Writes the UTF-8 bytes of a code point through `out`; returns it advanced.
template <class Out>
Out writeUtf8(char32_t code, Out out) {
  if (code < 0x80) {
    *out++ = static_cast<char>(code);
  } else if (code < 0x800) {
    *out++ = static_cast<char>(0xC0 | (code >> 6));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (code >> 12));
    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (code >> 18));
    *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

inline void appendUtf8(std::string& out, char32_t code) { writeUtf8(code, std::back_inserter(out)); }

}  // namespace wmi
