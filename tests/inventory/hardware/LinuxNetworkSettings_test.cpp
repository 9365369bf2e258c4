// Gateway, DNS servers and DHCP state of Linux adapters, from the routing
// table, the resolver and the leases of each kind of DHCP client.
#include <gtest/gtest.h>

#include <map>

#include "LinuxCollection.h"

namespace fs = boost::filesystem;
using qztest::LinuxCollection;

namespace {

// "gateway|DNS 1|DNS 2|DHCP|DHCP server" of each adapter, by interface name.
std::map<std::string, std::string> settingsOf(LinuxCollection& collection) {
  collection.manager.loadNicInfo(collection.record);
  std::map<std::string, std::string> byName;
  for (const tagWMINICSTRUCT& nic : collection.record.vecNic) {
    const std::size_t open = nic.strDescription.rfind('(');
    byName[nic.strDescription.substr(open + 1, nic.strDescription.size() - open - 2)] =
        nic.strDefaultGateway + "|" + nic.strDNSServer1 + "|" + nic.strDNSServer2 + "|" +
        std::to_string(nic.dwDHCPEnabled) + "|" + nic.strDHCPServer;
  }
  return byName;
}

// The files of one machine (tests/fixtures/linux/network/<machine>), with an
// empty udev file beside every interface listing.
std::map<std::string, std::string> machine(const std::string& name) {
  LinuxCollection collection;
  for (fs::directory_iterator it(fs::path(QZ_FIXTURES_DIR) / "linux" / "network" / name), end; it != end; ++it) {
    const std::string file = it->path().filename().string();
    collection.add(file, "network/" + name + "/" + file);
    if (file.rfind("ip_", 0) == 0) collection.write("nic_" + file.substr(3), "");
  }
  return settingsOf(collection);
}

}  // namespace

TEST(LinuxNetworkSettings, MachinesOfEachKind) {
  const std::map<std::string, std::map<std::string, std::string>> machines = {
      // Ubuntu laptop: NetworkManager leases Wi-Fi; systemd-resolved knows the
      // link's server; a bridge with an address asks all upstream servers.
      {"nm-desktop",
       {{"wlp2s0", "192.168.1.1|192.168.1.1||1|192.168.1.1"}, {"enp0s31f6", "|||0|"}, {"docker0", "|192.168.1.1||0|"}}},
      // systemd-networkd and the resolved stub, without resolvectl.
      {"networkd-server", {{"eno1", "10.0.0.1|10.0.0.2|10.0.0.3|1|10.0.0.2"}, {"eno2", "|10.0.0.2|10.0.0.3|0|"}}},
      // dhclient: the newest lease of the current address (an older one was of another).
      {"dhclient-server", {{"eth0", "10.1.4.1|10.1.0.10|10.1.0.11|1|10.1.0.5"}}},
      // Static addresses; the installer's old lease is of another address. IPv6 servers are passed over.
      {"static-server",
       {{"ens192", "192.168.10.1|192.168.10.53|192.168.10.54|0|"},
        {"ens224", "192.168.20.1|192.168.10.53|192.168.10.54|0|"}}},
      // Raspberry Pi OS: dhcpcd keeps the DHCP message itself.
      {"dhcpcd-raspberry", {{"wlan0", "192.168.0.1|192.168.0.1||1|192.168.0.1"}}},
  };
  for (const auto& expected : machines) EXPECT_EQ(expected.second, machine(expected.first)) << expected.first;
}

