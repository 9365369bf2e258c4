// Linux disks and optical drives (lsblk pairs), mounted file systems (df)
// and the video adapter (lspci).
#include "LinuxCollection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <regex>

using qztest::LinuxCollection;

namespace {

// "model:size" of every disk, then "device:model" of every optical drive.
std::string devicesOf(LinuxCollection& collection) {
  collection.manager.loadDiskInfo(collection.record);
  std::string devices;
  for (const tagWMIDISKSTRUCT& disk : collection.record.vecDisk)
    devices += disk.strModel + ":" + std::to_string(disk.llSize) + (disk.dwPartitionCount == 1 ? ";" : "?;");
  for (const tagCDSTRUCT& drive : collection.record.vecCdrom) devices += "rom " + drive.strDevice + ":" + drive.strModel + ";";
  return devices;
}

std::string devicesOf(const std::string& listing) {
  LinuxCollection collection;
  return devicesOf(collection.write("physical_disk", listing));
}

}  // namespace

TEST(LinuxDisks, DisksAndOpticalDrivesButNoPartitionsLoopsOrVolumes) {
  EXPECT_EQ("Samsung SSD 860 EVO 500GB:500107862016;ST2000DM008-2FR102:2000398934016;"
            "WDC WDS100T2B0C-00PXH0:1000204886016;rom sr0:HL-DT-ST DVD+-RW GU90N;",
            devicesOf(LinuxCollection().add("physical_disk", "storage/lsblk-pairs")));
  EXPECT_EQ("Samsung SSD 860 EVO 500GB:500107862016;rom sr0:QEMU DVD-ROM;",
            devicesOf(LinuxCollection().add("physical_disk", "storage/lsblk-tree-pairs")));
  EXPECT_EQ("M:5;", devicesOf("TYPE=\"DISK\" MODEL=\"M\" SIZE=\"5\" KNAME=\"sda\"\n"));
  EXPECT_EQ("", devicesOf("TYPE=\"disk\" SIZE=\"5\" MODEL=\"M\" KNAME=\"sda\"\n"));  // pairs out of order
  EXPECT_EQ("", devicesOf("TYPE=\"disk\" MODEL=\"M\" SIZE=\"5\" KNAME=\"sda\""));    // no line feed
  EXPECT_EQ("The \"Big\" One:500;", devicesOf("TYPE=\"disk\" MODEL=\"The \"Big\" One\" SIZE=\"500G\" KNAME=\"c\"\r\n"));
  const std::string model(1 << 20, 'm');
  EXPECT_TRUE(model + ":1;" == devicesOf("TYPE=\"disk\" MODEL=\"" + model + "\" SIZE=\"1\" KNAME=\"a\"\n" +
                                         std::string(1 << 20, '"') + "\n"));
}

// The hand-made pair matching must give what a regular-expression search
// gives. Random lines of the listing's own pieces try the corners: keys
// repeated or missing, quotes inside values, carriage returns.
TEST(LinuxDisks, PairMatchingAgreesWithTheRegularExpression) {
  const std::regex pairs("TYPE=\"(.*)\" MODEL=\"(.*)\" SIZE=\"(.*)\" KNAME=\"(.*)\"");
  const std::vector<std::string> literals = {"TYPE=\"", "\" MODEL=\"", "\" SIZE=\"", "\" KNAME=\"", "\""};
  const std::vector<std::string> values = {"disk", "rom", "", "x", "\"", " ", "\r", "disk\" MODEL=\"y", "TYPE=\"rom"};
  std::mt19937 random(20240611);
  std::string listing;
  std::string disks;
  std::string drives;
  for (int round = 0; round < 3000; ++round) {
    std::string line = random() % 4 == 0 ? values[random() % values.size()] : "";
    for (std::size_t i = 0; i < literals.size(); ++i) {
      line += random() % 12 == 0 ? values[random() % values.size()] : literals[i];  // now and then one goes astray
      if (i < 4) line += values[random() % values.size()];
    }
    listing += line + "\n";
    std::smatch found;
    if (!std::regex_search(line, found, pairs)) continue;
    if (found[1] == "disk") disks += found[2].str() + ":" + std::to_string(std::atoll(found[3].str().c_str())) + ";";
    if (found[1] == "rom") drives += "rom " + found[4].str() + ":" + found[2].str() + ";";
  }
  LinuxCollection collection;
  EXPECT_EQ(disks + drives, devicesOf(collection.write("physical_disk", listing)));
  EXPECT_GT(collection.record.vecDisk.size(), 100u);  // both kinds of match were tried
  EXPECT_GT(collection.record.vecCdrom.size(), 100u);
}

TEST(LinuxFileSystems, SevenSingleBlankColumnsAfterTheHeading) {
  LinuxCollection collection;
  collection.add("logical_disk", "storage/df-squeezed").manager.loadPartitionInfo(collection.record);
  std::string mounts;
  for (const tagWMIPATSTRUCT& mount : collection.record.vecPartition)
    mounts += mount.strName + ":" + std::to_string(mount.llSize) + ":" + std::to_string(mount.llFreeSpace) + ";";
  EXPECT_EQ("/dev:8119232:8119232;/run:1631196:1629056;/:479596204:331720123;/dev/shm:8155976:8155976;"
            "/boot/efi:523248:517028;",
            mounts);
  // df as printed, before the script squeezes its blanks, and a heading alone give nothing.
  LinuxCollection aligned;
  aligned.add("logical_disk", "storage/df-raw").manager.loadPartitionInfo(aligned.record);
  LinuxCollection heading;
  heading.write("logical_disk", "a b 1 2 3 4% /\n" + std::string(1 << 20, ' ') + "\n").manager.loadPartitionInfo(heading.record);
  EXPECT_EQ(0u, aligned.record.vecPartition.size() + heading.record.vecPartition.size());
}

TEST(LinuxVideo, FirstVgaLineNamesTheOnlyAdapter) {
  const std::pair<std::string, std::string> lines[] = {
      {"", ""},
      {"00:02.0 VGA compatible controller\n", ""},
      {"0000:00:02.0 VGA compatible controller: Matrox G200eW\n", "Matrox G200eW"},  // colons of the address pass
  };
  LinuxCollection lspci;
  lspci.add("video", "storage/lspci-vga").manager.loadVgaInfo(lspci.record);
  ASSERT_EQ(1u, lspci.record.vecMonitor.size());
  EXPECT_EQ("Intel Corporation CometLake-H GT2 [UHD Graphics] (rev 05)", lspci.record.vecMonitor[0].strName);
  EXPECT_EQ(0u, lspci.record.vecMonitor[0].dwVideoMemory + lspci.record.vecMonitor[0].dwHorzResolution);
  for (const auto& line : lines) {
    LinuxCollection collection;
    collection.write("video", line.first).manager.loadVgaInfo(collection.record);
    EXPECT_EQ(line.second, collection.record.vecMonitor.empty() ? "" : collection.record.vecMonitor[0].strName);
  }
}
