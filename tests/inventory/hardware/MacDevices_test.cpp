// Disks and display adapters (volumes and network services: the end-to-end test).
#include "inventory/hardware/CHWInfoManager.h"

#include "inventory/hardware/MacReport.h"

#include <gtest/gtest.h>

using namespace mactest;

namespace {

std::vector<std::string> adapters(const Files& files) {
  std::vector<std::string> out;
  for (const tagMONITORSTRUCT& m : collect(&CHWInfoManager::loadVgaInfo_mac, files).vecMonitor)
    out.push_back(m.strName + "|" + std::to_string(m.dwVideoMemory) + "|" + std::to_string(m.dwHorzResolution) + "x" +
                  std::to_string(m.dwVertResolution) + "|" + std::to_string(m.dwBitsPerPixel));
  return out;
}

std::vector<std::string> adapters(const std::string& video) { return adapters(Files{{"video", video}}); }

std::string display(const std::string& pixels, const std::string& looksLike, const std::string& depth) {
  return dict({{"_name", str("Color LCD")}, {"_spdisplays_pixels", pixels}, {"_spdisplays_resolution", looksLike},
               {"spdisplays_depth", depth}, {"spdisplays_main", str("spdisplays_yes")}});
}

}  // namespace

TEST(MacDisks, EveryNamedDiskOfEveryBusInFileOrder) {
  const auto bus = [](std::initializer_list<std::string> disks) { return report({dict({{"_items", array(disks)}})}); };
  const auto disk = [](const std::string& name, const std::string& size, const std::string& volumes) {
    return dict({{"_name", name}, {"size_in_bytes", size}, {"volumes", volumes}});
  };
  const std::string ssd = disk(str("APPLE SSD AP0512Z"), integer(500277790720), array({dict({}), str("odd"), dict({})}));
  const std::vector<tagWMIDISKSTRUCT> disks = collect(
      &CHWInfoManager::loadDiskInfo_mac,
      {{"pata_disk.xml", bus({disk(str("APPLE HDD ST1000DM003"), str("1 TB"), dict({}))})},
       {"nvme_disk.xml", bus({ssd, disk(str(""), integer(2), ""), disk(integer(5), integer(3), ""), str("not a disk")})},
       {"physical_disk.xml", report({str("not a controller"), dict({}), dict({{"_items", array({ssd})}})})}}).vecDisk;
  ASSERT_EQ(3u, disks.size());
  const std::tuple<std::string, long long, unsigned int> expected[] = {
      {"APPLE SSD AP0512Z", 500277790720, 3}, {"APPLE SSD AP0512Z", 500277790720, 3}, {"APPLE HDD ST1000DM003", 0, 0}};
  for (std::size_t i = 0; i < disks.size(); ++i)
    EXPECT_EQ(expected[i], std::make_tuple(disks[i].strModel, disks[i].llSize, disks[i].dwPartitionCount));
}

TEST(MacVideo, EachAdapterShowingADisplayListedOnceWithItsOwnFigures) {
  EXPECT_EQ((std::vector<std::string>{"A|1572864|1920x1080|32", "B|0|0x0|24", "D|0|1x2|30", "E|4194304|2560x1600|0",
                                      "F|0|3840x2160|30", "G|0|2560x1664|0"}),
            adapters("Graphics/Displays:\n\n    A:\n\n      Chipset Model: A\n      VRAM (Dynamic, Max): 1536 MB\n"
                     "      Displays:\n        Color LCD:\n          Resolution: 1920 x 1080 Retina\n"
                     "          Pixel Depth: 32-Bit Color (ARGB8888)\n        External:\n          Resolution: 640 x 480\n"
                     "          Pixel Depth: 8-Bit Color\n"
                     "    B:\n      Chipset Model: B\n      Pixel Depth: 24-Bit Color (ARGB8888)\n"
                     "    C, no display:\n      Chipset Model: C\n      VRAM (Total): 2 GB\n"
                     "    D:\n      Chipset Model: D\n      Pixel Depth: Millions\n      Resolution: 3840x2160, 1 x 2\n"
                     "      Pixel Depth: colours 30-Bit Color, 10-Bit Color\n"
                     "    E, no depth line:\n      Chipset Model: E\n      VRAM (Total): 4 GB\n"
                     "      Resolution: 2560 x 1600 Retina\n      Pixel Depth: Millions\n"
                     "    F:\n      Chipset Model: F\n      Resolution: 3840 x 2160\n"
                     "      Framebuffer Depth: 30-Bit Color (ARGB2101010)\n      Pixel Depth: 32-Bit Color\n"
                     "    H, a resolution without figures:\n      Chipset Model: H\n      Resolution: unknown\n"
                     "    G, Apple silicon, last:\n      Chipset Model: G\n      Type: GPU\n"
                     "      Total Number of Cores: 10\n      Displays:\n        Color LCD:\n"
                     "          Resolution: 2560 x 1664 Retina\n          Main Display: Yes\n        LG HDR 4K:\n"
                     "          Resolution: 3840 x 2160 (2160p/4K UHD 1 - Ultra High Definition)\n"));
}

