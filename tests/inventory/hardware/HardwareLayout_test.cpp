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

TEST(HardwareLayout, EveryFieldSurvivesTheRoundTrip) {
  tagWMISTRUCT record = fullRecord();
  const tagDECODEDFILE decoded = decodeDataFile(encode(record));
  ASSERT_EQ(tagDECODEDFILE::Hardware, decoded.kind);
  EXPECT_EQ(10008u, decoded.header.dwFormatVersion);
  EXPECT_EQ(12u, decoded.header.dwFileNumber);
  EXPECT_EQ(5u, decoded.header.dwKindCode);
  EXPECT_EQ(1u, decoded.header.dwExtCode);
  EXPECT_EQ("経理-PC01", decoded.header.strComputerName);
  EXPECT_EQ(record.vecInfo[0].strUUID, decoded.header.strUUID);
  const tagWMIINFOSTRUCT& in = record.vecInfo[0];
  const tagWMIINFOSTRUCT& out = decoded.hardware.vecInfo.at(0);
  EXPECT_EQ(in.strComputerName, out.strComputerName);
  EXPECT_EQ(in.strManufacturer, out.strManufacturer);
  EXPECT_EQ(in.strModel, out.strModel);
  EXPECT_EQ(in.strSerialNumber, out.strSerialNumber);
  EXPECT_EQ(in.strOSName, out.strOSName);
  EXPECT_EQ(in.strInstallDate, out.strInstallDate);
  EXPECT_EQ("1", out.strStateFlag);
  EXPECT_EQ(in.strSourceName, out.strSourceName);
  EXPECT_EQ(in.strDomain, out.strDomain);
  EXPECT_EQ(in.strArchitecture, out.strArchitecture);
  EXPECT_EQ(in.strOSVersion, out.strOSVersion);
  ASSERT_EQ(2u, decoded.hardware.vecCpu.size());
  EXPECT_EQ(2100u, decoded.hardware.vecCpu[1].dwClockMHz);
  EXPECT_EQ(20u, decoded.hardware.vecCpu[1].dwCoreCount);
  EXPECT_EQ(65536000u, decoded.hardware.vecMemory.at(0).dwCapacity);
  EXPECT_EQ(500107862016LL, decoded.hardware.vecDisk.at(0).llSize);
  EXPECT_EQ(1u, decoded.hardware.vecDisk.at(0).dwPartitionCount);
  EXPECT_EQ(51200000, decoded.hardware.vecPartition.at(0).llFreeSpace);
  EXPECT_EQ("DVD-RAM UJ8E2", decoded.hardware.vecCdrom.at(0).strModel);
  EXPECT_EQ(1080u, decoded.hardware.vecMonitor.at(0).dwVertResolution);
  const tagWMINICSTRUCT& nic = decoded.hardware.vecNic.at(0);
  EXPECT_EQ("255.255.255.0", nic.strSubnetMask);
  EXPECT_EQ("8.8.4.4", nic.strDNSServer2);
  EXPECT_EQ(1u, nic.dwDHCPEnabled);
  EXPECT_TRUE(decoded.hardware.vecPrinter.empty());
  EXPECT_TRUE(decoded.hardware.vecAccount.empty());
  EXPECT_TRUE(decoded.hardware.vecShare.empty());
}

TEST(HardwareLayout, OnlyTheFirstSystemRecordIsWritten) {
  tagWMISTRUCT record = fullRecord();
  tagWMIINFOSTRUCT second;
  second.strComputerName = "other";
  record.vecInfo.push_back(second);
  EXPECT_EQ("経理-PC01", decodeDataFile(encode(record)).hardware.vecInfo.at(0).strComputerName);
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
