#include "util/utils.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

// ASCII byte for byte, Japanese in Shift-JIS, what it lacks replaced rather
// than kept as UTF-8, invalid UTF-8 unchanged, and a stop at the first NUL.
TEST(UTF8toSJIS, TextsOfEachKind) {
  const std::pair<std::string, std::string> cases[] = {
      {"Intel(R) Core(TM) i7 \\ ~ {}", "Intel(R) Core(TM) i7 \\ ~ {}"},
      {"日本語", "\x93\xFA\x96\x7B\x8C\xEA"},
      {"ダ", "\x83\x5F"},
      {"aｱ", "a\xB1"},  // half-width katakana is one byte
      {"a\xF0\x9F\x98\x80z", "a?z"},  // an emoji
      {"caf\xE9 \xFF", "caf\xE9 \xFF"},
      {std::string("日\0本", 7), "\x93\xFA"},
  };
  for (const auto& [text, sjis] : cases) EXPECT_EQ(sjis, wmi::UTF8toSJIS(text)) << text;
}

TEST(UTF8toSJIS, TextLongerThan1024ShiftJisBytesIsConvertedWhole) {
  std::string text;
  for (int i = 0; i < 700; ++i) text += "日";  // 1400 bytes in Shift-JIS
  const std::string converted = wmi::UTF8toSJIS(text);
  ASSERT_EQ(1400u, converted.size());
  EXPECT_EQ("\x93\xFA", converted.substr(1398));
}

// Every character of the Shift-JIS table that Unicode can also write as a base
// and a combining mark, as macOS hands out names.
TEST(UTF8toSJIS, CharactersWithADecomposedFormGiveTheirShiftJisCodeFromEitherForm) {
  struct Row {
    const char* composed;
    const char* decomposed;
    const char* sjis;
  };
  const Row rows[] = {
      {"Ё", "Е\u0308", "\x84\x46"}, {"Й", "И\u0306", "\x84\x4A"}, {"й", "и\u0306", "\x84\x7A"},
      {"ё", "е\u0308", "\x84\x76"}, {"\u212B", "A\u030A", "\x81\xF0"}, {"≠", "=\u0338", "\x81\x82"},
      {"が", "か\u3099", "\x82\xAA"}, {"ぎ", "き\u3099", "\x82\xAC"}, {"ぐ", "く\u3099", "\x82\xAE"},
      {"げ", "け\u3099", "\x82\xB0"}, {"ご", "こ\u3099", "\x82\xB2"}, {"ざ", "さ\u3099", "\x82\xB4"},
      {"じ", "し\u3099", "\x82\xB6"}, {"ず", "す\u3099", "\x82\xB8"}, {"ぜ", "せ\u3099", "\x82\xBA"},
      {"ぞ", "そ\u3099", "\x82\xBC"}, {"だ", "た\u3099", "\x82\xBE"}, {"ぢ", "ち\u3099", "\x82\xC0"},
      {"づ", "つ\u3099", "\x82\xC3"}, {"で", "て\u3099", "\x82\xC5"}, {"ど", "と\u3099", "\x82\xC7"},
      {"ば", "は\u3099", "\x82\xCE"}, {"ぱ", "は\u309A", "\x82\xCF"}, {"び", "ひ\u3099", "\x82\xD1"},
      {"ぴ", "ひ\u309A", "\x82\xD2"}, {"ぶ", "ふ\u3099", "\x82\xD4"}, {"ぷ", "ふ\u309A", "\x82\xD5"},
      {"べ", "へ\u3099", "\x82\xD7"}, {"ぺ", "へ\u309A", "\x82\xD8"}, {"ぼ", "ほ\u3099", "\x82\xDA"},
      {"ぽ", "ほ\u309A", "\x82\xDB"}, {"ゞ", "ゝ\u3099", "\x81\x55"}, {"ガ", "カ\u3099", "\x83\x4B"},
      {"ギ", "キ\u3099", "\x83\x4D"}, {"グ", "ク\u3099", "\x83\x4F"}, {"ゲ", "ケ\u3099", "\x83\x51"},
      {"ゴ", "コ\u3099", "\x83\x53"}, {"ザ", "サ\u3099", "\x83\x55"}, {"ジ", "シ\u3099", "\x83\x57"},
      {"ズ", "ス\u3099", "\x83\x59"}, {"ゼ", "セ\u3099", "\x83\x5B"}, {"ゾ", "ソ\u3099", "\x83\x5D"},
      {"ダ", "タ\u3099", "\x83\x5F"}, {"ヂ", "チ\u3099", "\x83\x61"}, {"ヅ", "ツ\u3099", "\x83\x64"},
      {"デ", "テ\u3099", "\x83\x66"}, {"ド", "ト\u3099", "\x83\x68"}, {"バ", "ハ\u3099", "\x83\x6F"},
      {"パ", "ハ\u309A", "\x83\x70"}, {"ビ", "ヒ\u3099", "\x83\x72"}, {"ピ", "ヒ\u309A", "\x83\x73"},
      {"ブ", "フ\u3099", "\x83\x75"}, {"プ", "フ\u309A", "\x83\x76"}, {"ベ", "ヘ\u3099", "\x83\x78"},
      {"ペ", "ヘ\u309A", "\x83\x79"}, {"ボ", "ホ\u3099", "\x83\x7B"}, {"ポ", "ホ\u309A", "\x83\x7C"},
      {"ヴ", "ウ\u3099", "\x83\x94"}, {"ヾ", "ヽ\u3099", "\x81\x53"},
  };
  ASSERT_EQ(59u, sizeof rows / sizeof rows[0]);
  for (const Row& row : rows) {
    EXPECT_EQ(row.sjis, wmi::UTF8toSJIS(row.composed)) << row.composed;
    EXPECT_EQ(row.sjis, wmi::UTF8toSJIS(row.decomposed)) << row.composed;
    EXPECT_EQ(std::string("x") + row.sjis + "y", wmi::UTF8toSJIS(std::string("x") + row.decomposed + "y"));
  }
  // The letter Å is the same character to Shift-JIS as the ANGSTROM SIGN.
  EXPECT_EQ("\x81\xF0", wmi::UTF8toSJIS("\u00C5"));
  EXPECT_EQ("\x83\x5F\x83\x45\x83\x93\x83\x8D\x81\x5B\x83\x68\x8A\xC7\x97\x9D",
            wmi::UTF8toSJIS("\u30BF\u3099\u30A6\u30F3\u30ED\u30FC\u30C8\u3099\u7BA1\u7406"));  // ダウンロード管理
}

