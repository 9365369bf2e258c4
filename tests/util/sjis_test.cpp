#include "util/utils.h"

#include <gtest/gtest.h>

TEST(UTF8toSJIS, AsciiComesOutByteForByte) {
  const std::string ascii = "Intel(R) Core(TM) i7 \\ ~ {}";
  EXPECT_EQ(ascii, wmi::UTF8toSJIS(ascii));
}

TEST(UTF8toSJIS, JapaneseTextBecomesShiftJis) {
  EXPECT_EQ("\x93\xFA\x96\x7B\x8C\xEA", wmi::UTF8toSJIS("日本語"));
  EXPECT_EQ("\x83\x5F", wmi::UTF8toSJIS("ダ"));
  EXPECT_EQ("a\xB1", wmi::UTF8toSJIS("aｱ"));  // half-width katakana is one byte
}

TEST(UTF8toSJIS, TextLongerThan1024ShiftJisBytesIsConvertedWhole) {
  std::string text;
  for (int i = 0; i < 700; ++i) text += "日";  // 1400 bytes in Shift-JIS
  const std::string converted = wmi::UTF8toSJIS(text);
  ASSERT_EQ(1400u, converted.size());
  EXPECT_EQ("\x93\xFA", converted.substr(1398));
}

TEST(UTF8toSJIS, DecomposedAndComposedNamesGiveTheSameBytes) {
  const std::string decomposed = "\xE3\x82\xBF\xE3\x82\x99";  // タ + combining voiced mark
  EXPECT_EQ(wmi::UTF8toSJIS("ダ"), wmi::UTF8toSJIS(decomposed));
  EXPECT_EQ(wmi::UTF8toSJIS("Caf\xC3\xA9 \xE5\x86\x99\xE7\x9C\x9F"), wmi::UTF8toSJIS("Cafe\xCC\x81 写真"));
  EXPECT_EQ(wmi::UTF8toSJIS("ガイド"), wmi::UTF8toSJIS("\xE3\x82\xAB\xE3\x82\x99\xE3\x82\xA4\xE3\x83\x88\xE3\x82\x99"));
}

TEST(UTF8toSJIS, CharactersWithoutShiftJisFormAreReplacedNotKeptAsUtf8) {
  const std::string converted = wmi::UTF8toSJIS("a\xF0\x9F\x98\x80z");  // an emoji
  EXPECT_EQ('a', converted.front());
  EXPECT_EQ('z', converted.back());
  EXPECT_EQ(std::string::npos, converted.find('\xF0'));
}

TEST(UTF8toSJIS, InvalidUtf8IsReturnedUnchanged) {
  const std::string invalid = "caf\xE9 \xFF";
  EXPECT_EQ(invalid, wmi::UTF8toSJIS(invalid));
}

TEST(UTF8toSJIS, ConversionStopsAtTheFirstNul) {
  EXPECT_EQ("\x93\xFA", wmi::UTF8toSJIS(std::string("日\0本", 7)));
}

TEST(SJIStoUTF8, RoundTripsAndMarksUndecodableBytes) {
  EXPECT_EQ("日本語 abc", wmi::SJIStoUTF8(wmi::UTF8toSJIS("日本語 abc")));
  EXPECT_EQ("a\xEF\xBF\xBD", wmi::SJIStoUTF8("a\x81"));  // a lead byte cut off at the end
}
