// macOS: system identity, processors, host name and OS version from the
// hardware overview report, "hostname" and sw_vers' output; memory modules.
#include "inventory/hardware/CHWInfoManager.h"

#include "plist/SystemProfiler.h"
#include "util/utils.h"

#include <boost/filesystem/fstream.hpp>

#include <cctype>
#include <cstdlib>
#include <string>

namespace {

// A package count no machine comes near; a corrupt report must not make us
// append records until memory runs out.
constexpr long long kMaxPackages = 256;

// Intel Macs give the core count as an integer; Apple silicon as a text
// "proc 12:8:4": the total, then the count of each kind of core.
long long coreCount(const Plist::Value& count) {
  if (const long long* number = count.get<long long>()) return *number;
  const std::string text = count.stringOr("");
  if (text.compare(0, 5, "proc ") != 0 || !std::isdigit(static_cast<unsigned char>(text[5]))) return 1;
  char* end = nullptr;
  const long long total = std::strtoll(text.c_str() + 5, &end, 10);
  return *end == ':' || *end == '\0' ? total : 1;
}

void addProcessors(const Plist::Value& overview, std::vector<tagWMICPUSTRUCT>& processors) {
  const long long cores = coreCount(overview["number_processors"]);
  const long long packages = overview["packages"].integerOr(1);
  tagWMICPUSTRUCT processor;
  // Apple silicon names its chip instead and gives no clock speed.
  processor.strName = overview["cpu_type"].stringOr(overview["chip_type"].stringOr(""));
  processor.dwClockMHz = Plist::megahertz(overview["current_processor_speed"].stringOr(""));
  for (long long i = 0; i < packages && i < kMaxPackages; ++i) {
    processor.dwCoreCount = static_cast<unsigned int>(cores / packages);
    processors.push_back(processor);
  }
}

tagMEMORYSLOT memoryRecord(const Plist::Value& name, const std::string& size) {
  tagMEMORYSLOT memory;
  memory.strName = name.stringOr("");
  memory.dwCapacity = Plist::kibibytes(size);
  return memory;
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

// sw_vers prints "ProductName:\tmacOS" and "ProductVersion:\t14.2.1"; after a
// rapid security response also "ProductVersionExtra:\t(a)", which is not the
// version.
void readOSVersion(const boost::filesystem::path& file, tagWMIINFOSTRUCT& info) {
  if (!wmi::isRegularFile(file)) return;
  boost::filesystem::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string key = wmi::trim(line.substr(0, colon));
    if (key == "ProductName") info.strOSName = wmi::trim(line.substr(colon + 1));
    if (key == "ProductVersion") info.strOSVersion = wmi::trim(line.substr(colon + 1));
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
  // has no slots, only its unified memory's size under the data type's name.
  for (const Plist::Value group : Plist::itemList(report).elements()) {
    const Plist::Value slots = group["_items"];
    const std::string* unified = group["SPMemoryDataType"].get<std::string>();
    if (slots.get<Plist::array_type>() == nullptr && unified != nullptr) {
      record.vecMemory.push_back(memoryRecord(group["dimm_type"], *unified));
      continue;
    }
    for (const Plist::Value slot : slots.elements()) {
      if (slot.isDictionary()) record.vecMemory.push_back(memoryRecord(slot["_name"], slot["dimm_size"].stringOr("")));
    }
  }
}