// The same bytes whatever the process locale: letters that Shift-JIS lacks
// lose their marks as iconv's transliteration does in a UTF-8 locale.
TEST(UTF8toSJIS, AccentedLatinLettersLoseTheirMarksInEitherForm) {
  const std::pair<const char*, const char*> cases[] = {
      {"Caf\u00E9", "Cafe"},
      {"Cafe\u0301", "Cafe"},
      {"\u00DCbersicht", "Ubersicht"},
      {"U\u0308bersicht", "Ubersicht"},
      {"\u00D8rsted \u0141\u00F3d\u017A", "Orsted Lodz"},
      {"\u01D8 u\u0308\u0301", "u u"},  // two marks
      {"Caf\u00E9 \u5199\u771F", "Cafe \x8E\xCA\x90\x5E"},
      {"\u30EF\u3099", "\x83\x8F"},  // ワ: no voiced form in Shift-JIS
      {"\u3099x", "x"},  // a mark with nothing before it
  };
  for (const auto& [text, sjis] : cases) EXPECT_EQ(sjis, wmi::UTF8toSJIS(text)) << text;
  // A negation is never dropped, and reads the same in both forms.
  EXPECT_EQ(wmi::UTF8toSJIS("\u2209"), wmi::UTF8toSJIS("\u2208\u0338"));
  EXPECT_NE(wmi::UTF8toSJIS("\u2208"), wmi::UTF8toSJIS("\u2209"));
}

TEST(SJIStoUTF8, RoundTripsAndMarksUndecodableBytes) {
  EXPECT_EQ("日本語 abc", wmi::SJIStoUTF8(wmi::UTF8toSJIS("日本語 abc")));
  EXPECT_EQ("a\xEF\xBF\xBD", wmi::SJIStoUTF8("a\x81"));  // a lead byte cut off at the end
}
