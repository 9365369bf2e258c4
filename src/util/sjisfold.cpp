#include "util/sjisfold.h"

#include "util/utf8.h"

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
    const char32_t code = decodeUtf8At(text, i);
    if (isFoldedForShiftJis(code)) {
      if (!out.empty()) {
        std::size_t at = lastStart;
        const char32_t last = decodeUtf8At(out, at);
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
