// The hardware data file, byte for byte where the order matters, and whole
// through the inspector's reader.
#include "inventory/hardware/CHWInfoManager.h"

#include "inventory/DataFileReader.h"
#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

namespace fs = boost::filesystem;

namespace {

const std::string kHeaderNoNames = qztest::bytes("\x04QZ20\x18\x27\0\0\0\0\0\0\0\x0C\0\0\0\x07" "1.0.0.0\x05\0\0\0") +
                                   std::string(8, '\0') + qztest::bytes("\x01\0\0\0\0");

std::string encode(tagWMISTRUCT& record) {
  qztest::ScratchDir dir;
  CHWInfoManager manager(dir.path().string(), dir.path().string(), record);
  manager.SetVersion("1.0.0.0");
  const fs::path file = dir.path() / "out.dat";
  manager.encodeInfo(file);
  return qztest::readFile(file);
}

tagWMISTRUCT fullRecord() {
  tagWMISTRUCT record;
  tagWMIINFOSTRUCT system;
  system.strManufacturer = "LENOVO";
  system.strModel = "ThinkPad X1";
  system.strSerialNumber = "PF12345";
  system.strOSName = "Ubuntu 22.04.3 LTS";
  system.strInstallDate = "20230101120000";
  system.strSourceName = "collected";
  system.strDomain = "example.co.jp";
  system.strArchitecture = "x86_64";
  system.strOSVersion = "22.04.3";
  system.strComputerName = "経理-PC01";
  system.strUUID = "4C4C4544-0044-3010-8052-B4C04F4B4E32";
  record.vecInfo.push_back(system);
  record.vecCpu.push_back({"Intel(R) Xeon(R) Gold 6230", 2100, 20});
  record.vecCpu.push_back({"Intel(R) Xeon(R) Gold 6230", 2100, 20});
  record.vecMemory.push_back({"", 65536000});
  record.vecDisk.push_back({"Samsung SSD 870", 500107862016LL, 0, 1, "", ""});
  record.vecPartition.push_back({"/", 102400000, 51200000, 3, 0xFFFFFFFF});
  record.vecCdrom.push_back({"sr0", "DVD-RAM UJ8E2"});
  record.vecMonitor.push_back({"Intel Corporation UHD Graphics 620", 1572864, 1920, 1080, 32});
  tagWMINICSTRUCT nic;
  nic.dwEnabled = 1;
  nic.strDescription = "Intel Corporation Ethernet (eth0)";
  nic.strMACAddress = "00:11:22:33:44:55";
  nic.strIPAddress = "192.168.1.10";
  nic.strSubnetMask = "255.255.255.0";
  nic.strDefaultGateway = "192.168.1.1";
  nic.strDHCPServer = "192.168.1.1";
  nic.strDNSServer1 = "8.8.8.8";
  nic.strDNSServer2 = "8.8.4.4";
  nic.dwDHCPEnabled = 1;
  record.vecNic.push_back(nic);
  record.vecPrinter.push_back({"a", "b", "c", "d"});
  record.vecAccount.push_back({"root", 7});
  tagWMISHARE share;
  share.strName = "共有";
  share.strPath = "/srv";
  share.vecTextsA = {"x", "y"};
  share.vecValuesA = {5};  // a missing value is written as 0
  share.vecTextsD = {"z"};
  share.vecValuesD = {9};
  record.vecShare.push_back(share);
  return record;
}

}  // namespace

TEST(HardwareLayout, EmptyRecordKeepsTheFullShapeWithEmptySystemTexts) {
  tagWMISTRUCT record;
  const std::string expected = kHeaderNoNames +
                               std::string(5, '\0') +         // group A: five empty texts
                               std::string(8 * 4, '\0') +     // eight empty device lists
                               std::string(6, '\0') +         // OS name, four reserved, install date
                               "\x01" "1" +                   // state flag
                               std::string(4 + 2, '\0') +     // source, domain, arch, version, two texts
                               std::string(4, '\0') +         // time 0
                               std::string(8, '\0') +         // accounts, shares
                               "QZ20EOF";
  EXPECT_EQ(expected, encode(record));
}

