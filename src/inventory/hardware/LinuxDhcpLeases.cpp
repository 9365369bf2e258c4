// The leases that Linux DHCP clients keep: NetworkManager (as nmcli shows
// them), systemd-networkd, dhclient and dhcpcd.
#include "inventory/hardware/LinuxNetworkSettings.h"

#include "util/textscan.h"
#include "util/utils.h"

#include <boost/filesystem/fstream.hpp>

namespace fs = boost::filesystem;

namespace {

std::vector<tagDHCPLEASE> leaseOf(const tagDHCPLEASE& lease) {
  return lease.strAddress.empty() ? std::vector<tagDHCPLEASE>() : std::vector<tagDHCPLEASE>{lease};
}

// nmcli's terse output escapes colons and backslashes inside values.
std::string unescapeTerse(const std::string& value) {
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) ++i;
    text += value[i];
  }
  return text;
}

// A dhclient statement's value without its semicolon and quotes: `interface "eth0";`.
std::string statementValue(const std::string& word) {
  std::string value = word;
  if (!value.empty() && value.back() == ';') value.pop_back();
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  return value;
}

std::string dottedAt(const std::string& bytes, std::size_t pos) {
  const auto octet = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[pos + i])); };
  return wmi::format("%u.%u.%u.%u", octet(0), octet(1), octet(2), octet(3));
}

// The head of a binary file; a lease is one DHCP message, well below this.
std::string fileHead(const fs::path& file, std::size_t limit) {
  if (!wmi::isRegularFile(file)) return std::string();
  fs::ifstream in(file, std::ios::binary);
  std::string bytes(limit, '\0');
  in.read(&bytes[0], static_cast<std::streamsize>(limit));
  bytes.resize(in ? limit : static_cast<std::size_t>(in.gcount()));
  return bytes;
}

}  // namespace

// One block per device: "GENERAL.DEVICE:eth0", then lines such as
// "DHCP4.OPTION[3]:dhcp_server_identifier = 192.168.1.1". Only a device
// configured by DHCP has such options.
std::vector<tagDHCPLEASE> networkManagerLeases(const fs::path& file, const std::string& name) {
  tagDHCPLEASE lease;
  bool ofDevice = false;
  wmi::forEachTerminatedLine(file, [&](const std::string& line) {
    if (wmi::startsWith(line, "GENERAL.DEVICE:")) ofDevice = unescapeTerse(line.substr(15)) == name;
    if (!ofDevice || !wmi::startsWith(line, "DHCP4.OPTION")) return;
    const std::size_t colon = line.find(':');
    const std::size_t equals = line.find(" = ", colon);
    if (colon == std::string::npos || equals == std::string::npos) return;
    const std::string option = line.substr(colon + 1, equals - colon - 1);
    const std::string value = unescapeTerse(wmi::trim(line.substr(equals + 3)));
    if (option == "ip_address") lease.strAddress = value;
    if (option == "dhcp_server_identifier") lease.strServer = value;
  });
  return leaseOf(lease);
}

// systemd-networkd's lease of one interface: "ADDRESS=" and "SERVER_ADDRESS=" lines.
std::vector<tagDHCPLEASE> networkdLeases(const fs::path& file, const std::string&) {
  tagDHCPLEASE lease;
  wmi::forEachTerminatedLine(file, [&](const std::string& line) {
    if (wmi::startsWith(line, "ADDRESS=")) lease.strAddress = wmi::trim(line.substr(8));
    if (wmi::startsWith(line, "SERVER_ADDRESS=")) lease.strServer = wmi::trim(line.substr(15));
  });
  return leaseOf(lease);
}

// dhclient appends a "lease { ... }" block per lease, newest last, each
// naming its interface; IPv6 leases are "lease6" blocks and are passed over.
std::vector<tagDHCPLEASE> dhclientLeases(const fs::path& file, const std::string& name) {
  std::vector<tagDHCPLEASE> leases;
  bool inLease = false;
  std::string interface;
  tagDHCPLEASE lease;
  wmi::forEachTerminatedLine(file, [&](const std::string& line) {
    const std::vector<std::string> words = wmi::words(line);
    if (words.empty()) return;
    if (words[0] == "lease" && words.back() == "{") {
      inLease = true;
      interface.clear();
      lease = tagDHCPLEASE();
    } else if (inLease && words[0] == "}") {
      inLease = false;
      if (interface == name && !lease.strAddress.empty()) leases.push_back(lease);
    } else if (inLease && words.size() >= 2) {
      if (words[0] == "interface") interface = statementValue(words[1]);
      if (words[0] == "fixed-address") lease.strAddress = statementValue(words[1]);
      if (words[0] == "option" && words[1] == "dhcp-server-identifier" && words.size() >= 3)
        lease.strServer = statementValue(words[2]);
    }
  });
  return leases;
}

// dhcpcd keeps the server's last DHCP message: the leased address at byte 16
// and, after the magic cookie at byte 236, options as code, length, data.
std::vector<tagDHCPLEASE> dhcpcdLeases(const fs::path& file, const std::string&) {
  const std::string message = fileHead(file, 1 << 16);
  if (message.size() < 240 || message.compare(236, 4, "\x63\x82\x53\x63") != 0) return {};
  tagDHCPLEASE lease;
  lease.strAddress = dottedAt(message, 16);
  for (std::size_t pos = 240; pos + 1 < message.size();) {
    const unsigned char code = static_cast<unsigned char>(message[pos]);
    if (code == 255) break;  // end of the options
    if (code == 0) {         // padding
      ++pos;
      continue;
    }
    const std::size_t length = static_cast<unsigned char>(message[pos + 1]);
    if (pos + 2 + length > message.size()) break;
    if (code == 54 && length == 4) lease.strServer = dottedAt(message, pos + 2);  // server identifier
    pos += 2 + length;
  }
  return leaseOf(lease);
}
