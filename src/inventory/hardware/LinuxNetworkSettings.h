// What the routing table, the resolver and the DHCP clients of a Linux
// machine say about its network adapters, read from the collected files:
//   route            IPv4 default routes as `ip -4 route show default` prints them
//   resolv_conf      /etc/resolv.conf
//   resolv_upstream  systemd-resolved's upstream servers (/run/systemd/resolve/resolv.conf)
//   resolvectl_dns   `resolvectl dns`: the servers of each link
//   nmcli_dhcp       `nmcli -t -f GENERAL.DEVICE,DHCP4 device show`
//   networkd_lease_<if>, dhclient_leases, dhcpcd_lease_<if>: the lease files of
//                    systemd-networkd, dhclient and dhcpcd
// Every file is optional; without them an adapter keeps no gateway, no DNS
// server and DHCP off.
#pragma once

#include "inventory/hardware/WmiStruct.h"

#include <boost/filesystem/path.hpp>

#include <map>
#include <string>
#include <vector>

// An address that a DHCP server leased, and that server.
struct tagDHCPLEASE {
  std::string strAddress;
  std::string strServer;
};

class CLinuxNetworkSettings {
 public:
  explicit CLinuxNetworkSettings(const boost::filesystem::path& folder);

  // Fills the gateway, DNS and DHCP fields of the adapter `name`, whose
  // listing gave the IPv4 `addresses`. Only an adapter holding an address
  // gets DNS servers, and only a lease of one of its addresses counts.
  void apply(const std::string& name, const std::vector<std::string>& addresses, tagWMINICSTRUCT& nic) const;

 private:
  std::vector<std::string> dnsServers(const std::string& name) const;
  bool findLease(const std::string& name, const std::vector<std::string>& addresses, tagDHCPLEASE& lease) const;

  boost::filesystem::path folder;
  std::map<std::string, std::string> gateways;                  // by interface
  std::vector<std::string> vecResolverServers;                  // IPv4, as resolv.conf lists them
  bool bLocalStub = false;                                      // resolv.conf names only loopback servers
  std::vector<std::string> vecUpstreamServers;                  // IPv4, behind the stub
  std::map<std::string, std::vector<std::string>> linkServers;  // IPv4 by link; the global ones under ""
};

// The lease readers: the leases of the interface `name` in file order.
std::vector<tagDHCPLEASE> networkManagerLeases(const boost::filesystem::path& file, const std::string& name);
std::vector<tagDHCPLEASE> networkdLeases(const boost::filesystem::path& file, const std::string& name);
std::vector<tagDHCPLEASE> dhclientLeases(const boost::filesystem::path& file, const std::string& name);
std::vector<tagDHCPLEASE> dhcpcdLeases(const boost::filesystem::path& file, const std::string& name);
