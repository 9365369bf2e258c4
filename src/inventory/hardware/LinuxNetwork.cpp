// Linux network adapters: nic_<name> holds the adapter's udev properties,
// ip_<name> its interface listing (ip addr or ifconfig, either style); the
// gateway, DNS and DHCP files are read by CLinuxNetworkSettings.
#include "inventory/hardware/CHWInfoManager.h"
#include "inventory/hardware/LinuxNetworkSettings.h"

#include "util/textscan.h"
#include "util/utils.h"

#include <boost/filesystem/directory.hpp>
#include <boost/filesystem/operations.hpp>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

// The address rules read their values as runs of non-blank characters that
// must be followed by exactly one blank where another word follows. They are
// matched by hand: these are the results of a leftmost regular-expression
// search, without its recursion, which overflows the stack on long lines.

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// End of the run of non-blank characters starting at `from`.
std::size_t runEnd(const std::string& line, std::size_t from) {
  while (from < line.size() && !isSpace(line[from])) ++from;
  return from;
}

bool blankAt(const std::string& line, std::size_t pos) { return pos < line.size() && line[pos] == ' '; }

using Words = std::vector<std::string>;

// "<lead>(\S+)<glue1>(\S+)<glue2>...": each value a whole run, each glue right
// after it. With `trailingBlank` the last value must be followed by a blank.
std::optional<Words> matchWords(const std::string& line, const std::string& lead, const Words& glues,
                                bool trailingBlank) {
  for (std::size_t start = line.find(lead); start != std::string::npos; start = line.find(lead, start + 1)) {
    Words values;
    std::size_t pos = start + lead.size();
    for (std::size_t i = 0;; ++i) {
      const std::size_t end = runEnd(line, pos);
      if (end == pos) break;
      values.push_back(line.substr(pos, end - pos));
      if (i == glues.size()) {
        if (!trailingBlank || blankAt(line, end)) return values;
        break;
      }
      if (line.compare(end, glues[i].size(), glues[i]) != 0) break;
      pos = end + glues[i].size();
    }
  }
  return std::nullopt;
}

// "inet (\S+)/(\S+) ": the address may itself hold slashes; the last one that
// leaves a prefix behind it separates them.
std::optional<Words> matchSlashed(const std::string& line) {
  for (std::size_t start = line.find("inet "); start != std::string::npos; start = line.find("inet ", start + 1)) {
    const std::size_t from = start + 5;
    const std::size_t end = runEnd(line, from);
    if (end - from < 3 || !blankAt(line, end)) continue;
    const std::size_t slash = line.rfind('/', end - 2);
    if (slash == std::string::npos || slash <= from) continue;
    return Words{line.substr(from, slash - from), line.substr(slash + 1, end - slash - 1)};
  }
  return std::nullopt;
}

// A prefix length as a dotted mask; no mask for lengths outside 1 to 32.
std::string maskOfPrefix(const std::string& prefix) {
  const long long bits = wmi::leadingInteger(prefix);
  if (bits < 1 || bits > 32) return std::string();
  const unsigned long mask = (0xFFFFFFFFul << (32 - bits)) & 0xFFFFFFFFul;
  return wmi::format("%lu.%lu.%lu.%lu", mask >> 24, (mask >> 16) & 0xFF, (mask >> 8) & 0xFF, mask & 0xFF);
}

void readListingLine(const std::string& rawLine, tagWMINICSTRUCT& nic) {
  const std::string line = wmi::trim(rawLine);
  if (wmi::contains(line, "HWaddr")) {
    // Old ifconfig: "eth0  Link encap:Ethernet  HWaddr 00:0c:29:3e:5c:7a"
    const std::size_t from = line.find("HWaddr") + 7;
    nic.strMACAddress = from < line.size() ? wmi::trim(line.substr(from)) : std::string();
  } else if (wmi::contains(line, "ether")) {
    const auto found = matchWords(line, "ether ", {}, true);
    nic.strMACAddress = found ? (*found)[0] : std::string();
  } else if (wmi::contains(line, "inet addr")) {
    const auto found = matchWords(line, "inet addr:", {" Bcast:", " Mask:"}, false);
    nic.strIPAddress = found ? (*found)[0] : std::string();
    nic.strSubnetMask = found ? (*found)[2] : std::string();
  } else if (wmi::contains(line, "inet") && !wmi::contains(line, "inet6")) {
    if (const auto dotted = matchWords(line, "inet ", {" netmask "}, true)) {  // new ifconfig
      nic.strIPAddress = (*dotted)[0];
      nic.strSubnetMask = (*dotted)[1];
    }
    if (const auto slashed = matchSlashed(line)) {  // ip addr
      nic.strIPAddress = (*slashed)[0];
      nic.strSubnetMask = maskOfPrefix((*slashed)[1]);
    }
  }
}

// Interface names, in the order the folder lists them.
std::vector<std::string> interfaceNames(const boost::filesystem::path& folder) {
  std::vector<std::string> names;
  boost::system::error_code error;
  for (boost::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string entry = it->path().filename().string();
    if (wmi::startsWith(entry, "nic") && entry.size() >= 4) names.push_back(entry.substr(4));
  }
  return names;
}

}  // namespace

void CHWInfoManager::loadNicInfo(tagWMISTRUCT& record) {
  const CLinuxNetworkSettings settings(strSrcDir);
  for (const std::string& name : interfaceNames(strSrcDir)) {
    tagWMINICSTRUCT nic;
    std::string vendor;
    std::string model;
    wmi::forEachTerminatedLine(source(("nic_" + name).c_str()), [&](const std::string& line) {
      if (wmi::startsWith(line, "ID_VENDOR_FROM_DATABASE=")) vendor = line.substr(line.find('=') + 1);
      if (wmi::startsWith(line, "ID_MODEL_FROM_DATABASE=")) model = line.substr(line.find('=') + 1);
    });
    nic.strDescription = wmi::trim(wmi::format("%s %s (%s)", vendor.c_str(), model.c_str(), name.c_str()));
    std::vector<std::string> addresses;  // every IPv4 address listed, the record keeping the last
    wmi::forEachTerminatedLine(source(("ip_" + name).c_str()), [&](const std::string& line) {
      readListingLine(line, nic);
      if (!nic.strIPAddress.empty() &&
          std::find(addresses.begin(), addresses.end(), nic.strIPAddress) == addresses.end())
        addresses.push_back(nic.strIPAddress);
    });
    nic.dwEnabled = 1;
    nic.dwDHCPEnabled = 0;
    settings.apply(name, addresses, nic);
    record.vecNic.push_back(nic);
  }
}
