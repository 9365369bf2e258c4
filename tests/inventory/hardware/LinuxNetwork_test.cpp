// Linux network adapters from udev properties and interface listings in
// both styles: ifconfig (old and new net-tools) and ip addr.
#include "LinuxCollection.h"

#include "util/utils.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <regex>

using qztest::LinuxCollection;

namespace {

// The adapters of a collection by interface name (the folder listing has no set order).
std::map<std::string, tagWMINICSTRUCT> adaptersOf(LinuxCollection& collection) {
  collection.manager.loadNicInfo(collection.record);
  std::map<std::string, tagWMINICSTRUCT> byName;
  for (const tagWMINICSTRUCT& nic : collection.record.vecNic) {
    const std::size_t open = nic.strDescription.rfind('(');
    byName[nic.strDescription.substr(open + 1, nic.strDescription.size() - open - 2)] = nic;
  }
  return byName;
}

tagWMINICSTRUCT adapterFromListing(const std::string& fixture) {
  LinuxCollection collection;
  collection.write("nic_eth0", "");
  collection.add("ip_eth0", fixture);
  return adaptersOf(collection).at("eth0");
}

tagWMINICSTRUCT adapterFromText(const std::string& listing) {
  LinuxCollection collection;
  collection.write("nic_eth0", "");
  collection.write("ip_eth0", listing);
  return adaptersOf(collection).at("eth0");
}

}  // namespace

TEST(LinuxNetwork, IpAddrListingWithUdevNames) {
  LinuxCollection collection;
  collection.add("nic_enp3s0", "network/udev-enp3s0");
  collection.add("ip_enp3s0", "network/ip-addr");
  const auto adapters = adaptersOf(collection);
  ASSERT_EQ(1u, adapters.size());
  const tagWMINICSTRUCT& nic = adapters.at("enp3s0");
  EXPECT_EQ("Realtek Semiconductor Co., Ltd. RTL8111/8168/8411 PCI Express Gigabit Ethernet Controller (enp3s0)",
            nic.strDescription);
  EXPECT_EQ("3c:7c:3f:1a:2b:4c", nic.strMACAddress);
  EXPECT_EQ("10.20.30.40", nic.strIPAddress);  // the inet6 lines after it change nothing
  EXPECT_EQ("255.255.240.0", nic.strSubnetMask);
  EXPECT_EQ(1u, nic.dwEnabled);
  EXPECT_EQ(0u, nic.dwDHCPEnabled);
  EXPECT_EQ("", nic.strDefaultGateway + nic.strDHCPServer + nic.strDNSServer1 + nic.strDNSServer2);
}

TEST(LinuxNetwork, IfconfigListingsNeedSingleBlanks) {
  // As printed, both net-tools styles keep their hardware address but lose
  // the IPv4 address to the double blanks around it.
  for (const char* fixture : {"network/ifconfig-old", "network/ifconfig-new"}) {
    const tagWMINICSTRUCT nic = adapterFromListing(fixture);
    EXPECT_EQ("00:0c:29:3e:5c:7a", nic.strMACAddress) << fixture;
    EXPECT_EQ("", nic.strIPAddress) << fixture;
    EXPECT_EQ("", nic.strSubnetMask) << fixture;
  }
  // Squeezed as the collection script writes them, both give everything.
  for (const char* fixture : {"network/ifconfig-old-squeezed", "network/ifconfig-new-squeezed"}) {
    const tagWMINICSTRUCT nic = adapterFromListing(fixture);
    EXPECT_EQ("00:0c:29:3e:5c:7a", nic.strMACAddress) << fixture;
    EXPECT_EQ("192.168.1.10", nic.strIPAddress) << fixture;
    EXPECT_EQ("255.255.255.0", nic.strSubnetMask) << fixture;
  }
}

TEST(LinuxNetwork, LastAddressWinsAndPointToPointLinksHaveNoHardwareAddress) {
  const tagWMINICSTRUCT bridge = adapterFromListing("network/ip-addr-secondary");
  EXPECT_EQ("192.168.122.1", bridge.strIPAddress);
  EXPECT_EQ("255.255.255.0", bridge.strSubnetMask);
  const tagWMINICSTRUCT tunnel = adapterFromListing("network/ip-addr-wireguard");
  EXPECT_EQ("", tunnel.strMACAddress);
  EXPECT_EQ("10.8.0.2", tunnel.strIPAddress);
  EXPECT_EQ("255.255.255.255", tunnel.strSubnetMask);
}