TEST(MacVideo, MegabyteLinesEndCleanly) {
  const std::string digits(1 << 20, '7');
  const std::string blanks(1 << 20, ' ');
  EXPECT_EQ(std::vector<std::string>{"X|0|1x2|16"},
            adapters("Chipset Model: " + blanks + "X\nResolution: " + digits + " x\nResolution:" + blanks + "1 x 2" +
                     blanks + "\nPixel Depth: " + digits + "-Bit Colour " + blanks + "16-Bit Color\n" + digits));
  EXPECT_EQ(std::vector<std::string>{"Y|0|0x0|4294967295"}, adapters("Chipset Model: Y\nPixel Depth: " + digits + "-Bit Color"));
}

// The property-list form: the same adapters and figures as the text rules,
// from keys that no system language changes.
TEST(MacVideo, XmlReportListsEachGpuShowingADisplayWithItsFirstDisplaysFigures) {
  const auto gpu = [](const std::string& model, const std::string& vram, const std::string& shared,
                      const std::string& displays) {
    return dict({{"_name", str("kHW_" + model)}, {"sppci_model", model.empty() ? "" : str(model)},
                 {"spdisplays_vram", vram}, {"spdisplays_vram_shared", shared}, {"spdisplays_ndrvs", displays}});
  };
  const std::string xml = report(
      {gpu("Intel Iris", "", str("1536 MB"), ""),  // idle: no display
       gpu("Radeon Pro 570", str("4096 MB"), "",
           array({display(str("5120 x 2880"), str("2560 x 1440 @ 60.00Hz"), str("CGSThirtyBitColor")),
                  display(str("3840 x 2160"), "", str("CGSThirtytwoBitColor"))})),
       gpu("AMD Radeon Pro 5500M", str("1,5 GB"), str("512 MB"),
           array({display("", str("1440 x 900 @ 60 Hz"), ""), display("", "", str("cgstwentyfourbitcolor"))})),
       gpu("Apple M3 Max", "", "", array({display(str("3456 x 2234"), str("1728 x 1117 @ 120.00Hz"), "")})),
       gpu("", "", "", array({display("", "", str("32-Bit Color (ARGB8888)"))})),
       gpu("Odd depth", "", "", array({display(str("800 x 600"), "", str("CGSManyBitColor"))})),
       gpu("No figures", str("2 GB"), "", array({display(str("unknown"), "", str("spdisplays_unknown")), str("x")})),
       str("not a GPU")});
  EXPECT_EQ((std::vector<std::string>{"Radeon Pro 570|4194304|5120x2880|30", "AMD Radeon Pro 5500M|1572864|1440x900|24",
                                      "Apple M3 Max|0|3456x2234|0", "kHW_|0|0x0|32", "Odd depth|0|800x600|0"}),
            adapters(Files{{"video.xml", xml}}));
}

// The property list is read whenever it can be; the text only without it.
TEST(MacVideo, TextReportOnlyWithoutAReadableXmlReport) {
  const std::string text = "Chipset Model: T\nResolution: 640 x 480\n";
  const std::string xml = report({dict({{"sppci_model", str("X")},
                                        {"spdisplays_ndrvs", array({display(str("1 x 2"), "", "")})}})});
  EXPECT_EQ(std::vector<std::string>{"X|0|1x2|0"}, adapters(Files{{"video.xml", xml}, {"video", text}}));
  EXPECT_EQ(std::vector<std::string>{}, adapters(Files{{"video.xml", report({})}, {"video", text}}));
  for (const std::string& unusable : {std::string(), xml.substr(0, 200)})
    EXPECT_EQ(std::vector<std::string>{"T|0|640x480|0"}, adapters(Files{{"video.xml", unusable}, {"video", text}}));
}
