// Linux disks and optical drives (lsblk pairs), mounted file systems (df)
// and the video adapter (lspci).
#include "LinuxCollection.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>

using qztest::LinuxCollection;

namespace {

tagWMISTRUCT disksOf(const std::string& listing) {
  LinuxCollection collection;
  collection.write("physical_disk", listing);
  collection.manager.loadDiskInfo(collection.record);
  return collection.record;
}

}  // namespace

TEST(LinuxDisks, WholeDeviceListingGivesDisksAndOpticalDrives) {
  LinuxCollection collection;
  collection.add("physical_disk", "storage/lsblk-pairs");
  collection.manager.loadDiskInfo(collection.record);
  const std::vector<tagWMIDISKSTRUCT>& disks = collection.record.vecDisk;
  ASSERT_EQ(3u, disks.size());  // the loop device is no disk
  EXPECT_EQ("Samsung SSD 860 EVO 500GB", disks[0].strModel);
  EXPECT_EQ(500107862016LL, disks[0].llSize);
  EXPECT_EQ(1u, disks[0].dwPartitionCount);
  EXPECT_EQ(0u, disks[0].dwReserved);
  EXPECT_EQ("ST2000DM008-2FR102", disks[1].strModel);
  EXPECT_EQ(2000398934016LL, disks[1].llSize);
  EXPECT_EQ("WDC WDS100T2B0C-00PXH0", disks[2].strModel);
  ASSERT_EQ(1u, collection.record.vecCdrom.size());
  EXPECT_EQ("sr0", collection.record.vecCdrom[0].strDevice);
  EXPECT_EQ("HL-DT-ST DVD+-RW GU90N", collection.record.vecCdrom[0].strModel);
}

TEST(LinuxDisks, TreeListingWithLeadingPairsSkipsPartitionsAndVolumes) {
  LinuxCollection collection;
  collection.add("physical_disk", "storage/lsblk-tree-pairs");
  collection.manager.loadDiskInfo(collection.record);
  ASSERT_EQ(1u, collection.record.vecDisk.size());
  EXPECT_EQ("Samsung SSD 860 EVO 500GB", collection.record.vecDisk[0].strModel);
  ASSERT_EQ(1u, collection.record.vecCdrom.size());
  EXPECT_EQ("QEMU DVD-ROM", collection.record.vecCdrom[0].strModel);
}

TEST(LinuxDisks, LineShapesThatMatchAndThatDoNot) {
  EXPECT_EQ(1u, disksOf("TYPE=\"DISK\" MODEL=\"M\" SIZE=\"5\" KNAME=\"sda\"\n").vecDisk.size());
  EXPECT_EQ(0u, disksOf("TYPE=\"disk\" SIZE=\"5\" MODEL=\"M\" KNAME=\"sda\"\n").vecDisk.size());  // pair order
  EXPECT_EQ(0u, disksOf("TYPE=\"disk\" MODEL=\"M\" SIZE=\"5\" KNAME=\"sda\"").vecDisk.size());    // no line feed
  const tagWMISTRUCT quoted = disksOf("TYPE=\"disk\" MODEL=\"The \"Big\" One\" SIZE=\"500G\" KNAME=\"sdc\"\r\n");
  ASSERT_EQ(1u, quoted.vecDisk.size());
  EXPECT_EQ("The \"Big\" One", quoted.vecDisk[0].strModel);
  EXPECT_EQ(500, quoted.vecDisk[0].llSize);  // a unit suffix is not read
  const std::string longModel(1 << 20, 'm');
  const tagWMISTRUCT huge = disksOf("TYPE=\"disk\" MODEL=\"" + longModel + "\" SIZE=\"1\" KNAME=\"a\"\n" +
                                    std::string(1 << 20, '"') + "\n");
  ASSERT_EQ(1u, huge.vecDisk.size());
  EXPECT_EQ(longModel, huge.vecDisk[0].strModel);
}

