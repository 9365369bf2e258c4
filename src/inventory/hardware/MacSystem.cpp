// macOS: system identity, processors, host name and OS version from the
// hardware overview report, "hostname" and sw_vers' output; memory modules.
#include "inventory/hardware/CHWInfoManager.h"

#include "plist/SystemProfiler.h"
#include "util/utils.h"

#include <boost/filesystem/fstream.hpp>

#include <string>

namespace {

// A package count no machine comes near; a corrupt report must not make us
// append records until memory runs out.
constexpr long long kMaxPackages = 256;

// "2.6 GHz" is 2000 MHz: the fraction goes before the unit is applied.
unsigned int clockMHz(const Plist::Value& speed) {
  const std::string* text = speed.get<std::string>();
  if (text == nullptr) return 0;
  const long long figure = Plist::leadingInteger(*text);
  if (text->find("GHz") != std::string::npos) return static_cast<unsigned int>(figure * 1000);
  if (text->find("MHz") != std::string::npos) return static_cast<unsigned int>(figure);
  return 0;
}

// "8 GB" in KiB, on 32 bits as the data file holds it.
unsigned int capacityKiB(const Plist::Value& size) {
  const std::string* text = size.get<std::string>();
  if (text == nullptr) return 0;
  const unsigned int figure = static_cast<unsigned int>(Plist::leadingInteger(*text));
  if (text->find("GB") != std::string::npos) return figure << 20;
  if (text->find("MB") != std::string::npos) return figure << 10;
  return 0;
}

void addProcessors(const Plist::Value& overview, std::vector<tagWMICPUSTRUCT>& processors) {
  // Apple silicon reports "number_processors" as text ("proc 10:8:2"): then 1.
  const long long cores = overview["number_processors"].integerOr(1);
  const long long packages = overview["packages"].integerOr(1);
  tagWMICPUSTRUCT processor;
  processor.strName = overview["cpu_type"].stringOr("");
  processor.dwClockMHz = clockMHz(overview["current_processor_speed"]);
  for (long long i = 0; i < packages && i < kMaxPackages; ++i) {
    processor.dwCoreCount = static_cast<unsigned int>(cores / packages);
    processors.push_back(processor);
  }
}

// The folder's own name, unless it is the script's usual "result".
std::string sourceName(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  const std::string name = boost::filesystem::path(folder).filename().string();
  return name == "result" ? std::string() : name;
}

// "host.example.co.jp": the name before the first full stop, the domain after it.
void setHostName(const std::string& host, tagWMIINFOSTRUCT& info) {
  const std::size_t dot = host.find('.');
  info.strComputerName = host.substr(0, dot);
  info.strDomain = dot == std::string::npos ? std::string() : host.substr(dot + 1);
}

// sw_vers prints "ProductName:\tmacOS" and "ProductVersion:\t14.2.1".
void readOSVersion(const boost::filesystem::path& file, tagWMIINFOSTRUCT& info) {
  if (!wmi::isRegularFile(file)) return;
  boost::filesystem::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    if (line.compare(0, 11, "ProductName") == 0) info.strOSName = wmi::trim(line.substr(colon + 1));
    if (line.compare(0, 14, "ProductVersion") == 0) info.strOSVersion = wmi::trim(line.substr(colon + 1));
  }
}

}  // namespace

void CHWInfoManager::loadSysInfo_mac(tagWMISTRUCT& record) {
  const boost::any report = Plist::readReport(source("hardware.xml"));
  const Plist::Value overview = Plist::itemList(report).at(0);
  if (!overview.isDictionary()) return;

  tagWMIINFOSTRUCT info;
  info.strManufacturer = "Apple Inc.";
  info.strModel = overview["machine_name"].stringOr("");
  info.strSerialNumber = overview["serial_number"].stringOr("");
  info.strUUID = overview["platform_UUID"].stringOr("");
  info.strSourceName = sourceName(strSrcDir);
  addProcessors(overview, record.vecCpu);
  setHostName(wmi::singleLine(source("hostname")), info);
  readOSVersion(source("os"), info);
  // Without the hardware UUID the server cannot tell machines apart.
  if (!info.strUUID.empty()) record.vecInfo.push_back(info);
}

void CHWInfoManager::loadMemInfo_mac(tagWMISTRUCT& record) {
  const boost::any report = Plist::readReport(source("mem.xml"));
  // Intel Macs list "Memory Slots" holding one entry per DIMM; Apple silicon
  // has no slots and so no inner list.
  for (const Plist::Value group : Plist::itemList(report).elements()) {
    for (const Plist::Value slot : group["_items"].elements()) {
      if (!slot.isDictionary()) continue;
      tagMEMORYSLOT memory;
      memory.strName = slot["_name"].stringOr("");
      memory.dwCapacity = capacityKiB(slot["dimm_size"]);
      record.vecMemory.push_back(memory);
    }
  }
}
