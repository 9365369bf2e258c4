// Display adapters from the graphics text report; network services.
#include "inventory/hardware/CHWInfoManager.h"

#include "inventory/hardware/MacReport.h"

#include <gtest/gtest.h>

using namespace mactest;

namespace {

std::vector<tagMONITORSTRUCT> adapters(const std::string& video) {
  return collect(&CHWInfoManager::loadVgaInfo_mac, {{"video", video}}).vecMonitor;
}

void expectAdapter(const tagMONITORSTRUCT& m, const std::string& name, unsigned int vram, unsigned int width,
                   unsigned int height, unsigned int bits) {
  EXPECT_EQ(name, m.strName);
  EXPECT_EQ(vram, m.dwVideoMemory);
  EXPECT_EQ(width, m.dwHorzResolution);
  EXPECT_EQ(height, m.dwVertResolution);
  EXPECT_EQ(bits, m.dwBitsPerPixel);
}

std::vector<tagWMINICSTRUCT> services(std::initializer_list<std::string> items) {
  return collect(&CHWInfoManager::loadNicInfo_mac, {{"nics", report("SPNetworkDataType", items)}}).vecNic;
}

}  // namespace

TEST(MacVideo, AdapterListedAtItsFirstPixelDepthWithFiguresCarriedOver) {
  const std::vector<tagMONITORSTRUCT> list = adapters(
      "Graphics/Displays:\n\n    A:\n\n      Chipset Model: A\n      VRAM (Dynamic, Max): 1536 MB\n"
      "      Displays:\n        Color LCD:\n          Resolution: 1920 x 1080 Retina\n"
      "          Pixel Depth: 32-Bit Color (ARGB8888)\n        External:\n          Resolution: 640 x 480\n"
      "          Pixel Depth: 8-Bit Color\n"
      "    B:\n      Chipset Model: B\n      Pixel Depth: 24-Bit Color (ARGB8888)\n"
      "    C, no display:\n      Chipset Model: C\n      VRAM (Total): 2 GB\n"
      "    D:\n      Chipset Model: D\n      Pixel Depth: Millions\n      Resolution: 3840x2160, 1 x 2\n"
      "      Pixel Depth: colours 30-Bit Color, 10-Bit Color");
  ASSERT_EQ(3u, list.size());
  expectAdapter(list[0], "A", 1572864, 1920, 1080, 32);
  expectAdapter(list[1], "B", 1572864, 640, 480, 24);  // the second display of A still updated the figures
  expectAdapter(list[2], "D", 2048, 1, 2, 30);         // C is not listed; "2 GB" is read as 2 MB
  EXPECT_TRUE(adapters("").empty());
  EXPECT_TRUE(collect(&CHWInfoManager::loadVgaInfo_mac, {}).vecMonitor.empty());
}

TEST(MacVideo, MegabyteLinesEndCleanly) {
  const std::string digits(1 << 20, '7');
  const std::string blanks(1 << 20, ' ');
  const std::vector<tagMONITORSTRUCT> list =
      adapters("Chipset Model: " + blanks + "X\nResolution: " + digits + " x\nResolution:" + blanks + "1 x 2" + blanks +
               "\nPixel Depth: " + digits + "-Bit Colour " + blanks + "16-Bit Color\n" + digits);
  ASSERT_EQ(1u, list.size());
  expectAdapter(list[0], "X", 0, 1, 2, 16);
  EXPECT_EQ(0xFFFFFFFFu, adapters("Chipset Model: Y\nPixel Depth: " + digits + "-Bit Color\n").at(0).dwBitsPerPixel);
}

TEST(MacNetwork, ServicesWithAnIPv4ConfigurationAndTheirAddresses) {
  const std::vector<tagWMINICSTRUCT> list = services(
      {dict({{"_name", str("Ethernet")},
             {"IPv4", dict({{"Addresses", array({str("192.168.10.24"), str("192.168.10.25")})},
                            {"ConfigMethod", str("DHCP")}, {"InterfaceName", str("en0")},
                            {"Router", str("192.168.10.1")}, {"SubnetMasks", str("255.255.0.0")}})},
             {"dhcp", dict({{"dhcp_server_identifier", str("192.168.10.1")}, {"dhcp_subnet_mask", str("255.255.255.0")}})},
             {"Ethernet", dict({{"MAC Address", str("38:c9:86:1a:2b:3c")}})},
             {"DNS", dict({{"ServerAddresses", array({str("192.168.10.1"), str("8.8.8.8"), str("1.1.1.1")})}})}}),
       dict({{"_name", str("Wi-Fi")}, {"IPv4", dict({{"ConfigMethod", str("dhcp")}, {"Addresses", array({integer(1)})}})},
             {"DNS", dict({{"ServerAddresses", array({str("10.0.0.53")})}})}}),
       dict({{"_name", str("Bluetooth PAN")}, {"Ethernet", dict({{"MAC Address", str("8c:85:90:4d:5e:70")}})}}),
       dict({{"_name", integer(3)}, {"IPv4", dict({{"InterfaceName", str("bridge0")}})}}),
       dict({{"IPv4", dict({})}}), str("not a service"),
       dict({{"_name", str("USB LAN")}, {"IPv4", dict({{"ConfigMethod", str("Manual")}, {"SubnetMasks", array({str("255.0.0.0")})}})},
             {"DNS", array({})}, {"Ethernet", str("a0:ce:c8:01:02:03")}})});
  ASSERT_EQ(4u, list.size());
  const tagWMINICSTRUCT& wired = list[0];
  EXPECT_EQ(1u, wired.dwEnabled);
  EXPECT_EQ("Ethernet (en0)", wired.strDescription);
  EXPECT_EQ("38:c9:86:1a:2b:3c", wired.strMACAddress);
  EXPECT_EQ("192.168.10.24", wired.strIPAddress);
  EXPECT_EQ("255.255.255.0", wired.strSubnetMask);  // the DHCP lease's mask wins
  EXPECT_EQ("192.168.10.1", wired.strDefaultGateway);
  EXPECT_EQ("192.168.10.1", wired.strDHCPServer);
  EXPECT_EQ("192.168.10.1", wired.strDNSServer1);
  EXPECT_EQ("8.8.8.8", wired.strDNSServer2);
  EXPECT_EQ(1u, wired.dwDHCPEnabled);

  EXPECT_EQ("Wi-Fi", list[1].strDescription);
  EXPECT_EQ(0u, list[1].dwDHCPEnabled);  // "dhcp" is not "DHCP"
  EXPECT_EQ("", list[1].strIPAddress);
  EXPECT_EQ("10.0.0.53", list[1].strDNSServer1);
  EXPECT_EQ("", list[1].strDNSServer2);
  EXPECT_EQ(" (bridge0)", list[2].strDescription);
  EXPECT_EQ("USB LAN", list[3].strDescription);
  EXPECT_EQ("", list[3].strSubnetMask);
  EXPECT_EQ("", list[3].strMACAddress);
  for (const std::string& root : unusableRoots())
    EXPECT_TRUE(collect(&CHWInfoManager::loadNicInfo_mac, {{"nics", plist(root)}}).vecNic.empty());
}
