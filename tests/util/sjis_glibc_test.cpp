// The agent's Shift-JIS against glibc's converter, run the way the agent ran
// it before it carried its own table: folding first, then iconv's
// "SHIFT-JIS//TRANSLIT//IGNORE" in the "C" locale, and the text unchanged
// when iconv fails. Only glibc gives the reference bytes; elsewhere, and where
// glibc's converter modules are missing, the tests skip.
#include "util/sjisfold.h"
#include "util/utf8.h"
#include "util/utils.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#ifdef __GLIBC__
#include <cerrno>
#include <clocale>
#include <iconv.h>
#include <iterator>
#include <random>
#include <vector>
#endif

namespace {

#ifdef __GLIBC__

std::string utf8(char32_t value) {
  std::string text;
  wmi::appendUtf8(text, value);
  return text;
}

std::vector<char32_t> everyScalarValue() {
  std::vector<char32_t> values;
  for (char32_t value = 1; value < 0x110000; ++value)
    if (value < 0xD800 || value >= 0xE000) values.push_back(value);
  return values;
}

// Texts of up to 40 characters drawn from ASCII (backslash and tilde among
// them), kana, kanji, combining marks after the bases they compose with, and
// characters Shift-JIS lacks: transliterated, dropped or replaced.
std::vector<std::string> mixedTexts() {
  const char32_t pool[] = {
      U'A', U'e', U'z', U'0', U' ', U'\\', U'~', U'(', U'=', U'か', U'カ', U'ウ', U'ゝ', U'ヽ', U'ワ',
      U'ア', U'ｱ', U'ﾞ', U'日', U'本', U'語', U'管', U'\u3099', U'\u309A', U'\u0301', U'\u0308',
      U'\u030A', U'\u0338', U'\u0306', U'Е', U'И', U'à', U'ñ', U'Ø', U'ǘ', U'™', U'©', U'®', U'½', U'①',
      U'㈱', U'№', U'—', U'〜', U'～', U'€', U'¥', U'‾', U'\u200B', U'\uFEFF', U'\U0001F600', U'\uE000',
      U'\uFFFE', U'\U0010FFFF', U'\U000E0041', U'\U0001D400', U'한', U'∉', U'Å', U'ß', U'ﬁ'};
  std::mt19937 random(21);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pool) - 1), length(1, 40);
  std::vector<std::string> texts = {"Microsoft\u00AE Word", "Xcode\u2122", "\u682A\u5F0F\u4F1A\u793E\u3231",
                                    "C:\\Program Files\\\u65E5\u672C ~ \u301C \uFF5E"};
  for (int i = 0; i < 3000; ++i) {
    std::string text;
    for (std::size_t n = length(random); n > 0; --n) wmi::appendUtf8(text, pool[pick(random)]);
    texts.push_back(text);
  }
  return texts;
}

class Glibc {
 public:
  Glibc(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Glibc() {
    if (ok()) iconv_close(cd_);
  }
  Glibc(const Glibc&) = delete;
  Glibc& operator=(const Glibc&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // The converted text; on an invalid sequence, `onInvalid(output)` returns
  // false to give up (the result is then empty) or appends a replacement and
  // returns true to go on after one byte.
  template <typename OnInvalid>
  std::string convert(const std::string& text, OnInvalid onInvalid) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string output;
    std::vector<char> buffer(text.size() * 8 + 16);
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    while (inLeft > 0) {
      char* out = buffer.data();
      std::size_t outLeft = buffer.size();
      const std::size_t result = iconv(cd_, &in, &inLeft, &out, &outLeft);
      output.append(buffer.data(), out);
      if (result != static_cast<std::size_t>(-1)) break;
      if (errno == E2BIG) continue;
      if (!onInvalid(output)) return std::string();
      ++in;
      --inLeft;
    }
    return output;
  }

 private:
  iconv_t cd_;
};

// What the agent wrote before it carried its own table.
std::string formerShiftJis(Glibc& glibc, const std::string& text) {
  const std::string visible = text.substr(0, text.find('\0'));
  const std::string folded = wmi::foldForShiftJis(visible);
  bool failed = false;
  const std::string converted = glibc.convert(folded, [&failed](std::string&) {
    failed = true;
    return false;
  });
  return failed ? text : converted;
}

// What qz-dump showed before: U+FFFD for a byte glibc cannot read, then on.
std::string formerReading(Glibc& glibc, const std::string& text) {
  bool ascii = true;
  for (unsigned char c : text) ascii = ascii && c < 0x80;
  if (ascii) return text;
  return glibc.convert(text, [](std::string& output) {
    output += "\xEF\xBF\xBD";
    return true;
  });
}

// Runs `check` on each item; reports how many differ and the first few.
template <typename Items, typename Check>
void expectAllAlike(const Items& items, Check check) {
  std::size_t differing = 0;
  std::string first;
  for (const auto& item : items) {
    const std::string difference = check(item);
    if (difference.empty()) continue;
    if (++differing <= 5) first += difference + "\n";
  }
  EXPECT_EQ(0u, differing) << first;
}

std::string hex(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) out += wmi::format("%02X", c);
  return out;
}

TEST(ShiftJisAgainstGlibc, EveryScalarValueAndMixedTextsGiveTheFormerBytes) {
  std::setlocale(LC_ALL, "C");  // as the agent, which never sets a locale
  Glibc glibc("SHIFT-JIS//TRANSLIT//IGNORE", "UTF-8");
  if (!glibc.ok()) GTEST_SKIP() << "glibc's SHIFT-JIS converter cannot be opened here (no gconv modules?)";
  std::vector<std::string> texts;
  for (char32_t value : everyScalarValue()) texts.push_back(utf8(value));
  for (const std::string& text : mixedTexts()) texts.push_back(text);
  std::string longText;
  while (longText.size() < 6000) longText += texts.back() + texts[0x65E5] + texts[0x2122];
  texts.push_back(longText);
  expectAllAlike(texts, [&glibc](const std::string& text) {
    const std::string expected = formerShiftJis(glibc, text), actual = wmi::UTF8toSJIS(text);
    return expected == actual ? std::string() : text + ": glibc " + hex(expected) + ", agent " + hex(actual);
  });
}

// Every byte and every pair of bytes that starts with a byte above ASCII, on
// its own and before a kanji.
TEST(ShiftJisAgainstGlibc, QzDumpReadsEveryCodeAsGlibcDid) {
  Glibc glibc("UTF-8", "SHIFT-JIS");
  if (!glibc.ok()) GTEST_SKIP() << "glibc's SHIFT-JIS converter cannot be opened here (no gconv modules?)";
  std::vector<std::string> texts;
  for (int first = 0; first < 0x100; ++first) {
    texts.push_back(std::string(1, static_cast<char>(first)) + "\x93\xFA");
    for (int second = 0; first >= 0x80 && second < 0x100; ++second)
      texts.push_back({static_cast<char>(first), static_cast<char>(second)});
  }
  texts.push_back("\\~ \x93\xFA\\~");
  expectAllAlike(texts, [&glibc](const std::string& text) {
    const std::string expected = formerReading(glibc, text), actual = wmi::SJIStoUTF8(text);
    return expected == actual ? std::string() : hex(text) + ": glibc " + hex(expected) + ", qz-dump " + hex(actual);
  });
}

#else

TEST(ShiftJisAgainstGlibc, NeedsGlibc) { GTEST_SKIP() << "the reference bytes are glibc's; this is not glibc"; }

#endif

}  // namespace
