// macOS: display adapters from system_profiler's text report of the graphics
// hardware, and network services from the network report.
#include "inventory/hardware/CHWInfoManager.h"

#include "plist/SystemProfiler.h"
#include "util/utils.h"

#include <boost/filesystem/fstream.hpp>

#include <algorithm>
#include <cctype>
#include <string>

namespace {

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The digits from `begin` to the first non-digit as a number, saturating.
unsigned int digitsAt(const std::string& text, std::size_t begin, std::size_t& end) {
  unsigned long long number = 0;
  for (end = begin; end < text.size() && isDigit(text[end]); ++end)
    number = std::min<unsigned long long>(number * 10 + static_cast<unsigned>(text[end] - '0'), 0xFFFFFFFFull);
  return static_cast<unsigned int>(number);
}

// Matched by hand rather than with std::regex, whose recursive matcher can
// overflow the stack on a long line. Finds "(\d+) x (\d+)" as a search would.
bool findResolution(const std::string& text, unsigned int& width, unsigned int& height) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (!isDigit(text[i])) {
      ++i;
      continue;
    }
    std::size_t end;
    const unsigned int first = digitsAt(text, i, end);
    if (text.compare(end, 3, " x ") == 0 && end + 3 < text.size() && isDigit(text[end + 3])) {
      width = first;
      height = digitsAt(text, end + 3, end);
      return true;
    }
    i = end;  // a match cannot start inside this run of digits either
  }
  return false;
}

// "(\d+)-Bit Color", the leftmost occurrence preceded by a digit.
bool findColourDepth(const std::string& text, unsigned int& bits) {
  static const std::string kSuffix = "-Bit Color";
  for (std::size_t at = text.find(kSuffix); at != std::string::npos; at = text.find(kSuffix, at + 1)) {
    std::size_t begin = at;
    while (begin > 0 && isDigit(text[begin - 1])) --begin;
    if (begin == at) continue;
    std::size_t end;
    bits = digitsAt(text, begin, end);
    return true;
  }
  return false;
}

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Each adapter's block opens with "Chipset Model", and its figures are its
// own. An adapter that shows a display is listed once: at its first "Pixel
// Depth" (older systems) or "Framebuffer Depth" line, or, as Apple silicon
// prints neither, at the end of a block that gives a resolution, with 0 bits.
// A block without a display (the idle one of two GPUs) is not listed.
class DisplayReport {
 public:
  explicit DisplayReport(std::vector<tagMONITORSTRUCT>& monitors) : monitors_(monitors) {}

  void line(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return;
    const std::string key = wmi::trim(text.substr(0, colon));
    const std::string value = wmi::trim(text.substr(colon + 1));
    if (startsWith(key, "Chipset Model")) {
      end();
      pending_ = tagMONITORSTRUCT();
      pending_.strName = value;
      named_ = true;
      resolved_ = false;
    }
    if (startsWith(key, "VRAM")) pending_.dwVideoMemory = Plist::kibibytes(value);
    // An adapter driving several displays is listed with the first one's.
    if (!resolved_ && startsWith(key, "Resolution"))
      resolved_ = findResolution(value, pending_.dwHorzResolution, pending_.dwVertResolution);
    if ((startsWith(key, "Pixel Depth") || startsWith(key, "Framebuffer Depth")) &&
        findColourDepth(value, pending_.dwBitsPerPixel) && named_)
      list();
  }

  // Closes the block read last.
  void end() {
    if (named_ && resolved_) list();
  }

 private:
  void list() {
    monitors_.push_back(pending_);
    named_ = false;
  }

  std::vector<tagMONITORSTRUCT>& monitors_;
  tagMONITORSTRUCT pending_;
  bool named_ = false;     // a block is open and its adapter not yet listed
  bool resolved_ = false;  // that block gave its first display's resolution
};

void readIPv4(const Plist::Value& ipv4, const std::string& name, tagWMINICSTRUCT& nic) {
  if (ipv4["ConfigMethod"].stringOr("") == "DHCP") nic.dwDHCPEnabled = 1;
  const std::string interface = ipv4["InterfaceName"].stringOr("");
  nic.strDescription = interface.empty() ? name : wmi::format("%s (%s)", name.c_str(), interface.c_str());
  nic.strDefaultGateway = ipv4["Router"].stringOr(nic.strDefaultGateway);
  nic.strIPAddress = ipv4["Addresses"].at(0).stringOr(nic.strIPAddress);
  // The report gives an array here; only a plain text is taken.
  nic.strSubnetMask = ipv4["SubnetMasks"].stringOr(nic.strSubnetMask);
}

tagWMINICSTRUCT readService(const Plist::Value& service) {
  tagWMINICSTRUCT nic;
  nic.dwEnabled = 1;
  nic.dwDHCPEnabled = 0;
  const Plist::Value ipv4 = service["IPv4"];
  if (ipv4.isDictionary()) readIPv4(ipv4, service["_name"].stringOr(""), nic);
  const Plist::Value dhcp = service["dhcp"];
  nic.strDHCPServer = dhcp["dhcp_server_identifier"].stringOr(nic.strDHCPServer);
  nic.strSubnetMask = dhcp["dhcp_subnet_mask"].stringOr(nic.strSubnetMask);
  nic.strMACAddress = service["Ethernet"]["MAC Address"].stringOr(nic.strMACAddress);
  const Plist::Value servers = service["DNS"]["ServerAddresses"];
  nic.strDNSServer1 = servers.at(0).stringOr(nic.strDNSServer1);
  nic.strDNSServer2 = servers.at(1).stringOr(nic.strDNSServer2);
  return nic;
}

}  // namespace

void CHWInfoManager::loadVgaInfo_mac(tagWMISTRUCT& record) {
  const boost::filesystem::path file = source("video");
  if (!wmi::isRegularFile(file)) return;
  boost::filesystem::ifstream in(file);
  DisplayReport report(record.vecMonitor);
  std::string line;
  while (std::getline(in, line)) report.line(line);
  report.end();
}

void CHWInfoManager::loadNicInfo_mac(tagWMISTRUCT& record) {
  const boost::any report = Plist::readReport(source("nics"));
  for (const Plist::Value service : Plist::itemList(report).elements()) {
    if (!service.isDictionary()) continue;
    const tagWMINICSTRUCT nic = readService(service);
    // Only services with an IPv4 configuration get a description.
    if (!nic.strDescription.empty()) record.vecNic.push_back(nic);
  }
}
