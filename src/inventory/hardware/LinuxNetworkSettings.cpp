// The default gateway, DNS servers and DHCP state of Linux adapters.
#include "inventory/hardware/LinuxNetworkSettings.h"

#include "util/textscan.h"
#include "util/utils.h"

#include <algorithm>
#include <cctype>

namespace fs = boost::filesystem;

namespace {

bool isIPv4(const std::string& text) {
  int parts = 0;
  for (std::size_t pos = 0; parts < 4; ++pos) {
    const std::size_t start = pos;
    int value = 0;
    while (pos < text.size() && pos - start < 3 && std::isdigit(static_cast<unsigned char>(text[pos])))
      value = value * 10 + (text[pos++] - '0');
    if (pos == start || value > 255) return false;
    ++parts;
    if (pos == text.size()) return parts == 4;
    if (text[pos] != '.') return false;
  }
  return false;
}

// "1.1.1.1", or "1.1.1.1:853#dns.example" as resolvectl names a server with
// its port and TLS name; empty for an IPv6 server.
std::string ipv4Of(const std::string& server) {
  const std::string address = server.substr(0, server.find_first_of(":#"));
  return isIPv4(address) ? address : std::string();
}

void addIPv4(std::vector<std::string>& servers, const std::string& server) {
  const std::string address = ipv4Of(server);
  if (!address.empty() && std::find(servers.begin(), servers.end(), address) == servers.end())
    servers.push_back(address);
}

// "default via 192.168.1.1 dev eth0 proto dhcp metric 100"; a multipath route
// lists its gateways on "nexthop via ... dev ..." lines of their own. The
// first route through an interface (the lowest metric) wins.
std::map<std::string, std::string> defaultGateways(const fs::path& file) {
  std::map<std::string, std::string> gateways;
  wmi::forEachTerminatedLine(file, [&](const std::string& line) {
    const std::vector<std::string> words = wmi::words(line);
    if (words.empty() || (words[0] != "default" && words[0] != "nexthop")) return;
    std::string via;
    std::string dev;
    for (std::size_t i = 1; i + 1 < words.size(); ++i) {
      if (words[i] == "via") via = words[i + 1];
      if (words[i] == "dev") dev = words[i + 1];
    }
    if (!dev.empty() && isIPv4(via)) gateways.emplace(dev, via);
  });
  return gateways;
}

// The "nameserver" lines of a resolv.conf, any address family.
std::vector<std::string> nameServers(const fs::path& file) {
  std::vector<std::string> servers;
  wmi::forEachTerminatedLine(file, [&](const std::string& line) {
    const std::vector<std::string> words = wmi::words(line);
    if (words.size() >= 2 && words[0] == "nameserver") servers.push_back(words[1]);
  });
  return servers;
}

bool isLoopback(const std::string& server) { return wmi::startsWith(server, "127.") || server == "::1"; }

// `resolvectl dns`: "Global: 9.9.9.9" and "Link 2 (eth0): 192.168.1.1 fe80::1%2".
std::map<std::string, std::vector<std::string>> resolvedLinkServers(const fs::path& file) {
  std::map<std::string, std::vector<std::string>> servers;
  wmi::forEachTerminatedLine(file, [&](const std::string& line) {
    std::string link;
    std::size_t listStart = std::string::npos;
    if (wmi::startsWith(line, "Global:")) {
      listStart = 7;
    } else if (wmi::startsWith(line, "Link ")) {
      const std::size_t open = line.find('(');
      const std::size_t close = open == std::string::npos ? open : line.find("):", open);
      if (close == std::string::npos) return;
      link = line.substr(open + 1, close - open - 1);
      listStart = close + 2;
    } else {
      return;
    }
    std::vector<std::string>& linkList = servers[link];
    for (const std::string& server : wmi::words(line.substr(listStart))) addIPv4(linkList, server);
  });
  return servers;
}

using LeaseReader = std::vector<tagDHCPLEASE> (*)(const fs::path& file, const std::string& name);

struct LeaseSource {
  const char* file;  // the collected file, or its prefix before the interface name
  bool bPerInterface;
  LeaseReader read;
};

// NetworkManager first: it may run dhclient itself, whose leases then say the same.
const LeaseSource kLeaseSources[] = {
    {"nmcli_dhcp", false, &networkManagerLeases},
    {"networkd_lease_", true, &networkdLeases},
    {"dhclient_leases", false, &dhclientLeases},
    {"dhcpcd_lease_", true, &dhcpcdLeases},
};

}  // namespace

CLinuxNetworkSettings::CLinuxNetworkSettings(const fs::path& folder)
    : folder(folder),
      gateways(defaultGateways(folder / "route")),
      linkServers(resolvedLinkServers(folder / "resolvectl_dns")) {
  const std::vector<std::string> listed = nameServers(folder / "resolv_conf");
  for (const std::string& server : listed) addIPv4(vecResolverServers, server);
  bLocalStub = !listed.empty() && std::all_of(listed.begin(), listed.end(), isLoopback);
  for (const std::string& server : nameServers(folder / "resolv_upstream")) addIPv4(vecUpstreamServers, server);
}

// Behind a local stub (systemd-resolved's 127.0.0.53) the servers of the
// link and the global ones, else all upstream servers; the stub itself only
// when nothing is known behind it.
std::vector<std::string> CLinuxNetworkSettings::dnsServers(const std::string& name) const {
  if (!bLocalStub) return vecResolverServers;
  std::vector<std::string> servers;
  for (const std::string& link : {name, std::string()}) {
    const auto found = linkServers.find(link);
    if (found != linkServers.end())
      for (const std::string& server : found->second) addIPv4(servers, server);
  }
  if (servers.empty()) servers = vecUpstreamServers;
  return servers.empty() ? vecResolverServers : servers;
}

// A lease of one of the adapter's addresses; within one client's leases the
// last such one (the newest) wins.
bool CLinuxNetworkSettings::findLease(const std::string& name, const std::vector<std::string>& addresses,
                                      tagDHCPLEASE& lease) const {
  for (const LeaseSource& source : kLeaseSources) {
    const std::vector<tagDHCPLEASE> leases =
        source.read(folder / (source.bPerInterface ? source.file + name : std::string(source.file)), name);
    for (auto it = leases.rbegin(); it != leases.rend(); ++it) {
      if (std::find(addresses.begin(), addresses.end(), it->strAddress) == addresses.end()) continue;
      lease = *it;
      return true;
    }
  }
  return false;
}

void CLinuxNetworkSettings::apply(const std::string& name, const std::vector<std::string>& addresses,
                                  tagWMINICSTRUCT& nic) const {
  const auto gateway = gateways.find(name);
  if (gateway != gateways.end()) nic.strDefaultGateway = gateway->second;
  if (!addresses.empty()) {
    const std::vector<std::string> servers = dnsServers(name);
    if (!servers.empty()) nic.strDNSServer1 = servers[0];
    if (servers.size() > 1) nic.strDNSServer2 = servers[1];
  }
  tagDHCPLEASE lease;
  if (findLease(name, addresses, lease)) {
    nic.dwDHCPEnabled = 1;
    nic.strDHCPServer = lease.strServer;
  }
}
