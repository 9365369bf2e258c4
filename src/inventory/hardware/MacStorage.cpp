// macOS: physical disks from the SATA, NVMe and parallel ATA reports, and the
// mounted volumes from the storage report.
#include "inventory/hardware/CHWInfoManager.h"

#include "plist/SystemProfiler.h"

namespace {

// One report per storage bus; a disk seen on two buses is listed twice.
const char* const kDiskReports[] = {"physical_disk.xml", "nvme_disk.xml", "pata_disk.xml"};

}  // namespace

void CHWInfoManager::loadDiskInfo_mac(tagWMISTRUCT& record) {
  for (const char* name : kDiskReports) {
    const boost::any report = Plist::readReport(source(name));
    for (const Plist::Value controller : Plist::itemList(report).elements()) {
      for (const Plist::Value disk : controller["_items"].elements()) {
        if (!disk.isDictionary()) continue;
        tagWMIDISKSTRUCT info;
        info.strModel = disk["_name"].stringOr("");
        info.llSize = disk["size_in_bytes"].integerOr(0);
        info.dwPartitionCount = static_cast<unsigned int>(disk["volumes"].elements().size());
        if (!info.strModel.empty()) record.vecDisk.push_back(info);
      }
    }
  }
}

void CHWInfoManager::loadPartitionInfo_mac(tagWMISTRUCT& record) {
  const boost::any report = Plist::readReport(source("logical_disk.xml"));
  for (const Plist::Value volume : Plist::itemList(report).elements()) {
    if (!volume.isDictionary()) continue;
    tagWMIPATSTRUCT partition;
    partition.strName = volume["mount_point"].stringOr("");
    partition.llSize = volume["size_in_bytes"].integerOr(0);
    partition.llFreeSpace = volume["free_space_in_bytes"].integerOr(0);
    partition.dwDriveType = 3;
    partition.dwReserved = 0xFFFFFFFF;
    record.vecPartition.push_back(partition);
  }
}
