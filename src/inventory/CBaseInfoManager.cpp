#include "inventory/CBaseInfoManager.h"

#include "util/utils.h"

#include <boost/filesystem/operations.hpp>

#include <ctime>

CBaseInfoManager::CBaseInfoManager(const std::string& srcDir, const std::string& destDir,
                                   tagWMISTRUCT* record)
    : pWmiStruct(record), strSrcDir(srcDir), strDestDir(destDir) {}

CBaseInfoManager::~CBaseInfoManager() = default;

void CBaseInfoManager::start() {
  namespace fs = boost::filesystem;
  load();
  const fs::path temporary = fs::temp_directory_path() / fs::unique_path("%%%%-%%%%-%%%%-%%%%");
  try {
    encodeInfo(temporary);
    strOutFile = (fs::path(strDestDir) / targetFileName()).string();
    encrypt(temporary, strOutFile);
  } catch (...) {
    boost::system::error_code ignored;
    fs::remove(temporary, ignored);  // never leave a temporary file behind
    throw;
  }
}

bool CBaseInfoManager::encrypt(const boost::filesystem::path& from, const boost::filesystem::path& to) {
  boost::filesystem::copy(from, to);
  boost::filesystem::remove(from);
  return true;
}

std::string CBaseInfoManager::targetFileName() {
  return wmi::format("QZ-%d-%02d%s.dat", 0, qzFileNumber(), wmi::currentTime("%Y%m%d%H%M%S").c_str());
}

void CBaseInfoManager::SetVersion(const std::string& version) { strVersion = version; }

std::string CBaseInfoManager::OutFileName() const { return strOutFile; }

boost::filesystem::path CBaseInfoManager::source(const char* name) const {
  return boost::filesystem::path(strSrcDir) / name;
}

const tagWMIINFOSTRUCT& CBaseInfoManager::systemRecord() const {
  static const tagWMIINFOSTRUCT empty;
  return pWmiStruct->vecInfo.empty() ? empty : pWmiStruct->vecInfo.front();
}
