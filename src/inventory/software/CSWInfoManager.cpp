#include "inventory/software/CSWInfoManager.h"

#include "inventory/DataFileWriter.h"

#include <boost/filesystem/operations.hpp>

#include <ctime>

namespace {

// Like the hardware manager, a failing status query other than "not found"
// is a filesystem error for the caller.
bool present(const boost::filesystem::path& path) { return boost::filesystem::exists(path); }

}  // namespace

CSWInfoManager::CSWInfoManager(const std::string& srcDir, const std::string& destDir, tagWMISTRUCT& wmi)
    : CBaseInfoManager(srcDir, destDir, &wmi) {}

CSWInfoManager::~CSWInfoManager() = default;

int CSWInfoManager::qzFileNumber() { return 1; }

bool CSWInfoManager::load() {
  header.tmStart = std::time(nullptr);
  vecApplications.clear();
  vecEssentialSources = {"app"};  // the application or package list
  if (present(source("app"))) {
    if (present(source("hardware.xml")))
      loadForMac(vecApplications);
    else if (present(source("app_install")))
      loadForUbuntu(vecApplications);
    else
      loadForRestDists(vecApplications);
  }
  header.tmEnd = std::time(nullptr);
  return true;
}

void CSWInfoManager::buildHeader() { fillHeader(10004, 1); }

bool CSWInfoManager::encodeInfo(const boost::filesystem::path& file) {
  CDataFileWriter out(file);
  buildHeader();
  describeHeader(out, header);
  const unsigned int trailerCount = 0;  // reserved: the layout writes its own value
  describeSoftwareBody(out, vecApplications, trailerCount);
  out.endMarker();
  return true;
}
