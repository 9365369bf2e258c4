// Linux network adapters from udev properties and interface listings in
// both styles: ifconfig (old and new net-tools) and ip addr.
#include "LinuxCollection.h"

#include "util/utils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <random>
#include <regex>

using qztest::LinuxCollection;

namespace {

// "MAC|address|mask" of each adapter, by interface name (the folder listing has no set order).
std::map<std::string, std::string> adaptersOf(LinuxCollection& collection) {
  collection.manager.loadNicInfo(collection.record);
  std::map<std::string, std::string> byName;
  for (const tagWMINICSTRUCT& nic : collection.record.vecNic) {
    const std::size_t open = nic.strDescription.rfind('(');
    EXPECT_EQ(1u, nic.dwEnabled);
    EXPECT_EQ("", nic.strDefaultGateway + nic.strDHCPServer + nic.strDNSServer1 + nic.strDNSServer2);
    byName[nic.strDescription.substr(open + 1, nic.strDescription.size() - open - 2)] =
        nic.strMACAddress + "|" + nic.strIPAddress + "|" + nic.strSubnetMask;
  }
  return byName;
}

std::string listed(const std::string& listing) {
  LinuxCollection collection;
  return adaptersOf(collection.write("nic_eth0", "").write("ip_eth0", listing))["eth0"];
}

std::string listedFixture(const char* fixture) {
  LinuxCollection collection;
  return adaptersOf(collection.write("nic_eth0", "").add("ip_eth0", fixture))["eth0"];
}

}  // namespace

TEST(LinuxNetwork, IpAddrListingWithUdevNames) {
  LinuxCollection collection;
  collection.add("nic_enp3s0", "network/udev-enp3s0").add("ip_enp3s0", "network/ip-addr");
  EXPECT_EQ("3c:7c:3f:1a:2b:4c|10.20.30.40|255.255.240.0", adaptersOf(collection)["enp3s0"]);  // inet6 changes nothing
  EXPECT_EQ("Realtek Semiconductor Co., Ltd. RTL8111/8168/8411 PCI Express Gigabit Ethernet Controller (enp3s0)",
            collection.record.vecNic.at(0).strDescription);
  EXPECT_EQ("52:54:00:8a:11:02|192.168.122.1|255.255.255.0", listedFixture("network/ip-addr-secondary"));  // last wins
  EXPECT_EQ("|10.8.0.2|255.255.255.255", listedFixture("network/ip-addr-wireguard"));
}

TEST(LinuxNetwork, IfconfigListingsNeedSingleBlanks) {
  // As printed, both styles keep the hardware address and lose the IPv4 address to double blanks.
  EXPECT_EQ("00:0c:29:3e:5c:7a||", listedFixture("network/ifconfig-old"));
  EXPECT_EQ("00:0c:29:3e:5c:7a||", listedFixture("network/ifconfig-new"));
  EXPECT_EQ("00:0c:29:3e:5c:7a|192.168.1.10|255.255.255.0", listedFixture("network/ifconfig-old-squeezed"));
  EXPECT_EQ("00:0c:29:3e:5c:7a|192.168.1.10|255.255.255.0", listedFixture("network/ifconfig-new-squeezed"));
}

TEST(LinuxNetwork, PrefixLengthsAndRulesThatNeedAFollowingWord) {
  for (const char* prefix : {"0", "33", "-8", "x", "99999999999999999999"})
    EXPECT_EQ("|10.1.2.3|", listed(std::string("inet 10.1.2.3/") + prefix + " scope global\n")) << prefix;
  EXPECT_EQ("|10.1.2.3|128.0.0.0", listed("inet 10.1.2.3/1 scope global\n"));
  // An ether line ending at the address clears it; inet lines ending at the mask change nothing.
  EXPECT_EQ("|10.0.0.1|255.0.0.0", listed("HWaddr 00:11:22:33:44:55\nlink/ether 00:11:22:33:44:66\n"
                                          "inet 10.0.0.1/8 brd x\ninet 10.0.0.2/24\ninet 10.0.0.3 netmask 255.0.0.0\n"));
  // The search goes on past a first keyword that leads nowhere.
  EXPECT_EQ("|10.0.0.6|255.0.0.0", listed("inet via inet 10.0.0.6 netmask 255.0.0.0 brd\n"));
  EXPECT_EQ("|10.0.0.5|255.255.255.0", listed("inet via inet 10.0.0.5/24 brd x\n"));
  // A malformed old-style line clears address and mask.
  EXPECT_EQ("||", listed("inet 10.0.0.1/8 brd x\ninet addr:10.0.0.9 Mask:255.0.0.0\n"));
  const std::string digits(1 << 20, '7');
  EXPECT_TRUE("|" + digits + "|255.255.255.0" == listed("inet " + digits + "/24 x\n" + std::string(1 << 20, '/') + "\n"));
}