TEST(LinuxNetwork, PrefixLengthsOutsideOneToThirtyTwoGiveNoMask) {
  const std::pair<const char*, const char*> prefixes[] = {
      {"1", "128.0.0.0"}, {"8", "255.0.0.0"}, {"31", "255.255.255.254"}, {"0", ""}, {"33", ""}, {"-8", ""},
      {"x", ""},          {"99999999999999999999", ""},
  };
  for (const auto& prefix : prefixes) {
    const tagWMINICSTRUCT nic = adapterFromText(std::string("inet 10.1.2.3/") + prefix.first + " scope global\n");
    EXPECT_EQ("10.1.2.3", nic.strIPAddress) << prefix.first;
    EXPECT_EQ(prefix.second, nic.strSubnetMask) << prefix.first;
  }
}

TEST(LinuxNetwork, RulesThatNeedAFollowingWord) {
  // An ether line ending right after the address clears the earlier address.
  EXPECT_EQ("", adapterFromText("HWaddr 00:11:22:33:44:55\nlink/ether 00:11:22:33:44:66\n").strMACAddress);
  // An inet line ending right after the prefix or the mask changes nothing.
  const tagWMINICSTRUCT nic = adapterFromText("inet 10.0.0.1/8 brd 10.255.255.255\ninet 10.0.0.2/24\n"
                                              "inet 10.0.0.3 netmask 255.255.0.0\n");
  EXPECT_EQ("10.0.0.1", nic.strIPAddress);
  EXPECT_EQ("255.0.0.0", nic.strSubnetMask);
  // The search goes on past a first keyword that leads nowhere.
  EXPECT_EQ("10.0.0.5", adapterFromText("inet via inet 10.0.0.5/24 brd x\n").strIPAddress);
  EXPECT_EQ("255.0.0.0", adapterFromText("inet via inet 10.0.0.6 netmask 255.0.0.0 brd\n").strSubnetMask);
  // A malformed old-style line clears address and mask.
  EXPECT_EQ("", adapterFromText("inet 10.0.0.1/8 brd x\ninet addr:10.0.0.9 Mask:255.0.0.0\n").strIPAddress);
}

TEST(LinuxNetwork, AdaptersWithoutFilesAndOddEntryNames) {
  LinuxCollection collection;
  collection.write("nic_eth9", "ID_VENDOR_FROM_DATABASE=Intel Corporation\nID_MODEL_FROM_DATABASE=unterminated");
  collection.write("ip_eth9", "link/ether 00:11:22:33:44:55 brd ff:ff:ff:ff:ff:ff");  // no line feed: not read
  collection.write("nic", "");       // too short to name an interface
  collection.write("nicxwlan0", "");  // "nic" and one more character, then the name
  boost::filesystem::create_directory(collection.folder / "nic_br0");  // unreadable as a file
  const auto adapters = adaptersOf(collection);
  ASSERT_EQ(3u, adapters.size());
  EXPECT_EQ("Intel Corporation  (eth9)", adapters.at("eth9").strDescription);
  EXPECT_EQ("", adapters.at("eth9").strMACAddress);
  EXPECT_EQ("(wlan0)", adapters.at("wlan0").strDescription);
  EXPECT_EQ("(br0)", adapters.at("br0").strDescription);
  EXPECT_EQ(1u, adapters.at("br0").dwEnabled);
}

TEST(LinuxNetwork, HugeLinesEndCleanly) {
  const std::string digits(1 << 20, '7');
  const tagWMINICSTRUCT nic = adapterFromText("inet " + digits + "/24 x\nlink/ether " + digits + "\n" +
                                              std::string(1 << 20, '/') + "inet\n" + "ether " +
                                              std::string(1 << 20, 'e') + " brd\n");
  EXPECT_TRUE(nic.strIPAddress == digits);
  EXPECT_EQ("255.255.255.0", nic.strSubnetMask);
  EXPECT_TRUE(nic.strMACAddress == std::string(1 << 20, 'e'));
}

