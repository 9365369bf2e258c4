// Disks from the three bus reports and volumes from the storage report.
#include "inventory/hardware/CHWInfoManager.h"

#include "inventory/hardware/MacReport.h"

#include <gtest/gtest.h>

using namespace mactest;

namespace {

std::string controller(std::initializer_list<std::string> disks) {
  return dict({{"_name", str("Generic SSD Controller")}, {"_items", array(disks)}});
}

std::string disk(const std::string& name, const std::string& size, const std::string& volumes = "") {
  std::string xml = "<dict>";
  if (!name.empty()) xml += "<key>_name</key>" + name;
  if (!size.empty()) xml += "<key>size_in_bytes</key>" + size;
  if (!volumes.empty()) xml += "<key>volumes</key>" + volumes;
  return xml + "</dict>";
}

std::vector<std::string> models(const std::vector<tagWMIDISKSTRUCT>& disks) {
  std::vector<std::string> names;
  for (const tagWMIDISKSTRUCT& d : disks) names.push_back(d.strModel);
  return names;
}

}  // namespace

TEST(MacDisks, EveryNamedDiskOfEveryBusInFileOrder) {
  const std::string ssd = disk(str("APPLE SSD AP0512Z"), integer(500277790720),
                               array({dict({{"_name", str("disk0s1")}}), str("odd"), dict({})}));
  const std::vector<tagWMIDISKSTRUCT> disks = collect(
      &CHWInfoManager::loadDiskInfo_mac,
      {{"pata_disk.xml", report("SPParallelATADataType", {controller({disk(str("PATA"), "")})})},
       {"nvme_disk.xml", report("SPNVMeDataType", {controller({ssd, disk("", integer(1)), disk(str(""), integer(2)),
                                                               disk(integer(5), integer(3)), str("not a disk")}),
                                                   str("not a controller"), dict({{"_name", str("no disks")}}),
                                                   controller({disk(str("APPLE HDD ST1000DM003"), str("1 TB"))})})},
       {"physical_disk.xml", report("SPSerialATADataType", {controller({ssd})})}}).vecDisk;
  EXPECT_EQ((std::vector<std::string>{"APPLE SSD AP0512Z", "APPLE SSD AP0512Z", "APPLE HDD ST1000DM003", "PATA"}),
            models(disks));
  EXPECT_EQ(500277790720, disks[0].llSize);
  EXPECT_EQ(3u, disks[0].dwPartitionCount);
  EXPECT_EQ(0, disks[2].llSize);  // size given as text
  EXPECT_EQ(0u, disks[2].dwPartitionCount);
  EXPECT_EQ(0u, disks[2].dwReserved);
}

TEST(MacDisks, UnreadableBusReportsAreSkippedOneByOne) {
  for (const std::string& root : unusableRoots()) {
    const std::vector<tagWMIDISKSTRUCT> disks =
        collect(&CHWInfoManager::loadDiskInfo_mac,
                {{"physical_disk.xml", plist(root)},
                 {"nvme_disk.xml", report("SPNVMeDataType", {controller({disk(str("APPLE SSD"), integer(7))})})}})
            .vecDisk;
    EXPECT_EQ(std::vector<std::string>{"APPLE SSD"}, models(disks)) << root;
  }
}

TEST(MacVolumes, EveryVolumeDictionaryIsARecord) {
  const std::string storage = report(
      "SPStorageDataType",
      {dict({{"_name", str("Macintosh HD")}, {"mount_point", str("/")}, {"size_in_bytes", integer(1027968598016)},
             {"free_space_in_bytes", integer(611392876544)}, {"file_system", str("APFS")}}),
       str("not a volume"), dict({}), dict({{"mount_point", integer(1)}, {"size_in_bytes", str("1 TB")}})});
  const std::vector<tagWMIPATSTRUCT> volumes = collect(&CHWInfoManager::loadPartitionInfo_mac, {{"logical_disk.xml", storage}}).vecPartition;
  ASSERT_EQ(3u, volumes.size());
  EXPECT_EQ("/", volumes[0].strName);
  EXPECT_EQ(1027968598016, volumes[0].llSize);
  EXPECT_EQ(611392876544, volumes[0].llFreeSpace);
  for (const tagWMIPATSTRUCT& volume : volumes) {
    EXPECT_EQ(3u, volume.dwDriveType);
    EXPECT_EQ(0xFFFFFFFFu, volume.dwReserved);
  }
  EXPECT_EQ("", volumes[2].strName);
  EXPECT_EQ(0, volumes[2].llSize);
  for (const std::string& root : unusableRoots())
    EXPECT_TRUE(collect(&CHWInfoManager::loadPartitionInfo_mac, {{"logical_disk.xml", plist(root)}}).vecPartition.empty());
}
