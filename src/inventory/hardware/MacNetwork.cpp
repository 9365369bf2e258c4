// macOS: network services from system_profiler's network report.
#include "inventory/hardware/CHWInfoManager.h"

#include "plist/SystemProfiler.h"
#include "util/utils.h"

#include <string>

namespace {

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

void CHWInfoManager::loadNicInfo_mac(tagWMISTRUCT& record) {
  const boost::any report = Plist::readReport(source("nics"));
  for (const Plist::Value service : Plist::itemList(report).elements()) {
    if (!service.isDictionary()) continue;
    const tagWMINICSTRUCT nic = readService(service);
    // Only services with an IPv4 configuration get a description.
    if (!nic.strDescription.empty()) record.vecNic.push_back(nic);
  }
}
