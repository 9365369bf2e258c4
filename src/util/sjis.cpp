// Conversions between the agent's UTF-8 texts and the Shift-JIS of the data files.
#include "util/utils.h"

#include "util/sjisfold.h"
#include "util/sjistable.h"
#include "util/textscan.h"
#include "util/utf8.h"

#include <cstddef>
#include <string>
#include <utility>

namespace wmi {

namespace {

enum class Utf8Text { kInvalid, kInRepertoire, kNeedsFolding };

// Whether a text is well-formed UTF-8 (no stray continuation bytes, truncated
// sequences, overlong forms, surrogates or code points above U+10FFFF), and
// if so whether folding may change it.
Utf8Text scanUtf8(const std::string& text) {
  Utf8Text verdict = Utf8Text::kInRepertoire;
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t length;
    unsigned int low = 0x80, high = 0xBF;  // bounds of the second byte
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return Utf8Text::kInvalid;
    }
    if (i + length > text.size()) return Utf8Text::kInvalid;
    char32_t code = c & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return Utf8Text::kInvalid;
      code = (code << 6) | (next & 0x3F);
    }
    if (isFoldedForShiftJis(code)) verdict = Utf8Text::kNeedsFolding;
    i += length;
  }
  return verdict;
}

}  // namespace

std::string UTF8toSJIS(const std::string& text) {
  std::string visible = text.substr(0, text.find('\0'));
  if (isAscii(visible)) return visible;
  const Utf8Text kind = scanUtf8(visible);
  if (kind == Utf8Text::kInvalid) return text;  // not UTF-8: nothing sound to convert
  const std::string input = kind == Utf8Text::kNeedsFolding ? foldForShiftJis(visible) : std::move(visible);
  std::string output;
  output.reserve(input.size());
  for (std::size_t i = 0; i < input.size();) appendShiftJis(output, decodeUtf8At(input, i));
  return output;
}

// A byte that does not start a character, or a lead byte whose pair is no
// code, reads as U+FFFD, and reading goes on at the next byte.
std::string SJIStoUTF8(const std::string& text) {
  if (isAscii(text)) return text;
  std::string output;
  output.reserve(text.size() * 3 / 2);
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (isShiftJisLeadByte(byte) && i + 1 < text.size()) {
      const char32_t pair = readShiftJis(byte << 8 | static_cast<unsigned char>(text[i + 1]));
      if (pair != kNoReading) {
        appendUtf8(output, pair);
        i += 2;
        continue;
      }
    }
    appendUtf8(output, isShiftJisLeadByte(byte) ? kNoReading : readShiftJis(byte));
    ++i;
  }
  return output;
}

}  // namespace wmi
