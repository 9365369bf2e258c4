// System identity, processors, OS version, memory modules, and what every
// hardware collector makes of unusable reports.
#include "inventory/hardware/CHWInfoManager.h"

#include "inventory/hardware/MacReport.h"

#include <gtest/gtest.h>

using namespace mactest;

TEST(MacSystem, SourceNameIsTheFolderNameEvenWithATrailingSeparator) {
  qztest::ScratchDir dir;
  dir.write("collected/hardware.xml", report({dict({{"platform_UUID", str("3B1F6C2A")}})}));
  for (const char* folder : {"collected", "collected/"}) {
    tagWMISTRUCT record;
    CHWInfoManager((dir.path() / folder).string(), dir.path().string(), record).loadSysInfo_mac(record);
    EXPECT_EQ("collected", record.vecInfo.at(0).strSourceName) << folder;
  }
}

TEST(MacSystem, OSNameAndVersionComeFromTheirOwnKeysOnly) {
  const tagWMISTRUCT record = collect(
      &CHWInfoManager::loadSysInfo_mac,
      {{"hardware.xml", report({dict({{"platform_UUID", str("3B1F6C2A")}})})},
       {"os", "ProductName:\t\tmacOS\nProductVersion:\t\t13.4.1\nProductVersionExtra:\t(c)\n"
              "ProductNameExtra: x\nBuildVersion:\t\t22F770820d\nProductVersion 99\n"}});
  EXPECT_EQ("macOS", record.vecInfo.at(0).strOSName);
  EXPECT_EQ("13.4.1", record.vecInfo.at(0).strOSVersion);
}

TEST(MacSystem, OneProcessorRecordPerPackage) {
  const struct {
    std::string cpu, chip, cores, packages, speed;
    std::size_t records;
    std::string name;
    unsigned int clock, coresEach;
  } cases[] = {
      {str("Intel Xeon"), "", integer(8), integer(2), str("2.6 GHz"), 2, "Intel Xeon", 2600, 4},
      {str("Intel Xeon"), str("Apple M1"), integer(8), str("2"), str("800 MHz"), 1, "Intel Xeon", 800, 8},
      {str("Intel Xeon"), "", integer(8), integer(0), str("3 GHz"), 0, "", 0, 0},
      {str("Core 2 Duo"), "", integer(2), "", str("3.06 GHz"), 1, "Core 2 Duo", 3060, 2},
      {integer(7), str("Apple M2 Pro"), str("proc 12:8:4"), "", "", 1, "Apple M2 Pro", 0, 12},
      {"", str("Apple M2 Ultra"), str("proc 24:16:8:0"), "", str("fast"), 1, "Apple M2 Ultra", 0, 24},
      {"", "", str("proc 8"), "", str("2.6GHz"), 1, "", 2600, 8},
      {"", "", str("12"), "", str("1.99999 GHz"), 1, "", 1999, 1},  // only the "proc" text is a count
      {str("Intel Core i5"), "", integer(4), "", str("3,1 GHz"), 1, "Intel Core i5", 3100, 4},  // a decimal comma
      {"", "", str("proc 8 cores"), "", str("GHz 2"), 1, "", 0, 1},
      {"", "", integer(4), integer(1000000000000), integer(3), 256, "", 0, 0},  // a corrupt count is bounded
  };
  for (const auto& c : cases) {
    const tagWMISTRUCT record = collect(
        &CHWInfoManager::loadSysInfo_mac,
        {{"hardware.xml", report({dict({{"cpu_type", c.cpu}, {"chip_type", c.chip}, {"number_processors", c.cores},
                                        {"packages", c.packages}, {"current_processor_speed", c.speed}})})}});
    ASSERT_EQ(c.records, record.vecCpu.size()) << c.packages;
    EXPECT_TRUE(record.vecInfo.empty());  // no platform_UUID
    for (const tagWMICPUSTRUCT& cpu : record.vecCpu) {
      EXPECT_EQ(c.name, cpu.strName);
      EXPECT_EQ(c.clock, cpu.dwClockMHz) << c.speed;
      EXPECT_EQ(c.coresEach, cpu.dwCoreCount) << c.cores;
    }
  }
}

TEST(MacMemory, SlotsOfEveryGroupAndUnifiedMemoryWithTheirSizeInKiB) {
  const auto slot = [](const std::string& size) { return dict({{"_name", str("DIMM0")}, {"dimm_size", size}}); };
  const std::string mem =
      report({dict({{"_items", array({slot(str("16 GB")), slot(str("512 MB")), slot(str("empty")), dict({}), str("x"),
                                      slot(integer(8)), slot(str("4096 GB")), slot(str("1,5 GB")), slot(str("64KB")),
                                      slot(str("GB 8")), slot(str("8 gigabytes"))})}}),
              str("not a group"), dict({{"_name", str("no inner list, no size")}}),
              dict({{"_items", array({slot(str("8 GB"))})}, {"SPMemoryDataType", str("1 GB")}}),
              // Apple silicon: the unified memory, named by its type.
              dict({{"SPMemoryDataType", str("48 GB")}, {"dimm_type", str("LPDDR5")}, {"dimm_manufacturer", str("Micron")}}),
              dict({{"SPMemoryDataType", str("1.5 TB")}, {"_items", str("not a list")}})});
  std::vector<std::string> modules;
  for (const tagMEMORYSLOT& m : collect(&CHWInfoManager::loadMemInfo_mac, {{"mem.xml", mem}}).vecMemory)
    modules.push_back(m.strName + "|" + std::to_string(m.dwCapacity));
  EXPECT_EQ((std::vector<std::string>{"DIMM0|16777216", "DIMM0|524288", "DIMM0|0", "|0", "DIMM0|0", "DIMM0|4294967295",
                                      "DIMM0|1572864", "DIMM0|64", "DIMM0|0", "DIMM0|0", "DIMM0|8388608",
                                      "LPDDR5|50331648", "|1610612736"}),
            modules);
}

TEST(MacHardware, UnusableReportsGiveNothing) {
  typedef void (CHWInfoManager::*Collector)(tagWMISTRUCT&);
  const std::pair<Collector, const char*> collectors[] = {
      {&CHWInfoManager::loadSysInfo_mac, "hardware.xml"}, {&CHWInfoManager::loadMemInfo_mac, "mem.xml"},
      {&CHWInfoManager::loadDiskInfo_mac, "nvme_disk.xml"}, {&CHWInfoManager::loadPartitionInfo_mac, "logical_disk.xml"},
      {&CHWInfoManager::loadNicInfo_mac, "nics"}, {&CHWInfoManager::loadVgaInfo_mac, "video"},
      {&CHWInfoManager::loadVgaInfo_mac, "video.xml"}};
  for (const auto& c : collectors) {
    for (const std::string& xml : unusableReports()) {
      const tagWMISTRUCT r = collect(c.first, {{c.second, xml}, {"hostname", "host"}});
      EXPECT_EQ(0u, r.vecInfo.size() + r.vecCpu.size() + r.vecMemory.size() + r.vecDisk.size() +
                        r.vecPartition.size() + r.vecMonitor.size() + r.vecNic.size())
          << c.second << ": " << xml;
    }
    qztest::ScratchDir dir;
    boost::filesystem::create_directories(dir.path() / c.second);  // a folder in its place
    tagWMISTRUCT r;
    (CHWInfoManager(dir.path().string(), dir.path().string(), r).*c.first)(r);
    EXPECT_EQ(0u, r.vecCpu.size() + r.vecMemory.size() + r.vecDisk.size() + r.vecPartition.size() + r.vecNic.size());
  }
}
