// The software inventory: reads the installed applications (macOS) or
// packages (Linux) and writes the software data file.
#pragma once

#include "inventory/CBaseInfoManager.h"
#include "inventory/software/ApplicationRecord.h"

#include <vector>

class CSWInfoManager : public CBaseInfoManager {
 public:
  // `wmi` is the record the hardware manager filled; its system record names
  // the computer in the file header.
  CSWInfoManager(const std::string& srcDir, const std::string& destDir, tagWMISTRUCT& wmi);
  ~CSWInfoManager() override;

  bool load() override;
  bool encodeInfo(const boost::filesystem::path& file) override;
  int qzFileNumber() override;

  void buildHeader();

  void loadForMac(std::vector<tagAPPLIDATASTRUCT>& applications);
  void loadForUbuntu(std::vector<tagAPPLIDATASTRUCT>& applications);
  void loadForRestDists(std::vector<tagAPPLIDATASTRUCT>& applications);

 protected:
  std::vector<tagAPPLIDATASTRUCT> vecApplications;
};
