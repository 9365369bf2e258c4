// The field encoders against bytes written out by hand, and their adapters
// over a caller's buffer.
#include "inventory/FieldWriter.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

std::string encoded(const std::function<void(std::string&)>& append) {
  std::string out = "x";  // fields are appended to what is there
  append(out);
  return out.substr(1);
}

std::string repeated(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

}  // namespace

TEST(FieldEncoding, NumbersAreLittleEndianWithFixedWidthsAndTimesKeepTheirLow32Bits) {
  const std::pair<std::function<void(std::string&)>, std::string> cases[] = {
      {[](std::string& out) { wmi::appendDword(out, 10008); }, qztest::bytes("\x18\x27\0\0")},
      {[](std::string& out) { wmi::appendInt64(out, -2); }, "\xFE\xFF\xFF\xFF\xFF\xFF\xFF\xFF"},
      {[](std::string& out) { wmi::appendInt64(out, 500107862016LL); }, qztest::bytes("\0\x60\xC0\x70\x74\0\0\0")},
      {[](std::string& out) { wmi::appendTime(out, 0x1'2345'6789LL); }, "\x89\x67\x45\x23"},
      {[](std::string& out) { wmi::appendTime(out, 0); }, std::string(4, '\0')},
      {[](std::string& out) { wmi::appendTime(out, 1614853230); }, "\x6E\xB4\x40\x60"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, encoded(c.first));
}

// The length prefix counts the Shift-JIS bytes that follow it, never
// characters, and a text is cut at 4094 bytes before a character that would
// cross the limit.
TEST(FieldEncoding, CountedTextsInTheirThreeFormsAndCutAtTheLimit) {
  const struct {
    std::string text, prefix, body;
  } cases[] = {
      {"", qztest::bytes("\0"), ""},
      {"abc", "\x03", "abc"},
      {"日本語", "\x06", "\x93\xFA\x96\x7B\x8C\xEA"},
      {std::string(254, 'a'), "\xFE", std::string(254, 'a')},
      {std::string(255, 'a'), qztest::bytes("\xFF\xFF\0"), std::string(255, 'a')},
      {std::string(300, 'q'), "\xFF\x2C\x01", std::string(300, 'q')},
      {repeated("日", 200), "\xFF\x90\x01", repeated("\x93\xFA", 200)},    // 400 bytes, 200 characters
      {repeated("本", 800), "\xFF\x40\x06", repeated("\x96\x7B", 800)},    // not its 2400 UTF-8 bytes
      {std::string(5000, 'a'), "\xFF\xFE\x0F", std::string(4094, 'a')},
      {std::string(4093, 'a') + "日本", "\xFF\xFD\x0F", std::string(4093, 'a')},  // 4095 with the character
      {repeated("語", 2100), "\xFF\xFE\x0F", repeated("\x8C\xEA", 2047)},
  };
  for (const auto& c : cases) {
    const std::string field = encoded([&](std::string& out) { wmi::appendText(out, c.text); });
    EXPECT_EQ(c.prefix + c.body, field) << c.text.substr(0, 20) << " (" << c.text.size() << " bytes)";
  }
}

TEST(FieldEncoding, TheBufferAdaptersWriteTheSameBytesAndNothingWithoutABuffer) {
  std::vector<char> buf(CBaseInfoManager::kStringFieldSize, 'x');
  int len = -1;
  CBaseInfoManager::FormatCStringData("日本語", buf.data(), len, false);
  EXPECT_EQ("\x06\x93\xFA\x96\x7B\x8C\xEA", std::string(buf.data(), static_cast<std::size_t>(len)));
  CBaseInfoManager::FormatDWORDData(10008, buf.data(), len);
  EXPECT_EQ(qztest::bytes("\x18\x27\0\0"), std::string(buf.data(), static_cast<std::size_t>(len)));
  CBaseInfoManager::FormatInt64Data(-2, buf.data(), len);
  EXPECT_EQ("\xFE\xFF\xFF\xFF\xFF\xFF\xFF\xFF", std::string(buf.data(), static_cast<std::size_t>(len)));
  CBaseInfoManager::FormatCTimeData(0x1'2345'6789L, buf.data(), len);
  EXPECT_EQ("\x89\x67\x45\x23", std::string(buf.data(), static_cast<std::size_t>(len)));

  len = 77;
  CBaseInfoManager::FormatDWORDData(1, nullptr, len);
  CBaseInfoManager::FormatInt64Data(1, nullptr, len);
  CBaseInfoManager::FormatCTimeData(1, nullptr, len);
  CBaseInfoManager::FormatCStringData("abc", nullptr, len);
  CBaseInfoManager::FormatHeaderData(tagHEADERSTRUCT(), nullptr, len);
  EXPECT_EQ(77, len);
}

TEST(Header, FullRecordInFileOrderWithTheExtensionCodeBeforeTheUuid) {
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
  const std::string expected = qztest::bytes("\x04QZ20" "\x14\x27\0\0" "\0\0\0\0"  // magic, 10004, reserved
                                             "\x02pc" "\x01\0\0\0"                  // computer name, file number
                                             "\x07" "1.0.0.0" "\x01\0\0\0"          // agent version, kind code
                                             "\x10\0\0\0" "\x20\0\0\0"              // start (low 32 bits), end
                                             "\x01\0\0\0" "\x01U");                 // extension code, UUID
  EXPECT_EQ(expected, std::string(buf.data(), static_cast<std::size_t>(len)));
}

TEST(Header, OldVersionsEndAfterTheTimesAndFourTextsAtTheLimitFitTheBuffer) {
  tagHEADERSTRUCT header;
  header.strMagic = "QZ20";
  header.dwFormatVersion = 10008;
  std::vector<char> buf(CBaseInfoManager::kHeaderFieldSize);
  int len = 0;
  CBaseInfoManager::FormatHeaderData(header, buf.data(), len);
  EXPECT_EQ(36, len);  // the smallest

  header.dwFormatVersion = 10003;
  header.strUUID = "never written";
  CBaseInfoManager::FormatHeaderData(header, buf.data(), len);
  EXPECT_EQ(31, len);

  header.dwFormatVersion = 10008;
  header.strMagic = std::string(5000, 'm');
  header.strComputerName = std::string(5000, 'c');
  header.strAgentVersion = std::string(5000, 'v');
  header.strUUID = std::string(5000, 'u');
  CBaseInfoManager::FormatHeaderData(header, buf.data(), len);
  EXPECT_EQ(4 * (3 + 4094) + 7 * 4, len);
}
