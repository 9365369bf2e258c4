// The field encoders against bytes written out by hand.
#include "inventory/CBaseInfoManager.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<unsigned char> bytes(std::initializer_list<int> values) {
  std::vector<unsigned char> out;
  for (int v : values) out.push_back(static_cast<unsigned char>(v));
  return out;
}

std::vector<unsigned char> encodeString(const std::string& text) {
  std::vector<char> buf(CBaseInfoManager::kStringFieldSize, 'x');
  int len = -1;
  CBaseInfoManager::FormatCStringData(text, buf.data(), len, true);
  return std::vector<unsigned char>(buf.begin(), buf.begin() + len);
}

std::vector<unsigned char> withPrefix(std::vector<unsigned char> prefix, const std::string& body) {
  prefix.insert(prefix.end(), body.begin(), body.end());
  return prefix;
}

}  // namespace

TEST(NumberFields, LittleEndianWithFixedWidths) {
  char buf[8];
  int len = 0;
  CBaseInfoManager::FormatDWORDData(10008, buf, len);
  EXPECT_EQ(4, len);
  EXPECT_EQ(bytes({0x18, 0x27, 0x00, 0x00}), std::vector<unsigned char>(buf, buf + 4));

  CBaseInfoManager::FormatInt64Data(-2, buf, len);
  EXPECT_EQ(8, len);
  EXPECT_EQ(bytes({0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), std::vector<unsigned char>(buf, buf + 8));

  CBaseInfoManager::FormatInt64Data(500107862016LL, buf, len);  // a 500 GB disk
  EXPECT_EQ(bytes({0x00, 0x60, 0xC0, 0x70, 0x74, 0x00, 0x00, 0x00}), std::vector<unsigned char>(buf, buf + 8));
}

TEST(NumberFields, TimesKeepOnlyTheirLow32Bits) {
  char buf[4];
  int len = 0;
  CBaseInfoManager::FormatCTimeData(0x1'2345'6789L, buf, len);
  EXPECT_EQ(4, len);
  EXPECT_EQ(bytes({0x89, 0x67, 0x45, 0x23}), std::vector<unsigned char>(buf, buf + 4));
  CBaseInfoManager::FormatCTimeData(0, buf, len);
  EXPECT_EQ(bytes({0, 0, 0, 0}), std::vector<unsigned char>(buf, buf + 4));
  CBaseInfoManager::FormatCTimeData(1614853230L, buf, len);
  EXPECT_EQ(bytes({0x6E, 0xB4, 0x40, 0x60}), std::vector<unsigned char>(buf, buf + 4));
}

TEST(NumberFields, NullBufferWritesNothingAndKeepsLength) {
  int len = 77;
  CBaseInfoManager::FormatDWORDData(1, nullptr, len);
  CBaseInfoManager::FormatInt64Data(1, nullptr, len);
  CBaseInfoManager::FormatCTimeData(1, nullptr, len);
  CBaseInfoManager::FormatCStringData("abc", nullptr, len, true);
  EXPECT_EQ(77, len);
}

TEST(CountedString, ShortForms) {
  EXPECT_EQ(bytes({0x00}), encodeString(""));
  EXPECT_EQ(bytes({0x03, 'a', 'b', 'c'}), encodeString("abc"));
  EXPECT_EQ(bytes({0x06, 0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA}), encodeString("日本語"));
}

TEST(CountedString, LengthFormSwitchesAt255Bytes) {
  const std::vector<unsigned char> at254 = encodeString(std::string(254, 'a'));
  EXPECT_EQ(255u, at254.size());
  EXPECT_EQ(withPrefix(bytes({0xFE}), std::string(254, 'a')), at254);

  const std::vector<unsigned char> at255 = encodeString(std::string(255, 'a'));
  EXPECT_EQ(258u, at255.size());
  EXPECT_EQ(withPrefix(bytes({0xFF, 0xFF, 0x00}), std::string(255, 'a')), at255);

  EXPECT_EQ(withPrefix(bytes({0xFF, 0x2C, 0x01}), std::string(300, 'q')), encodeString(std::string(300, 'q')));
}

TEST(CountedString, PrefixCountsBytesNotCharacters) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += "日";  // 200 characters, 400 Shift-JIS bytes
  const std::vector<unsigned char> field = encodeString(text);
  ASSERT_EQ(403u, field.size());
  EXPECT_EQ(bytes({0xFF, 0x90, 0x01}), std::vector<unsigned char>(field.begin(), field.begin() + 3));
}