TEST(LinuxNetworkSettings, RoutesResolversAndLeasesOutOfTheOrdinary) {
  const std::string dhcpAck =
      qztest::readFile(fs::path(QZ_FIXTURES_DIR) / "linux/network/dhcpcd-raspberry/dhcpcd_lease_wlan0");
  const std::string ownLease = "ADDRESS=10.0.0.5\nSERVER_ADDRESS=10.0.0.2\n";
  struct Case {
    std::map<std::string, std::string> files;
    std::string expected;  // of eth0, listed with 10.0.0.5 and 192.168.5.5
  };
  const Case cases[] = {
      {{{"route", "default via 10.0.0.1 dev eth0 metric 100\ndefault via 10.0.0.9 dev eth0 metric 200\n"}},
       "10.0.0.1|||0|"},
      {{{"route",
         "default proto static metric 100 \n\tnexthop via 10.0.1.1 dev eth1 weight 1 \n"
         "\tnexthop via 10.0.0.1 dev eth0 weight 1 \n"}},
       "10.0.0.1|||0|"},
      {{{"route",
         "default via inet6 fe80::1 dev eth0\ndefault dev eth0 scope link\ndefault via 10.0.0.300 dev eth0\n"
         "default via 10.0.0.1 dev\n10.0.0.0/24 via 10.0.0.7 dev eth0\ndefault via 10.0.0.1 dev eth0"}},
       "|||0|"},                                                          // the one good line has no line feed
      {{{"resolv_conf", "nameserver 127.0.0.53\n"}}, "|127.0.0.53||0|"},  // nothing known behind the stub
      {{{"resolv_conf", "nameserver ::1\n"}, {"resolv_upstream", "nameserver 9.9.9.9\n"}}, "|9.9.9.9||0|"},
      {{{"resolv_conf", "nameserver 127.0.0.53\nnameserver 8.8.8.8\n"}}, "|127.0.0.53|8.8.8.8|0|"},  // not a stub alone
      {{{"resolv_conf",
         "# nameserver 1.2.3.4\nnameserver\n nameserver 10.0.0.2 \nnameserver 1.2.3\nnameserver 256.1.1.1\n"}},
       "|10.0.0.2||0|"},
      {{{"resolv_conf", "nameserver 127.0.0.53\n"},
        {"resolvectl_dns",
         "Global: 1.1.1.1#cloudflare-dns.com 9.9.9.9:853\nLink 2 (eth0): 1.1.1.1 fe80::1%2\n"
         "Link 3 (eth1): 10.9.9.9\nLink 4 (eth0: 8.8.8.8\n"},
        {"resolv_upstream", "nameserver 10.0.0.2\n"}},
       "|1.1.1.1|9.9.9.9|0|"},
      {{{"networkd_lease_eth0", ownLease}}, "|||1|10.0.0.2"},
      {{{"networkd_lease_eth0", "SERVER_ADDRESS=10.0.0.2\n"}}, "|||0|"},
      {{{"networkd_lease_eth1", ownLease}}, "|||0|"},  // another interface's lease
      {{{"dhclient_leases",
         "lease {\n  interface \"eth1\";\n  fixed-address 10.0.0.5;\n}\n"
         "lease {\n  interface \"eth0\";\n  fixed-address 10.0.0.5;\n"}},
       "|||0|"},  // of eth1, and one cut short
      {{{"dhclient_leases", "lease {\n interface \"eth0\";\n fixed-address 192.168.5.5;\n}\n"}},
       "|||1|"},  // no server named
      {{{"nmcli_dhcp",
         "GENERAL.DEVICE:eth0\nDHCP4.OPTION[1]:ip_address = 10.0.0.5\n"
         "GENERAL.DEVICE:eth1\nDHCP4.OPTION[1]:dhcp_server_identifier = 10.0.0.3\n"}},
       "|||1|"},
      {{{"dhcpcd_lease_eth0", dhcpAck.substr(0, 239)}}, "|||0|"},  // cut inside the cookie
      {{{"dhcpcd_lease_eth0", dhcpAck.substr(0, 16) + qztest::bytes("\x0a\x00\x00\x05") + dhcpAck.substr(20, 220) +
                                  qztest::bytes("\x36\x04\x0a\x00")}},
       "|||1|"},                                    // the server option runs past the end
      {{{"dhcpcd_lease_eth0", dhcpAck}}, "|||0|"},  // the lease of another address
  };
  for (const Case& test : cases) {
    LinuxCollection collection;
    collection.write("nic_eth0", "").write("ip_eth0", "    inet 10.0.0.5/24 brd x\n    inet 192.168.5.5/24 brd x\n");
    for (const auto& file : test.files) collection.write(file.first, file.second);
    EXPECT_EQ(test.expected, settingsOf(collection)["eth0"])
        << test.files.begin()->first << ": " << test.files.begin()->second;
  }
}
