// The inspector's reader: every malformed file is refused with the byte
// offset of the fault, never read past its end.
#include "inventory/DataFileReader.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

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

std::size_t failureOffset(const std::string& bytes) {
  try {
    decodeDataFile(bytes);
  } catch (const CDataFileError& error) {
    return error.offset();
  }
  ADD_FAILURE() << "no error";
  return 0;
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

TEST(DataFileReader, TruncatedFileNamesTheOffset) {
  const std::string whole = softwareFile();
  for (std::size_t cut : {std::size_t(0), std::size_t(3), std::size_t(20), whole.size() - 8, whole.size() - 1}) {
    const std::size_t offset = failureOffset(whole.substr(0, cut));
    EXPECT_LE(offset, cut) << "cut at " << cut;
  }
}

TEST(DataFileReader, CountTheRestCannotHoldIsRefusedAtTheCount) {
  std::string file = softwareFile();
  const std::size_t countOffset = 46;
  ASSERT_EQ('\x01', file[countOffset]);
  file.replace(countOffset, 4, qztest::bytes("\xFF\xFF\xFF\x7F"));
  EXPECT_EQ(countOffset, failureOffset(file));
}

TEST(DataFileReader, MissingEndMarkerAndTrailingBytes) {
  std::string noMarker = softwareFile();
  noMarker.replace(noMarker.size() - 7, 7, "QZ20EOX");
  EXPECT_EQ(softwareFile().size() - 7, failureOffset(noMarker));
  EXPECT_EQ(softwareFile().size(), failureOffset(softwareFile() + "x"));
}

TEST(DataFileReader, ErrorTextNamesTheOffset) {
  try {
    decodeDataFile(softwareFile() + "xy");
    FAIL();
  } catch (const CDataFileError& error) {
    EXPECT_NE(std::string::npos, std::string(error.what()).find("byte offset 80"));
  }
}

TEST(DataFileReader, UnknownFileNumberAndBadMagicAreRefused) {
  std::string file = softwareFile();
  file[16] = '\x05';
  EXPECT_THROW(decodeDataFile(file), CDataFileError);
  EXPECT_THROW(decodeDataFile("\x04QZ21"), CDataFileError);
}