TEST(CountedString, CutAt4094BytesWithoutSplittingACharacter) {
  const std::vector<unsigned char> ascii = encodeString(std::string(5000, 'a'));
  EXPECT_EQ(withPrefix(bytes({0xFF, 0xFE, 0x0F}), std::string(4094, 'a')), ascii);

  // 4093 ASCII bytes and then a two-byte character: keeping it would need
  // 4095 bytes, so the cut comes before it.
  const std::vector<unsigned char> mixed = encodeString(std::string(4093, 'a') + "日本");
  EXPECT_EQ(withPrefix(bytes({0xFF, 0xFD, 0x0F}), std::string(4093, 'a')), mixed);

  std::string japanese;
  for (int i = 0; i < 2100; ++i) japanese += "語";  // 4200 bytes
  const std::vector<unsigned char> cut = encodeString(japanese);
  ASSERT_EQ(3u + 4094u, cut.size());
  EXPECT_EQ(bytes({0xFF, 0xFE, 0x0F}), std::vector<unsigned char>(cut.begin(), cut.begin() + 3));
  EXPECT_EQ(0x8C, cut[cut.size() - 2]);
  EXPECT_EQ(0xEA, cut[cut.size() - 1]);
}

TEST(CountedString, LongJapaneseTextIsShiftJisNotUtf8) {
  std::string text;
  for (int i = 0; i < 800; ++i) text += "本";  // 1600 Shift-JIS bytes, 2400 UTF-8 bytes
  const std::vector<unsigned char> field = encodeString(text);
  ASSERT_EQ(3u + 1600u, field.size());
  EXPECT_EQ(bytes({0xFF, 0x40, 0x06, 0x96, 0x7B}), std::vector<unsigned char>(field.begin(), field.begin() + 5));
}

TEST(Header, FullRecordInFileOrder) {
  tagHEADERSTRUCT header;
  header.strMagic = "QZ20";
  header.dwFormatVersion = 10004;
  header.strComputerName = "pc";
  header.dwFileNumber = 1;
  header.strAgentVersion = "1.0.0.0";
  header.dwKindCode = 1;
  header.tmStart = 0x1'0000'0010LL;
  header.tmEnd = 0x20;
  header.strUUID = "U";
  header.dwExtCode = 1;
  std::vector<char> buf(CBaseInfoManager::kHeaderFieldSize);
  int len = 0;
  CBaseInfoManager::FormatHeaderData(header, buf.data(), len);
  const auto expected = bytes({0x04, 'Q', 'Z', '2', '0',          // magic
                               0x14, 0x27, 0, 0,                  // 10004
                               0, 0, 0, 0,                        // reserved
                               0x02, 'p', 'c',                    // computer name
                               0x01, 0, 0, 0,                     // file number
                               0x07, '1', '.', '0', '.', '0', '.', '0',  // agent version
                               0x01, 0, 0, 0,                     // kind code
                               0x10, 0, 0, 0,                     // start, low 32 bits
                               0x20, 0, 0, 0,                     // end
                               0x01, 0, 0, 0,                     // extension code before the UUID
                               0x01, 'U'});
  ASSERT_EQ(static_cast<int>(expected.size()), len);
  EXPECT_EQ(expected, std::vector<unsigned char>(buf.begin(), buf.begin() + len));
}

TEST(Header, SmallestIs36BytesAndOldVersionsEndAfterTheTimes) {
  tagHEADERSTRUCT header;
  header.strMagic = "QZ20";
  header.dwFormatVersion = 10008;
  std::vector<char> buf(CBaseInfoManager::kHeaderFieldSize);
  int len = 0;
  CBaseInfoManager::FormatHeaderData(header, buf.data(), len);
  EXPECT_EQ(36, len);

  header.dwFormatVersion = 10003;
  header.strUUID = "never written";
  CBaseInfoManager::FormatHeaderData(header, buf.data(), len);
  EXPECT_EQ(31, len);
}

TEST(Header, FourStringsAtTheLimitFitTheBuffer) {
  tagHEADERSTRUCT header;
  header.strMagic = std::string(5000, 'm');
  header.strComputerName = std::string(5000, 'c');
  header.strAgentVersion = std::string(5000, 'v');
  header.strUUID = std::string(5000, 'u');
  header.dwFormatVersion = 10008;
  std::vector<char> buf(CBaseInfoManager::kHeaderFieldSize);
  int len = 0;
  CBaseInfoManager::FormatHeaderData(header, buf.data(), len);
  EXPECT_EQ(4 * (3 + 4094) + 7 * 4, len);
}
