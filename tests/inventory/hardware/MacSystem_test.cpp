// System identity, processors, host name, OS version and memory modules.
#include "inventory/hardware/CHWInfoManager.h"

#include "inventory/hardware/MacReport.h"

#include <gtest/gtest.h>

using namespace mactest;

namespace {

const std::string kUUID = "3B1F6C2A-94D7-5E8B-A0C4-7D2E91F35B68";

std::string overview(std::initializer_list<std::pair<std::string, std::string>> extra) {
  std::string entries;
  for (const auto& entry : extra) entries += "<key>" + entry.first + "</key>" + entry.second;
  return report("SPHardwareDataType", {"<dict><key>_name</key><string>hardware_overview</string>" + entries + "</dict>"});
}

tagWMISTRUCT system(const Files& files, const std::string& folder = "result") {
  return collect(&CHWInfoManager::loadSysInfo_mac, files, folder);
}

std::vector<unsigned int> capacities(const std::string& memReport) {
  std::vector<unsigned int> result;
  for (const tagMEMORYSLOT& slot : collect(&CHWInfoManager::loadMemInfo_mac, {{"mem.xml", memReport}}).vecMemory)
    result.push_back(slot.dwCapacity);
  return result;
}

}  // namespace

TEST(MacSystem, OverviewHostNameAndOsFillTheSystemRecord) {
  const tagWMISTRUCT record = system({{"hardware.xml", overview({{"machine_name", str("iMac")},
                                                                 {"serial_number", str("C02VK1ABJ1GJ")},
                                                                 {"platform_UUID", str(kUUID)}})},
                                      {"hostname", "imac-keiri.corp.example.co.jp\n"},
                                      {"os", "ProductName:\tMac OS X\nBuildVersion: 19H2\nProductVersion:\t10.15.6\n"
                                             "ProductVersion:\t10.15.7\nno colon here\nProductVersion"}},
                                     "collected");
  ASSERT_EQ(1u, record.vecInfo.size());
  const tagWMIINFOSTRUCT& info = record.vecInfo[0];
  EXPECT_EQ("Apple Inc.", info.strManufacturer);
  EXPECT_EQ("iMac", info.strModel);
  EXPECT_EQ("C02VK1ABJ1GJ", info.strSerialNumber);
  EXPECT_EQ(kUUID, info.strUUID);
  EXPECT_EQ("collected", info.strSourceName);
  EXPECT_EQ("imac-keiri", info.strComputerName);
  EXPECT_EQ("corp.example.co.jp", info.strDomain);
  EXPECT_EQ("Mac OS X", info.strOSName);
  EXPECT_EQ("10.15.7", info.strOSVersion);
  EXPECT_EQ("", info.strArchitecture);

  const tagWMISTRUCT plain = system({{"hardware.xml", overview({{"platform_UUID", str(kUUID)}})}, {"hostname", "mini"}});
  EXPECT_EQ("mini", plain.vecInfo.at(0).strComputerName);
  EXPECT_EQ("", plain.vecInfo.at(0).strDomain);
  EXPECT_EQ("", plain.vecInfo.at(0).strSourceName);  // the folder is "result"
  EXPECT_EQ("", plain.vecInfo.at(0).strOSName);

  qztest::ScratchDir dir;  // a trailing separator does not hide the folder's name
  dir.write("collected/hardware.xml", overview({{"platform_UUID", str(kUUID)}}));
  tagWMISTRUCT slash;
  CHWInfoManager((dir.path() / "collected").string() + "/", dir.path().string(), slash).loadSysInfo_mac(slash);
  EXPECT_EQ("collected", slash.vecInfo.at(0).strSourceName);
}

