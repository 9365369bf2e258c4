// Linux system identity, processors and memory, from the outputs the
// collection script left in the source folder.
#include "inventory/hardware/CHWInfoManager.h"

#include "util/textscan.h"
#include "util/utils.h"

#include <map>
#include <set>
#include <vector>

namespace {

using Field = std::string tagWMIINFOSTRUCT::*;

struct IdentityKey {
  const char* dmidecodeKey;  // "System Information" section of dmidecode
  const char* sysfsKey;      // the same attribute as `grep -r` over sysfs prints it
  Field field;
};

const IdentityKey kIdentityKeys[] = {
    {"Manufacturer", "/sys/devices/virtual/dmi/id/sys_vendor", &tagWMIINFOSTRUCT::strManufacturer},
    {"Product Name", "/sys/devices/virtual/dmi/id/product_name", &tagWMIINFOSTRUCT::strModel},
    {"Serial Number", "/sys/devices/virtual/dmi/id/product_serial", &tagWMIINFOSTRUCT::strSerialNumber},
    {"UUID", "/sys/devices/virtual/dmi/id/product_uuid", &tagWMIINFOSTRUCT::strUUID},
};

void copyIdentity(const std::map<std::string, std::string>& values, const char* IdentityKey::*key,
                  tagWMIINFOSTRUCT& info) {
  for (const IdentityKey& identity : kIdentityKeys) {
    const auto found = values.find(identity.*key);
    if (found != values.end()) info.*identity.field = found->second;
  }
}

// The folder's own name, so collections gathered elsewhere keep their origin.
std::string sourceName(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();  // "result/" is still "result"
  const std::string name = boost::filesystem::path(folder).filename().string();
  return name == "result" ? std::string() : name;
}

// One list per processor key, one entry per logical processor that lists it.
struct CpuListing {
  std::vector<long long> packageIds;
  std::vector<std::string> names;
  std::vector<long long> coreCounts;
  std::vector<long long> clocks;
};

void readCpuLine(const std::string& line, CpuListing& listing) {
  const std::size_t colon = line.find(':');
  if (colon == std::string::npos) return;
  const std::string value = wmi::trim(line.substr(colon + 1));
  if (wmi::startsWith(line, "physical id")) listing.packageIds.push_back(wmi::leadingInteger(value));
  if (wmi::startsWith(line, "model name")) listing.names.push_back(value);
  if (wmi::startsWith(line, "cpu cores")) listing.coreCounts.push_back(wmi::leadingInteger(value));
  if (wmi::startsWith(line, "cpu MHz")) listing.clocks.push_back(wmi::leadingInteger(value));  // 2400.000 gives 2400
}

}  // namespace

void CHWInfoManager::loadSysInfo(tagWMISTRUCT& record) {
  tagWMIINFOSTRUCT info;
  copyIdentity(wmi::parseMap(source("dmidecode")), &IdentityKey::dmidecodeKey, info);
  // dmidecode needs root; without it the world-readable sysfs attributes still name the vendor.
  if (info.strManufacturer.empty() && info.strSerialNumber.empty())
    copyIdentity(wmi::parseMap(source("grep_sys_devices")), &IdentityKey::sysfsKey, info);
  info.strSourceName = sourceName(strSrcDir);

  const std::string hostname = wmi::singleLine(source("hostname"));
  const std::size_t dot = hostname.find('.');
  info.strComputerName = hostname.substr(0, dot);
  if (dot != std::string::npos) info.strDomain = hostname.substr(dot + 1);
  if (info.strDomain.empty()) info.strDomain = wmi::singleLine(source("domainname"));

  loadOSInfo(info);
  info.strArchitecture = wmi::singleLine(source("arch"));
  record.vecInfo.push_back(info);
}

void CHWInfoManager::loadCpuInfo(tagWMISTRUCT& record) {
  CpuListing listing;
  wmi::forEachTerminatedLine(source("cpu"), [&](const std::string& line) { readCpuLine(line, listing); });
  // Some architectures and virtual machines list no package ids: one package then.
  if (listing.packageIds.empty()) listing.packageIds.push_back(0);

  std::set<long long> described;
  for (std::size_t i = 0; i < listing.packageIds.size(); ++i) {
    const long long id = listing.packageIds[i];
    if (described.count(id) != 0 || i >= listing.names.size()) continue;
    tagWMICPUSTRUCT cpu;
    cpu.strName = listing.names[i];
    cpu.dwClockMHz = i < listing.clocks.size() ? static_cast<unsigned int>(listing.clocks[i]) : 0;
    cpu.dwCoreCount = i < listing.coreCounts.size() ? static_cast<unsigned int>(listing.coreCounts[i]) : 1;
    record.vecCpu.push_back(cpu);
    described.insert(id);
  }
}

void CHWInfoManager::loadMemInfo(tagWMISTRUCT& record) {
  const std::string first = wmi::singleLine(source("mem"));
  const std::size_t colon = first.find(':');
  if (colon == std::string::npos || first.size() < 8 || !wmi::startsWith(first, "MemTotal")) return;
  std::string amount = first.substr(colon + 1);
  for (std::size_t unit; (unit = amount.find("kB")) != std::string::npos;) amount.erase(unit, 2);
  tagMEMORYSLOT memory;
  memory.dwCapacity = static_cast<unsigned int>(wmi::leadingInteger(wmi::trim(amount)));
  record.vecMemory.push_back(memory);
}
