// System identity, processors, host name, memory modules, and what every
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

TEST(MacSystem, OneProcessorRecordPerPackage) {
  const struct {
    std::string cores, packages, speed;
    std::size_t records;
    unsigned int clock, coresEach;
  } cases[] = {
      {integer(8), integer(2), str("2.6 GHz"), 2, 2000, 4},
      {integer(8), str("2"), str("800 MHz"), 1, 800, 8},
      {integer(8), integer(0), str("3 GHz"), 0, 0, 0},
      {str("proc 8:4:4"), integer(1), str("fast"), 1, 0, 1},       // Apple silicon: a text count
      {integer(4), integer(1000000000000), integer(3), 256, 0, 0},  // a corrupt count is bounded
  };
  for (const auto& c : cases) {
    const tagWMISTRUCT record = collect(
        &CHWInfoManager::loadSysInfo_mac,
        {{"hardware.xml", report({dict({{"cpu_type", str("Intel Xeon")}, {"number_processors", c.cores},
                                        {"packages", c.packages}, {"current_processor_speed", c.speed}})})}});
    ASSERT_EQ(c.records, record.vecCpu.size()) << c.packages;
    EXPECT_TRUE(record.vecInfo.empty());  // no platform_UUID
    for (const tagWMICPUSTRUCT& cpu : record.vecCpu) {
      EXPECT_EQ("Intel Xeon", cpu.strName);
      EXPECT_EQ(c.clock, cpu.dwClockMHz) << c.speed;
      EXPECT_EQ(c.coresEach, cpu.dwCoreCount) << c.cores;
    }
  }
}

TEST(MacMemory, SlotsOfEveryGroupWithTheirSizeInKiB) {
  const auto slot = [](const std::string& size) { return dict({{"_name", str("DIMM0")}, {"dimm_size", size}}); };
  const std::string mem = report({dict({{"_items", array({slot(str("16 GB")), slot(str("512 MB")), slot(str("empty")),
                                                          dict({}), str("x"), slot(integer(8)), slot(str("4096 GB"))})}}),
                                  str("not a group"), dict({{"_name", str("no inner list (Apple silicon)")}}),
                                  dict({{"_items", array({slot(str("8 GB"))})}})});
  std::vector<unsigned int> sizes;
  for (const tagMEMORYSLOT& m : collect(&CHWInfoManager::loadMemInfo_mac, {{"mem.xml", mem}}).vecMemory)
    sizes.push_back(m.dwCapacity);
  EXPECT_EQ((std::vector<unsigned int>{16777216, 524288, 0, 0, 0, 0, 8388608}), sizes);
}

TEST(MacHardware, UnusableReportsGiveNothing) {
  typedef void (CHWInfoManager::*Collector)(tagWMISTRUCT&);
  const std::pair<Collector, const char*> collectors[] = {
      {&CHWInfoManager::loadSysInfo_mac, "hardware.xml"}, {&CHWInfoManager::loadMemInfo_mac, "mem.xml"},
      {&CHWInfoManager::loadDiskInfo_mac, "nvme_disk.xml"}, {&CHWInfoManager::loadPartitionInfo_mac, "logical_disk.xml"},
      {&CHWInfoManager::loadNicInfo_mac, "nics"}, {&CHWInfoManager::loadVgaInfo_mac, "video"}};
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
