// Whole Mac collections (system_profiler reports and text files) through the
// coordinator on this machine: both data files read back and compared field
// by field with what the reports hold (tests/fixtures/macos/expected).
#include "InventoryRun.h"
#include "agent/CTransferCoordinator.h"

#include "inventory/DataFileReader.h"
#include "support/TestFiles.h"
#include "util/utils.h"

#include <boost/filesystem/directory.hpp>
#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace fs = boost::filesystem;

namespace {

const fs::path kMacFixtures = fs::path(QZ_FIXTURES_DIR) / "macos";
// The same machines with every property list in binary form (to_binary.py).
const fs::path kBinaryFixtures = fs::path(QZ_FIXTURES_DIR) / "macos-binary";

struct MacRun {
  std::string hardwareBytes, softwareBytes;
};

// Copies a fixture Mac into a `result/` folder, leaving out the files named
// in `leftOut` and putting those of the fixture folder `variant` (the same
// Mac in another language) in place of its own, and runs one inventory over it.
MacRun runOn(const std::string& fixture, const fs::path& fixtures = kMacFixtures,
             const std::vector<std::string>& leftOut = {}, const std::string& variant = "") {
  qztest::ScratchDir dir;
  const fs::path result = dir.path() / "result";
  fs::create_directory(result);
  for (const fs::directory_entry& file : fs::directory_iterator(fixtures / fixture)) {
    if (std::find(leftOut.begin(), leftOut.end(), file.path().filename().string()) == leftOut.end())
      fs::copy_file(file.path(), result / file.path().filename());
  }
  if (!variant.empty()) {
    for (const fs::directory_entry& file : fs::directory_iterator(kMacFixtures / variant))
      fs::copy_file(file.path(), result / file.path().filename(), fs::copy_options::overwrite_existing);
  }
  CTransferCoordinator coordinator;
  qztest::makeDataFiles(coordinator, dir.path(), result);
  const MacRun run{qztest::readFile(coordinator.outFiles().at(0)), qztest::readFile(coordinator.outFiles().at(1))};
  coordinator.cleanup();
  return run;
}

// The decoded file as JSON, its collection times (which vary) set to 0.
std::string decoded(const std::string& bytes) {
  tagDECODEDFILE file = decodeDataFile(bytes);
  EXPECT_LE(file.header.tmStart, file.header.tmEnd);
  EXPECT_GT(file.header.tmStart, 1700000000);
  file.header.tmStart = file.header.tmEnd = 0;
  return dataFileToJson(file);
}

void expectFiles(const std::string& fixture, const MacRun& run) {
  EXPECT_EQ(qztest::readFile(kMacFixtures / "expected" / (fixture + ".hardware.json")), decoded(run.hardwareBytes));
  EXPECT_EQ(qztest::readFile(kMacFixtures / "expected" / (fixture + ".software.json")), decoded(run.softwareBytes));
}

// The file with its two collection times (bytes of the header) zeroed.
std::string withoutTimes(const std::string& bytes) {
  const tagDECODEDFILE file = decodeDataFile(bytes);
  const auto field = [](const std::string& text) {
    const std::size_t length = wmi::UTF8toSJIS(text).size();
    return length == 0 ? 1 : length < 255 ? 1 + length : 3 + length;
  };
  const std::size_t start = field("QZ20") + 8 + field(file.header.strComputerName) + 4 +
                            field(file.header.strAgentVersion) + 4;
  std::string copy = bytes;
  copy.replace(start, 8, std::string(8, '\0'));
  return copy;
}

}  // namespace

TEST(MacInventory, IntelIMacGivesEveryCollectedFieldInComposedShiftJis) {
  const MacRun run = runOn("imac-2017");
  expectFiles("imac-2017", run);
  // Finder names arrive decomposed; the files hold the composed Shift-JIS
  // ("バックアップ", "プレビュー"), not base letters followed by "?".
  EXPECT_NE(std::string::npos, run.hardwareBytes.find("\x15/Volumes/\x83\x6F\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76"));
  EXPECT_NE(std::string::npos, run.softwareBytes.find(qztest::bytes("\x0A\x83\x76\x83\x8C\x83\x72\x83\x85\x81\x5B\x00\x04" "11.0")));
}

// Apple silicon (a minimal collection, and a full one on a current macOS after
// a rapid security response) and an Intel Mac whose integrated GPU drives no
// display: chip, cores, unified memory, adapters and versions as reported.
TEST(MacInventory, AppleSiliconAndTwoGpuIntelMacsGiveTheirReportedValues) {
  for (const char* machine : {"macbook-air-m2", "macbook-pro-m3", "macbook-pro-2019"}) {
    SCOPED_TRACE(machine);
    expectFiles(machine, runOn(machine));
  }
}

TEST(MacInventory, BinaryPropertyListsGiveTheSameFilesAsXml) {
  for (const char* machine : {"imac-2017", "macbook-air-m2", "macbook-pro-m3", "macbook-pro-2019"}) {
    const MacRun xml = runOn(machine);
    const MacRun binary = runOn(machine, kBinaryFixtures);
    expectFiles(machine, binary);
    EXPECT_EQ(withoutTimes(xml.hardwareBytes), withoutTimes(binary.hardwareBytes)) << machine;
    EXPECT_EQ(withoutTimes(xml.softwareBytes), withoutTimes(binary.softwareBytes)) << machine;
  }
}

// The graphics report's property list (video.xml) names the adapters of the
// English text report (video) whatever the Mac's language; the text of a Mac
// set to Japanese, read alone, names none. A Mac whose language writes a
// decimal comma ("2,3 GHz") gives the same clock speed.
TEST(MacInventory, EveryLanguageGivesTheFilesOfAnEnglishMac) {
  for (const char* machine : {"imac-2017", "macbook-air-m2", "macbook-pro-m3", "macbook-pro-2019"}) {
    SCOPED_TRACE(machine);
    expectFiles(machine, runOn(machine, kMacFixtures, {"video.xml"}));
    expectFiles(machine, runOn(machine, kMacFixtures, {"video"}));
  }
  expectFiles("macbook-pro-2019", runOn("macbook-pro-2019", kMacFixtures, {}, "japanese"));
  expectFiles("macbook-pro-2019", runOn("macbook-pro-2019", kMacFixtures, {}, "decimal-comma"));

  const tagDECODEDFILE textOnly =
      decodeDataFile(runOn("macbook-pro-2019", kMacFixtures, {"video.xml"}, "japanese").hardwareBytes);
  EXPECT_TRUE(textOnly.hardware.vecMonitor.empty());
}
