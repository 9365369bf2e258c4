#include "inventory/hardware/CHWInfoManager.h"

#include "inventory/DataFileWriter.h"
#include "util/utils.h"

#include <ctime>

CHWInfoManager::CHWInfoManager(const std::string& srcDir, const std::string& destDir, tagWMISTRUCT& record)
    : CBaseInfoManager(srcDir, destDir, &record) {}

CHWInfoManager::~CHWInfoManager() = default;

int CHWInfoManager::qzFileNumber() { return 12; }

bool CHWInfoManager::load() {
  header.tmStart = std::time(nullptr);
  // Only the collection script on macOS writes hardware.xml; nothing else
  // decides the platform. The file is not sent without the system identity:
  // the names the spool knows the machine by, its model and processors.
  if (wmi::entryExists(source("hardware.xml"))) {
    vecEssentialSources = {"hardware.xml", "hostname"};
    loadForMac();
  } else {
    vecEssentialSources = {"hostname", "cpu"};
    loadForLinux();
  }
  header.tmEnd = std::time(nullptr);
  return true;
}

void CHWInfoManager::loadForMac() {
  tagWMISTRUCT& record = *pWmiStruct;
  loadSysInfo_mac(record);
  loadMemInfo_mac(record);
  loadDiskInfo_mac(record);
  loadPartitionInfo_mac(record);
  loadVgaInfo_mac(record);
  loadNicInfo_mac(record);
}

void CHWInfoManager::loadForLinux() {
  tagWMISTRUCT& record = *pWmiStruct;
  loadSysInfo(record);
  loadCpuInfo(record);
  loadMemInfo(record);
  loadDiskInfo(record);
  loadPartitionInfo(record);
  loadVgaInfo(record);
  loadNicInfo(record);
}

void CHWInfoManager::buildHeader() { fillHeader(10008, 5); }

bool CHWInfoManager::encodeInfo(const boost::filesystem::path& file) {
  CDataFileWriter out(file);
  buildHeader();
  describeHeader(out, header);
  describeHardwareBody(out, *pWmiStruct, systemRecord());
  out.endMarker();
  return true;
}
