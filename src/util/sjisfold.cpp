#include "util/sjisfold.h"

#include <algorithm>
#include <bitset>

namespace wmi {

namespace {

struct Composition {
  char32_t base, mark, composed;
};

struct Folding {
  char32_t code;
  const char* text;  // UTF-8; empty when the character is dropped
};

#include "util/sjisfold_table.inc"

const Folding* findFolding(char32_t code) {
  const auto found = std::lower_bound(std::begin(kFoldings), std::end(kFoldings), code,
                                      [](const Folding& folding, char32_t c) { return folding.code < c; });
  return found != std::end(kFoldings) && found->code == code ? found : nullptr;
}

const Composition* findComposition(char32_t base, char32_t mark) {
  const auto found = std::lower_bound(
      std::begin(kCompositions), std::end(kCompositions), Composition{base, mark, 0},
      [](const Composition& a, const Composition& b) { return a.base != b.base ? a.base < b.base : a.mark < b.mark; });
  return found != std::end(kCompositions) && found->base == base && found->mark == mark ? found : nullptr;
}

// The code points below U+10000 that a folding or composition touches: most
// texts have none of them and skip folding after one look-up per character.
const std::bitset<0x10000>& foldedInBasicPlane() {
  static const std::bitset<0x10000> folded = [] {
    std::bitset<0x10000> set;
    for (const Folding& folding : kFoldings)
      if (folding.code < 0x10000) set.set(folding.code);
    for (const Composition& composition : kCompositions) set.set(composition.mark);
    return set;
  }();
  return folded;
}

// The code point of well-formed UTF-8 at `text[i]`, advancing `i` past it.
char32_t decodeAt(const std::string& text, std::size_t& i) {
  const unsigned char lead = static_cast<unsigned char>(text[i++]);
  if (lead < 0x80) return lead;
  const int continuation = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
  char32_t code = lead & (0x3F >> continuation);
  for (int k = 0; k < continuation; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
  return code;
}

void appendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

bool isFoldedForShiftJis(char32_t code) {
  if (code < 0x10000) return foldedInBasicPlane()[code];
  return findFolding(code) != nullptr;
}

std::string foldForShiftJis(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  std::size_t lastStart = 0;  // where the character written last begins
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t start = i;
    const char32_t code = decodeAt(text, i);
    if (isFoldedForShiftJis(code)) {
      if (!out.empty()) {
        std::size_t at = lastStart;
        const char32_t last = decodeAt(out, at);
        if (const Composition* composition = findComposition(last, code)) {
          out.resize(lastStart);
          appendUtf8(out, composition->composed);
          continue;
        }
      }
      if (const Folding* folding = findFolding(code)) {
        if (*folding->text == '\0') continue;
        out += folding->text;
        lastStart = out.size() - 1;
        while ((static_cast<unsigned char>(out[lastStart]) & 0xC0) == 0x80) --lastStart;
        continue;
      }
    }
    lastStart = out.size();
    out.append(text, start, i - start);
  }
  return out;
}

}  // namespace wmi