namespace {

// The address rules written with the regular expressions they stand for, to
// check the hand-made matching against on short lines.
std::string maskOf(const std::string& prefix) {
  const int bits = std::atoi(prefix.c_str());  // short texts only
  if (bits < 1 || bits > 32) return std::string();
  std::string mask;
  for (int octet = 0; octet < 4; ++octet) {
    const int ones = std::min(8, std::max(0, bits - 8 * octet));
    mask += (octet ? "." : "") + std::to_string(256 - (256 >> ones));
  }
  return mask;
}

void referenceRules(const std::string& rawLine, tagWMINICSTRUCT& nic) {
  static const std::regex ether("ether (\\S+) ");
  static const std::regex oldInet("inet addr:(\\S+) Bcast:(\\S+) Mask:(\\S+)");
  static const std::regex dotted("inet (\\S+) netmask (\\S+) ");
  static const std::regex slashed("inet (\\S+)/(\\S+) ");
  const std::string line = wmi::trim(rawLine);
  std::smatch found;
  if (line.find("HWaddr") != std::string::npos) {
    nic.strMACAddress = wmi::trim(line.substr(std::min(line.size(), line.find("HWaddr") + 7)));
  } else if (line.find("ether") != std::string::npos) {
    nic.strMACAddress = std::regex_search(line, found, ether) ? found[1].str() : std::string();
  } else if (line.find("inet addr") != std::string::npos) {
    const bool matched = std::regex_search(line, found, oldInet);
    nic.strIPAddress = matched ? found[1].str() : std::string();
    nic.strSubnetMask = matched ? found[3].str() : std::string();
  } else if (line.find("inet") != std::string::npos && line.find("inet6") == std::string::npos) {
    if (std::regex_search(line, found, dotted)) {
      nic.strIPAddress = found[1];
      nic.strSubnetMask = found[2];
    }
    if (std::regex_search(line, found, slashed)) {
      nic.strIPAddress = found[1];
      nic.strSubnetMask = maskOf(found[2]);
    }
  }
}

}  // namespace

TEST(LinuxNetwork, AddressRulesAgreeWithTheirRegularExpressions) {
  const std::vector<std::vector<std::string>> templates = {
      {"link/ether ", "V", " brd ", "V"},
      {"inet ", "V", "/", "P", " brd ", "V"},
      {"inet addr:", "V", " Bcast:", "V", " Mask:", "V"},
      {"inet ", "V", " netmask ", "V", " broadcast ", "V"},
      {"HWaddr ", "V", " "},
  };
  const std::vector<std::string> values = {"10.0.0.1", "a/b", "1.2.3.4/24", "", " ", "x\ty", "/", "inet ", "/20 "};
  const std::vector<std::string> prefixes = {"24", "20", "", "2/4", "24 x"};
  std::mt19937 random(7);
  const auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };

  LinuxCollection collection;
  std::map<std::string, tagWMINICSTRUCT> expected;
  int addresses = 0;
  for (int adapter = 0; adapter < 300; ++adapter) {
    const std::string name = "if" + std::to_string(adapter);
    std::string listing;
    tagWMINICSTRUCT& nic = expected[name];
    for (int i = 0; i < 4; ++i) {
      std::string line = random() % 3 == 0 ? "    " : "";
      for (const std::string& piece : templates[random() % templates.size()])
        line += random() % 10 == 0 ? pick(values) : piece == "V" ? pick(values) : piece == "P" ? pick(prefixes) : piece;
      if (random() % 3 == 0) line.resize(random() % (line.size() + 1));  // lines that stop short
      referenceRules(line, nic);
      listing += line + "\n";
    }
    if (!nic.strIPAddress.empty()) ++addresses;
    collection.write("ip_" + name, listing);
    collection.write("nic_" + name, "");
  }
  const auto adapters = adaptersOf(collection);
  ASSERT_EQ(expected.size(), adapters.size());
  EXPECT_GT(addresses, 50);
  for (const auto& entry : expected) {
    SCOPED_TRACE(qztest::readFile(collection.folder / ("ip_" + entry.first)));
    const tagWMINICSTRUCT& actual = adapters.at(entry.first);
    EXPECT_EQ(entry.second.strMACAddress, actual.strMACAddress);
    EXPECT_EQ(entry.second.strIPAddress, actual.strIPAddress);
    EXPECT_EQ(entry.second.strSubnetMask, actual.strSubnetMask);
  }
}
