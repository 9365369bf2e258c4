// Whole Mac collections (system_profiler reports and text files) through the
// coordinator on this machine, read back from both data files field by field.
#include "agent/CTransferCoordinator.h"

#include "inventory/DataFileReader.h"
#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <sstream>

namespace fs = boost::filesystem;

namespace {

struct MacRun {
  tagDECODEDFILE hardware, software;
  std::string hardwareBytes, softwareBytes;
};

// Copies a fixture Mac into `result/` and runs one inventory over it.
MacRun runOn(const std::string& fixture) {
  qztest::ScratchDir dir;
  const fs::path result = dir.path() / "result";
  fs::create_directory(result);
  for (const fs::directory_entry& file : fs::directory_iterator(fs::path(QZ_FIXTURES_DIR) / "macos" / fixture))
    fs::copy_file(file.path(), result / file.path().filename());
  CTransferCoordinator coordinator;
  coordinator.setConfigDir(dir.path().string());
  coordinator.setDestDir(dir.path().string());
  coordinator.init(result.string());
  coordinator.setVersion("1.0.0.0");
  testing::internal::CaptureStdout();
  coordinator.start();
  testing::internal::GetCapturedStdout();
  MacRun run;
  run.hardwareBytes = qztest::readFile(coordinator.outFiles().at(0));
  run.softwareBytes = qztest::readFile(coordinator.outFiles().at(1));
  coordinator.cleanup();
  run.hardware = decodeDataFile(run.hardwareBytes);
  run.software = decodeDataFile(run.softwareBytes);
  return run;
}

// One line per record, fields separated by "|", so that a mismatch shows in full.
template <typename Record, typename Fields>
std::vector<std::string> lines(const std::vector<Record>& records, Fields fields) {
  std::vector<std::string> out;
  for (const Record& r : records) {
    std::ostringstream line;
    fields(line, r);
    out.push_back(line.str());
  }
  return out;
}

std::vector<std::string> disks(const tagWMISTRUCT& hw) {
  return lines(hw.vecDisk, [](std::ostream& o, const tagWMIDISKSTRUCT& d) {
    o << d.strModel << '|' << d.llSize << '|' << d.dwReserved << '|' << d.dwPartitionCount << '|' << d.strReserved1
      << '|' << d.strReserved2;
  });
}

const char kUUID[] = "3B1F6C2A-94D7-5E8B-A0C4-7D2E91F35B68";

}  // namespace

TEST(MacInventory, IntelIMacHardwareFileHoldsEveryCollectedField) {
  const MacRun run = runOn("imac-2017");
  const tagWMISTRUCT& hw = run.hardware.hardware;
  EXPECT_EQ("imac-keiri", run.hardware.header.strComputerName);
  EXPECT_EQ(kUUID, run.hardware.header.strUUID);
  ASSERT_EQ(1u, hw.vecInfo.size());
  const tagWMIINFOSTRUCT& s = hw.vecInfo[0];
  EXPECT_EQ((std::vector<std::string>{"Apple Inc.", "iMac", "C02VK1ABJ1GJ", "Mac OS X", "", "", "", "", "", "1", "",
                                      "corp.example.co.jp", "", "10.15.7", "imac-keiri", kUUID}),
            (std::vector<std::string>{s.strManufacturer, s.strModel, s.strSerialNumber, s.strOSName, s.strReserved1,
                                      s.strReserved2, s.strReserved3, s.strReserved4, s.strInstallDate, s.strStateFlag,
                                      s.strSourceName, s.strDomain, s.strArchitecture, s.strOSVersion,
                                      s.strComputerName, s.strUUID}));
  EXPECT_EQ(std::vector<std::string>{"Quad-Core Intel Core i5|3000|4"},
            lines(hw.vecCpu, [](std::ostream& o, const tagWMICPUSTRUCT& c) {
              o << c.strName << '|' << c.dwClockMHz << '|' << c.dwCoreCount;
            }));
  EXPECT_EQ((std::vector<std::string>{"BANK 0/DIMM0|4194304", "BANK 0/DIMM1|0", "BANK 1/DIMM0|4194304", "BANK 1/DIMM1|0"}),
            lines(hw.vecMemory, [](std::ostream& o, const tagMEMORYSLOT& m) { o << m.strName << '|' << m.dwCapacity; }));
  EXPECT_EQ((std::vector<std::string>{"APPLE HDD ST1000DM003|1000204886016|0|2||", "APPLE SSD SM0032L|28001529856|0|2||"}),
            disks(hw));
  // Finder names arrive decomposed; the data file holds the composed
  // Shift-JIS. The accented letter has no Shift-JIS form: one "?", not "e?".
  EXPECT_EQ((std::vector<std::string>{"/|1027968598016|611392876544|3|4294967295",
                                      "/System/Volumes/Data|1027968598016|611392876544|3|4294967295",
                                      "/Volumes/バックアップ|2000189177856|731402285056|3|4294967295",
                                      "/Volumes/Donn?es|31016878080|30993235968|3|4294967295"}),
            lines(hw.vecPartition, [](std::ostream& o, const tagWMIPATSTRUCT& p) {
              o << p.strName << '|' << p.llSize << '|' << p.llFreeSpace << '|' << p.dwDriveType << '|' << p.dwReserved;
            }));
  EXPECT_NE(std::string::npos,
            run.hardwareBytes.find("\x15/Volumes/\x83\x6F\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76"));
  EXPECT_EQ(std::vector<std::string>{"Radeon Pro 570|4194304|5120|2880|30"},
            lines(hw.vecMonitor, [](std::ostream& o, const tagMONITORSTRUCT& m) {
              o << m.strName << '|' << m.dwVideoMemory << '|' << m.dwHorzResolution << '|' << m.dwVertResolution << '|'
                << m.dwBitsPerPixel;
            }));
  EXPECT_EQ((std::vector<std::string>{
                "1|Ethernet (en0)|38:c9:86:1a:2b:3c|192.168.10.24|255.255.255.0|192.168.10.1|192.168.10.1|192.168.10.1|8.8.8.8|1",
                "1|Wi-Fi|8c:85:90:4d:5e:6f|||||||1",
                "1|Thunderbolt ブリッジ (bridge0)||||||||1",
                "1|USB 10/100/1000 LAN (en6)|a0:ce:c8:01:02:03|10.20.5.20||10.20.0.1||10.20.0.53||0"}),
            lines(hw.vecNic, [](std::ostream& o, const tagWMINICSTRUCT& n) {
              o << n.dwEnabled << '|' << n.strDescription << '|' << n.strMACAddress << '|' << n.strIPAddress << '|'
                << n.strSubnetMask << '|' << n.strDefaultGateway << '|' << n.strDHCPServer << '|' << n.strDNSServer1
                << '|' << n.strDNSServer2 << '|' << n.dwDHCPEnabled;
            }));
  EXPECT_TRUE(hw.vecCdrom.empty() && hw.vecPrinter.empty() && hw.vecAccount.empty() && hw.vecShare.empty());
}