TEST(HardwareLayout, PartitionAlwaysEndsWithAllOnesAndStateFlagIsZeroOrOne) {
  tagWMISTRUCT record;
  record.vecInfo.push_back(tagWMIINFOSTRUCT());
  record.vecInfo[0].strStateFlag = "0";
  record.vecPartition.push_back({"/", 1, 2, 3, 0});
  const std::string file = encode(record);
  const std::string partition = qztest::bytes("\x01\0\0\0" "\x01/") + qztest::bytes("\x01\0\0\0\0\0\0\0") +
                                qztest::bytes("\x02\0\0\0\0\0\0\0") + qztest::bytes("\x03\0\0\0") + "\xFF\xFF\xFF\xFF";
  EXPECT_NE(std::string::npos, file.find(partition));
  EXPECT_NE(std::string::npos, file.find(qztest::bytes("\0\0\x01" "0\0")));

  record.vecInfo[0].strStateFlag = "00";
  EXPECT_NE(std::string::npos, encode(record).find(qztest::bytes("\0\0\x01" "1\0")));
}

TEST(HardwareLayout, ProcessorAndAdapterFieldsInFileOrder) {
  tagWMISTRUCT record;
  record.vecInfo.push_back(tagWMIINFOSTRUCT());
  record.vecCpu.push_back({"C", 2400, 4});
  tagWMINICSTRUCT nic;
  nic.dwEnabled = 1;
  nic.strDescription = "d";
  nic.strIPAddress = "i";
  nic.dwDHCPEnabled = 1;
  record.vecNic.push_back(nic);
  const std::string file = encode(record);
  const std::string body = file.substr(kHeaderNoNames.size());
  const std::string expectedStart = std::string(5, '\0') + qztest::bytes("\x01\0\0\0" "\x01" "C" "\x60\x09\0\0" "\x04\0\0\0");
  EXPECT_EQ(expectedStart, body.substr(0, expectedStart.size()));
  const std::string adapter = qztest::bytes("\x01\0\0\0" "\x01\0\0\0" "\x01" "d" "\0" "\x01" "i") + std::string(5, '\0') +
                              qztest::bytes("\x01\0\0\0");
  EXPECT_NE(std::string::npos, file.find(adapter));
}

// What the reader makes of the file is the record written, every field of it,
// but for what the layout fixes: only the first system record, and a state
// flag other than "0" is "1".
TEST(HardwareLayout, EveryFieldSurvivesTheRoundTrip) {
  tagWMISTRUCT record = fullRecord();
  tagWMIINFOSTRUCT second;
  second.strComputerName = "other";
  record.vecInfo.push_back(second);
  tagDECODEDFILE expected;
  expected.hardware = record;
  expected.hardware.vecInfo.resize(1);
  expected.hardware.vecInfo[0].strStateFlag = "1";
  expected.header.strMagic = "QZ20";
  expected.header.dwFormatVersion = 10008;
  expected.header.strComputerName = "経理-PC01";
  expected.header.dwFileNumber = 12;
  expected.header.strAgentVersion = "1.0.0.0";
  expected.header.dwKindCode = 5;
  expected.header.dwExtCode = 1;
  expected.header.strUUID = record.vecInfo[0].strUUID;
  EXPECT_EQ(dataFileToJson(expected), dataFileToJson(decodeDataFile(encode(record))));
}

TEST(PlatformChoice, HardwareXmlOfAnyKindSelectsMacOtherwiseLinux) {
  qztest::ScratchDir linuxSource;
  tagWMISTRUCT linuxRecord;
  CHWInfoManager(linuxSource.path().string(), ".", linuxRecord).load();
  EXPECT_EQ(1u, linuxRecord.vecInfo.size());  // the Linux system collector always adds it

  qztest::ScratchDir macSource;
  fs::create_directory(macSource.path() / "hardware.xml");
  tagWMISTRUCT macRecord;
  CHWInfoManager(macSource.path().string(), ".", macRecord).load();
  EXPECT_TRUE(macRecord.vecInfo.empty());
}