TEST(LinuxNetwork, AdaptersWithoutFilesAndOddEntryNames) {
  LinuxCollection collection;
  collection.write("nic_eth9", "ID_VENDOR_FROM_DATABASE=Intel Corporation\nID_MODEL_FROM_DATABASE=unterminated")
      .write("ip_eth9", "link/ether 00:11:22:33:44:55 brd ff:ff:ff:ff:ff:ff")  // no line feed: not read
      .write("nic", "")                                                      // too short to name an interface
      .write("nicxwlan0", "");                                               // "nic", one character, the name
  boost::filesystem::create_directory(collection.folder / "nic_br0");
  EXPECT_EQ(3u, adaptersOf(collection).size());
  std::set<std::string> descriptions;
  for (const tagWMINICSTRUCT& nic : collection.record.vecNic) descriptions.insert(nic.strDescription);
  EXPECT_EQ((std::set<std::string>{"Intel Corporation  (eth9)", "(wlan0)", "(br0)"}), descriptions);
}

// The address rules as the regular expressions they stand for, to check the
// hand-made matching against on short random lines.
TEST(LinuxNetwork, AddressRulesAgreeWithTheirRegularExpressions) {
  const std::regex ether("ether (\\S+) "), oldInet("inet addr:(\\S+) Bcast:(\\S+) Mask:(\\S+)"),
      dotted("inet (\\S+) netmask (\\S+) "), slashed("inet (\\S+)/(\\S+) ");
  const std::map<int, std::string> masks = {
      {1, "128.0.0.0"}, {2, "192.0.0.0"}, {4, "240.0.0.0"}, {10, "255.192.0.0"}, {24, "255.255.255.0"}};
  const std::vector<std::vector<std::string>> templates = {{"link/ether ", "V", " brd ", "V"},
                                                           {"inet ", "V", "/", "V", " brd ", "V"},
                                                           {"inet addr:", "V", " Bcast:", "V", " Mask:", "V"},
                                                           {"inet ", "V", " netmask ", "V", " broadcast ", "V"}};
  const std::vector<std::string> values = {"10.0.0.1", "a/b", "1.2.3.4/24", "", " ", "x\ty", "/", "inet ", "24", "2/4"};
  std::mt19937 random(7);
  LinuxCollection collection;
  std::map<std::string, std::string> expected;
  for (int adapter = 0; adapter < 300; ++adapter) {
    std::string listing;
    std::string mac, address, mask;
    for (int i = 0; i < 4; ++i) {
      std::string line = random() % 3 == 0 ? "    " : "";
      for (const std::string& piece : templates[random() % templates.size()])
        line += piece == "V" || random() % 10 == 0 ? values[random() % values.size()] : piece;
      if (random() % 3 == 0) line.resize(random() % (line.size() + 1));  // lines that stop short
      listing += line + "\n";
      const std::string text = wmi::trim(line);
      std::smatch found;
      if (text.find("ether") != std::string::npos) {
        mac = std::regex_search(text, found, ether) ? found[1].str() : "";
      } else if (text.find("inet addr") != std::string::npos) {
        const bool matched = std::regex_search(text, found, oldInet);
        address = matched ? found[1].str() : "";
        mask = matched ? found[3].str() : "";
      } else if (text.find("inet") != std::string::npos && text.find("inet6") == std::string::npos) {
        if (std::regex_search(text, found, dotted)) address = found[1], mask = found[2];
        if (std::regex_search(text, found, slashed)) {
          const int bits = std::atoi(found[2].str().c_str());
          address = found[1];
          mask = masks.count(bits) ? masks.at(bits) : "";
        }
      }
    }
    const std::string name = "if" + std::to_string(adapter);
    collection.write("nic_" + name, "").write("ip_" + name, listing);
    expected[name] = mac + "|" + address + "|" + mask;
  }
  EXPECT_EQ(expected, adaptersOf(collection));
}