TEST(MacInventory, IntelIMacSoftwareFileListsApplicationsInComposedShiftJis) {
  const MacRun run = runOn("imac-2017");
  EXPECT_EQ(10004u, run.software.header.dwFormatVersion);
  EXPECT_EQ("imac-keiri", run.software.header.strComputerName);
  EXPECT_EQ(kUUID, run.software.header.strUUID);
  EXPECT_EQ((std::vector<std::string>{"1614853230|Safari||14.0||0", "1600757394|プレビュー||11.0||0",
                                      "1600757394|テキストエディット||1.15||0", "1610503869|Microsoft Excel||16.45||0",
                                      "1612222805|Install macOS Big Sur||||0", "0|勤怠管理||3.2.1||0",
                                      "1594800000|Safari||13.1.2||0"}),
            lines(run.software.applications, [](std::ostream& o, const tagAPPLIDATASTRUCT& a) {
              o << a.tmInstall << '|' << a.strName << '|' << a.strReserved1 << '|' << a.strVersion << '|'
                << a.strReserved2 << '|' << a.dwReserved;
            }));
  EXPECT_NE(std::string::npos, run.softwareBytes.find(qztest::bytes("\x0A\x83\x76\x83\x8C\x83\x72\x83\x85\x81\x5B\x00\x04" "11.0")));
}

TEST(MacInventory, AppleSiliconReportsGiveWhatTheirShapesAllow) {
  const MacRun run = runOn("macbook-air-m2");
  const tagWMISTRUCT& hw = run.hardware.hardware;
  ASSERT_EQ(1u, hw.vecInfo.size());
  EXPECT_EQ("MacBook Air", hw.vecInfo[0].strModel);
  EXPECT_EQ("MacBook-Air", hw.vecInfo[0].strComputerName);
  EXPECT_EQ("", hw.vecInfo[0].strDomain);
  EXPECT_EQ("macOS", hw.vecInfo[0].strOSName);
  EXPECT_EQ("14.4.1", hw.vecInfo[0].strOSVersion);
  // No cpu_type, a text processor count, no memory slots, no "Pixel Depth".
  ASSERT_EQ(1u, hw.vecCpu.size());
  EXPECT_EQ("", hw.vecCpu[0].strName);
  EXPECT_EQ(0u, hw.vecCpu[0].dwClockMHz);
  EXPECT_EQ(1u, hw.vecCpu[0].dwCoreCount);
  EXPECT_TRUE(hw.vecMemory.empty());
  EXPECT_EQ(std::vector<std::string>{"APPLE SSD AP0512Z|500277790720|0|3||"}, disks(hw));
  EXPECT_TRUE(hw.vecPartition.empty() && hw.vecMonitor.empty() && hw.vecNic.empty());
  EXPECT_TRUE(run.software.applications.empty());
  EXPECT_EQ("9E3D1B7C-2F4A-5C8E-B6D0-1A2B3C4D5E6F", run.software.header.strUUID);
}
