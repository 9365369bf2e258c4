// The software data file.
#include "inventory/software/CSWInfoManager.h"

#include "inventory/DataFileReader.h"
#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

namespace fs = boost::filesystem;

namespace {

// A manager that keeps the given records instead of collecting.
class FixedSoftware : public CSWInfoManager {
 public:
  FixedSoftware(const std::string& dir, tagWMISTRUCT& record, std::vector<tagAPPLIDATASTRUCT> apps)
      : CSWInfoManager(dir, dir, record), apps_(std::move(apps)) {}
  bool load() override {
    header.tmStart = 0x1'0000'0001LL;
    header.tmEnd = 2;
    return true;
  }
  bool encodeInfo(const fs::path& file) override {
    vecApplications = apps_;
    return CSWInfoManager::encodeInfo(file);
  }

 private:
  std::vector<tagAPPLIDATASTRUCT> apps_;
};

std::string encode(tagWMISTRUCT& record, std::vector<tagAPPLIDATASTRUCT> apps) {
  qztest::ScratchDir dir;
  FixedSoftware manager(dir.path().string(), record, std::move(apps));
  manager.SetVersion("1.0.0.0");
  manager.load();
  const fs::path file = dir.path() / "sw.dat";
  manager.encodeInfo(file);
  return qztest::readFile(file);
}

}  // namespace

TEST(SoftwareLayout, HeaderTakesTheNamesOfTheSystemRecord) {
  tagWMISTRUCT record;
  tagWMIINFOSTRUCT system;
  system.strComputerName = "host";
  system.strUUID = "UU";
  record.vecInfo.push_back(system);
  const std::string file = encode(record, {});
  const std::string expected = qztest::bytes("\x04QZ20\x14\x27\0\0\0\0\0\0\x04host\x01\0\0\0\x07" "1.0.0.0\x01\0\0\0") +
                               qztest::bytes("\x01\0\0\0\x02\0\0\0\x01\0\0\0\x02UU") +
                               std::string(8, '\0') + "QZ20EOF";
  EXPECT_EQ(expected, file);
}

TEST(SoftwareLayout, RecordsInOrderWithLow32BitTimes) {
  tagWMISTRUCT record;
  tagAPPLIDATASTRUCT first;
  first.tmInstall = 0x1'6040'B46ELL;
  first.strName = "Safari";
  first.strVersion = "14.0";
  first.dwHas64BitIntelCode = 1;
  first.strReserved3 = "never written";
  tagAPPLIDATASTRUCT second;
  second.strName = "写真";
  const std::string file = encode(record, {first, second});
  const std::string records = qztest::bytes("\x02\0\0\0") +
                              qztest::bytes("\x6E\xB4\x40\x60\x06" "Safari\0\x04" "14.0\0\0\0\0\0") +
                              qztest::bytes("\0\0\0\0\x04\x8E\xCA\x90\x5E\0\0\0\0\0\0\0") +
                              std::string(4, '\0') + "QZ20EOF";
  ASSERT_GE(file.size(), records.size());
  EXPECT_EQ(records, file.substr(file.size() - records.size()));
  const tagDECODEDFILE decoded = decodeDataFile(file);
  ASSERT_EQ(2u, decoded.applications.size());
  EXPECT_EQ("写真", decoded.applications[1].strName);
}

// Without an "app" entry no collector runs; an "app" folder is present but
// holds nothing a collector can read. Either way the file has no records.
TEST(SoftwareLayout, NoAppEntryOrAnAppFolderGivesNoRecords) {
  for (const bool folders : {false, true}) {
    qztest::ScratchDir source;
    if (folders) {
      fs::create_directory(source.path() / "app");
      fs::create_directory(source.path() / "app_install");
    }
    tagWMISTRUCT record;
    CSWInfoManager manager(source.path().string(), source.path().string(), record);
    manager.load();
    const fs::path file = source.path() / "out.dat";
    manager.encodeInfo(file);
    const std::string bytes = qztest::readFile(file);
    EXPECT_EQ(std::string(8, '\0') + "QZ20EOF", bytes.substr(bytes.size() - 15)) << folders;
  }
}