TEST(MacSystem, ProcessorsPerPackageFromCountsAndClockText) {
  const struct {
    std::string cores, packages, speed;
    std::size_t records;
    unsigned int clock, coresEach;
  } cases[] = {
      {integer(8), integer(2), str("2.6 GHz"), 2, 2000, 4},
      {integer(8), "", str("800 MHz"), 1, 800, 8},
      {integer(8), integer(0), str("3 GHz"), 0, 0, 0},
      {str("proc 8:4:4"), "", "", 1, 0, 1},  // Apple silicon: text, so one core
      {integer(4), integer(1), str("fast"), 1, 0, 4},
      {integer(4), integer(1), integer(3), 1, 0, 4},
      {integer(4), integer(1000000000000), str("1 GHz"), 256, 1000, 0},  // corrupt count: bounded
  };
  for (const auto& c : cases) {
    std::string entries = "<key>cpu_type</key>" + str("Quad-Core Intel Core i5");
    if (!c.cores.empty()) entries += "<key>number_processors</key>" + c.cores;
    if (!c.packages.empty()) entries += "<key>packages</key>" + c.packages;
    if (!c.speed.empty()) entries += "<key>current_processor_speed</key>" + c.speed;
    const tagWMISTRUCT record = system({{"hardware.xml", report("SPHardwareDataType", {"<dict>" + entries + "</dict>"})}});
    ASSERT_EQ(c.records, record.vecCpu.size()) << entries;
    EXPECT_TRUE(record.vecInfo.empty());  // no platform_UUID
    for (const tagWMICPUSTRUCT& cpu : record.vecCpu) {
      EXPECT_EQ("Quad-Core Intel Core i5", cpu.strName);
      EXPECT_EQ(c.clock, cpu.dwClockMHz) << entries;
      EXPECT_EQ(c.coresEach, cpu.dwCoreCount) << entries;
    }
  }
}

TEST(MacSystem, UnusableHardwareReportGivesNothing) {
  std::vector<std::string> reports;
  for (const std::string& root : unusableRoots()) reports.push_back(plist(root));
  reports.push_back(report("SPHardwareDataType", {}));
  reports.push_back(report("SPHardwareDataType", {str(kUUID)}));
  for (const std::string& xml : reports) {
    const tagWMISTRUCT record = system({{"hardware.xml", xml}, {"hostname", "host"}});
    EXPECT_TRUE(record.vecInfo.empty() && record.vecCpu.empty()) << xml;
  }
  qztest::ScratchDir dir;
  boost::filesystem::create_directories(dir.path() / "hardware.xml");  // a folder
  tagWMISTRUCT record;
  CHWInfoManager(dir.path().string(), dir.path().string(), record).loadSysInfo_mac(record);
  EXPECT_TRUE(record.vecCpu.empty());
}

TEST(MacMemory, SlotsOfEveryGroupWithTheirSizeInKiB) {
  const auto slot = [](const std::string& size) { return dict({{"_name", str("BANK 0/DIMM0")}, {"dimm_size", size}}); };
  const std::string mem = report("SPMemoryDataType",
                                 {dict({{"_name", str("Memory Slots")},
                                        {"_items", array({slot(str("16 GB")), slot(str("512 MB")), slot(str("empty")),
                                                          dict({{"_name", str("no size")}}), str("not a slot"),
                                                          slot(integer(8)), slot(str("4096 GB"))})}}),
                                  str("not a group"), dict({{"_name", str("no inner list")}}),
                                  dict({{"_items", array({slot(str("8 GB"))})}})});
  EXPECT_EQ((std::vector<unsigned int>{16777216, 524288, 0, 0, 0, 0, 8388608}), capacities(mem));
  const tagWMISTRUCT record = collect(&CHWInfoManager::loadMemInfo_mac, {{"mem.xml", mem}});
  EXPECT_EQ("BANK 0/DIMM0", record.vecMemory.at(0).strName);
  EXPECT_EQ("no size", record.vecMemory.at(3).strName);

  // Apple silicon lists the memory without slots: nothing to take.
  const std::string unified = report("SPMemoryDataType", {dict({{"SPMemoryDataType", str("16 GB")}})});
  EXPECT_TRUE(capacities(unified).empty());
  EXPECT_TRUE(collect(&CHWInfoManager::loadMemInfo_mac, {}).vecMemory.empty());
  for (const std::string& root : unusableRoots()) EXPECT_TRUE(capacities(plist(root)).empty()) << root;
}
