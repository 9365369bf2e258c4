// The inspector's reader: every malformed file is refused with the byte
// offset of the fault, never read past its end.
#include "inventory/DataFileReader.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

// A software file with one application, written out by hand.
std::string softwareFile() {
  std::string file("\x04QZ20", 5);
  file += qztest::bytes("\x14\x27\0\0") + std::string(4, '\0');  // version 10004, reserved
  file += "\x02pc";
  file += qztest::bytes("\x01\0\0\0");  // file number 1
  file += "\x07" "1.0.0.0";
  file += qztest::bytes("\x01\0\0\0");  // kind code
  file += qztest::bytes("\x10\0\0\0") + qztest::bytes("\x20\0\0\0");
  file += qztest::bytes("\x01\0\0\0") + "\x01U";
  file += qztest::bytes("\x01\0\0\0");  // one application
  file += qztest::bytes("\x6E\xB4\x40\x60") + "\x04" "bash" + qztest::bytes("\0") + "\x03" "5.1" +
          qztest::bytes("\0") + std::string(4, '\0');
  file += std::string(4, '\0') + "QZ20EOF";
  return file;
}

// The offset and the text of the error, or "no error".
std::string failure(const std::string& bytes) {
  try {
    decodeDataFile(bytes);
  } catch (const CDataFileError& error) {
    return std::to_string(error.offset()) + " " + error.what();
  }
  return "no error";
}

std::string replaced(std::string file, std::size_t at, const std::string& bytes) {
  return file.replace(at, bytes.size(), bytes);
}

}  // namespace

TEST(DataFileReader, ReadsAHandWrittenSoftwareFile) {
  const tagDECODEDFILE file = decodeDataFile(softwareFile());
  EXPECT_EQ(tagDECODEDFILE::Software, file.kind);
  EXPECT_EQ("pc", file.header.strComputerName);
  EXPECT_EQ(0x10, file.header.tmStart);
  EXPECT_EQ("U", file.header.strUUID);
  ASSERT_EQ(1u, file.applications.size());
  EXPECT_EQ("bash", file.applications[0].strName);
  EXPECT_EQ("5.1", file.applications[0].strVersion);
  EXPECT_EQ(1614853230, file.applications[0].tmInstall);
}

// Every malformed file is refused with the offset of the fault, before any
// read past its end or any allocation for a count it cannot hold.
TEST(DataFileReader, MalformedFilesNameTheOffsetOfTheFault) {
  const std::string whole = softwareFile();
  const std::string size = std::to_string(whole.size());
  const std::pair<std::string, std::string> cases[] = {
      {"", "0 byte offset 0: file truncated in header magic"},
      {whole.substr(0, 3), "1 byte offset 1: file truncated in header magic"},
      {whole.substr(0, 20), "20 byte offset 20: file truncated in header agent version"},
      {whole.substr(0, whole.size() - 8), "69 byte offset 69: file truncated in trailer count"},
      {whole.substr(0, whole.size() - 1), "73 byte offset 73: end marker \"QZ20EOF\" expected"},
      {replaced(whole, 46, qztest::bytes("\xFF\xFF\xFF\x7F")),
       "46 byte offset 46: application count: count 2147483647 cannot fit in the 30 remaining bytes"},
      {replaced(whole, whole.size() - 7, "QZ20EOX"), "73 byte offset 73: end marker \"QZ20EOF\" expected"},
      {whole + "xy", size + " byte offset " + size + ": 2 trailing bytes after the end marker"},
      {replaced(whole, 16, "\x05"), "0 byte offset 0: unknown file number 5"},
      {"\x04QZ21", "0 byte offset 0: magic \"QZ20\" expected"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, failure(c.first)) << c.first.size() << " bytes";
}