// The hand-made matcher must give exactly what a regular-expression search
// gives. Short random lines of the listing's own pieces try the corners:
// repeated or missing keys, quotes inside values, carriage returns.
TEST(LinuxDisks, PairMatchingAgreesWithTheRegularExpression) {
  const std::regex pairs("TYPE=\"(.*)\" MODEL=\"(.*)\" SIZE=\"(.*)\" KNAME=\"(.*)\"");
  const std::vector<std::string> literals = {"TYPE=\"", "\" MODEL=\"", "\" SIZE=\"", "\" KNAME=\"", "\""};
  const std::vector<std::string> values = {"disk", "rom", "", "x", "\"", " ", "\r", "disk\" MODEL=\"y", "rom\" SIZE=\"1", "TYPE=\"rom"};
  std::mt19937 random(20240611);
  const auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };

  std::string listing;
  std::vector<tagWMIDISKSTRUCT> expectedDisks;
  std::vector<tagCDSTRUCT> expectedDrives;
  for (int round = 0; round < 3000; ++round) {
    std::string line = random() % 4 == 0 ? pick(values) : "";
    for (std::size_t i = 0; i < literals.size(); ++i) {
      line += random() % 12 == 0 ? pick(values) : literals[i];  // now and then a literal goes astray
      if (i < 4) line += pick(values);
    }
    std::smatch found;
    if (std::regex_search(line, found, pairs)) {
      if (found[1] == "disk") {
        tagWMIDISKSTRUCT disk;
        disk.strModel = found[2];
        expectedDisks.push_back(disk);
      } else if (found[1] == "rom") {
        tagCDSTRUCT drive;
        drive.strDevice = found[4];
        drive.strModel = found[2];
        expectedDrives.push_back(drive);
      }
    }
    listing += line + "\n";
  }
  const tagWMISTRUCT record = disksOf(listing);
  ASSERT_GT(expectedDisks.size(), 100u);  // the lines exercise both kinds of match
  ASSERT_GT(expectedDrives.size(), 100u);
  ASSERT_EQ(expectedDisks.size(), record.vecDisk.size());
  for (std::size_t i = 0; i < expectedDisks.size(); ++i) EXPECT_EQ(expectedDisks[i].strModel, record.vecDisk[i].strModel);
  ASSERT_EQ(expectedDrives.size(), record.vecCdrom.size());
  for (std::size_t i = 0; i < expectedDrives.size(); ++i) {
    EXPECT_EQ(expectedDrives[i].strModel, record.vecCdrom[i].strModel);
    EXPECT_EQ(expectedDrives[i].strDevice, record.vecCdrom[i].strDevice);
  }
}

TEST(LinuxFileSystems, SqueezedDfListingGivesEveryMountInKilobyteBlocks) {
  LinuxCollection collection;
  collection.add("logical_disk", "storage/df-squeezed");
  collection.manager.loadPartitionInfo(collection.record);
  const std::vector<tagWMIPATSTRUCT>& mounts = collection.record.vecPartition;
  ASSERT_EQ(5u, mounts.size());
  EXPECT_EQ("/dev", mounts[0].strName);
  EXPECT_EQ("/", mounts[2].strName);
  EXPECT_EQ(479596204, mounts[2].llSize);
  EXPECT_EQ(331720123, mounts[2].llFreeSpace);
  EXPECT_EQ(3u, mounts[2].dwDriveType);
  EXPECT_EQ("/boot/efi", mounts[4].strName);
}

TEST(LinuxFileSystems, AlignedColumnsHeadingOnlyAndMissingFilesGiveNothing) {
  LinuxCollection aligned;  // df as printed, before the script squeezes its blanks
  aligned.add("logical_disk", "storage/df-raw");
  LinuxCollection headingOnly;
  headingOnly.write("logical_disk", "Filesystem Type 1024-blocks Used Available Capacity Mounted on\n");
  LinuxCollection missing;
  for (LinuxCollection* collection : {&aligned, &headingOnly, &missing}) {
    collection->manager.loadPartitionInfo(collection->record);
    EXPECT_TRUE(collection->record.vecPartition.empty());
  }
  LinuxCollection huge;
  huge.write("logical_disk", "heading\n" + std::string(1 << 20, ' ') + "\na b 1 2 3 4% /\n");
  huge.manager.loadPartitionInfo(huge.record);
  ASSERT_EQ(1u, huge.record.vecPartition.size());
}

TEST(LinuxVideo, FirstVgaLineNamesTheOnlyAdapter) {
  LinuxCollection collection;
  collection.add("video", "storage/lspci-vga");
  collection.manager.loadVgaInfo(collection.record);
  ASSERT_EQ(1u, collection.record.vecMonitor.size());
  const tagMONITORSTRUCT& monitor = collection.record.vecMonitor[0];
  EXPECT_EQ("Intel Corporation CometLake-H GT2 [UHD Graphics] (rev 05)", monitor.strName);
  EXPECT_EQ(0u, monitor.dwVideoMemory + monitor.dwHorzResolution + monitor.dwVertResolution + monitor.dwBitsPerPixel);

  LinuxCollection withDomain;
  withDomain.write("video", "0000:00:02.0 VGA compatible controller: Matrox G200eW\n");
  withDomain.manager.loadVgaInfo(withDomain.record);
  ASSERT_EQ(1u, withDomain.record.vecMonitor.size());
  EXPECT_EQ("Matrox G200eW", withDomain.record.vecMonitor[0].strName);

  for (const char* content : {"", "00:02.0\n", "00:02.0 VGA compatible controller\n"}) {
    LinuxCollection other;
    other.write("video", content);
    other.manager.loadVgaInfo(other.record);
    EXPECT_TRUE(other.record.vecMonitor.empty()) << content;
  }
}
