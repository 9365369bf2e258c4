#include "util/sjistable.h"

#include <iterator>
#include <vector>

namespace wmi {

namespace {

// 256 consecutive scalar values: which of them have bytes other than "?",
// and where the codes of each 64 of them start in kCodes.
struct Page {
  std::uint64_t kept[4];
  std::uint16_t first[4];
};

#include "util/sjis_table.inc"

constexpr std::uint16_t kQuestionMark = '?';
constexpr std::uint16_t kFirstTwoByteCode = 0x8140;

std::uint16_t codeOf(char32_t value) {
  if (value >> 8 >= std::size(kPageOf)) return kQuestionMark;
  const Page& page = kPages[kPageOf[value >> 8]];
  const unsigned word = (value >> 6) & 3, bit = value & 0x3F;
  const std::uint64_t kept = page.kept[word];
  if (((kept >> bit) & 1) == 0) return kQuestionMark;
  const std::uint64_t below = kept & ((std::uint64_t{1} << bit) - 1);
  return kCodes[page.first[word] + __builtin_popcountll(below)];
}

// By code above ASCII, the smallest scalar value written with it: the
// character glibc reads it as.
std::vector<char32_t> readingsOfCodes() {
  std::vector<char32_t> readings(0x10000, kNoReading);
  for (char32_t value = std::size(kPageOf) * 256; value-- > 0x80;) {
    const std::uint16_t code = codeOf(value);
    if ((code >= 0x80 && code < 0x100) || code >= kFirstTwoByteCode) readings[code] = value;
  }
  return readings;
}

}  // namespace

void appendShiftJis(std::string& out, char32_t value) {
  const std::uint16_t code = value < 0x80 ? value : codeOf(value);  // ASCII keeps its bytes
  if (code < 0x100) {
    out += static_cast<char>(code);
  } else if (code >= kFirstTwoByteCode) {
    out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
  } else {
    const char* transliteration = kTransliterations + (code - 0x100);
    out.append(transliteration + 1, static_cast<unsigned char>(transliteration[0]));
  }
}

char32_t readShiftJis(std::uint16_t code) {
  // glibc reads the single bytes 5C and 7E as JIS X 0201 Roman does, though
  // it writes the backslash and the tilde with them.
  if (code == 0x5C) return U'\u00A5';
  if (code == 0x7E) return U'\u203E';
  if (code < 0x80) return code;
  static const std::vector<char32_t> readings = readingsOfCodes();
  return readings[code];
}

}  // namespace wmi
