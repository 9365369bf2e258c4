// The hardware inventory: picks the platform from the collected files, runs
// its collectors into the shared record and writes the hardware data file.
#pragma once

#include "inventory/CBaseInfoManager.h"

class CHWInfoManager : public CBaseInfoManager {
 public:
  CHWInfoManager(const std::string& srcDir, const std::string& destDir, tagWMISTRUCT& record);
  ~CHWInfoManager() override;

  // macOS when "hardware.xml" exists in the source folder, Linux otherwise.
  bool load() override;
  bool encodeInfo(const boost::filesystem::path& file) override;
  int qzFileNumber() override;

  void buildHeader();

  void loadForMac();
  void loadForLinux();

  // Linux collectors, in the order loadForLinux runs them.
  void loadSysInfo(tagWMISTRUCT& record);
  void loadOSInfo(tagWMIINFOSTRUCT& info);
  void loadCpuInfo(tagWMISTRUCT& record);
  void loadMemInfo(tagWMISTRUCT& record);
  void loadDiskInfo(tagWMISTRUCT& record);
  void loadPartitionInfo(tagWMISTRUCT& record);
  void loadVgaInfo(tagWMISTRUCT& record);
  void loadNicInfo(tagWMISTRUCT& record);

  // macOS collectors, in the order loadForMac runs them.
  void loadSysInfo_mac(tagWMISTRUCT& record);
  void loadMemInfo_mac(tagWMISTRUCT& record);
  void loadDiskInfo_mac(tagWMISTRUCT& record);
  void loadPartitionInfo_mac(tagWMISTRUCT& record);
  void loadVgaInfo_mac(tagWMISTRUCT& record);
  void loadNicInfo_mac(tagWMISTRUCT& record);
};
