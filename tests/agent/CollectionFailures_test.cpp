// The coordinator on result folders whose collection script named sources
// it could not collect (result/failed): which data files are made, and what
// standard error says.
#include "InventoryRun.h"
#include "agent/CTransferCoordinator.h"
#include "inventory/DataFileReader.h"
#include "support/TestFiles.h"

#include <boost/filesystem/fstream.hpp>
#include <boost/filesystem/directory.hpp>
#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace fs = boost::filesystem;

namespace {

const fs::path kFixtures = QZ_FIXTURES_DIR;

// A collection of the Intel iMac, or a small Linux one.
void collectInto(const fs::path& result, bool mac) {
  fs::create_directory(result);
  if (mac) {
    for (const fs::directory_entry& file : fs::directory_iterator(kFixtures / "macos" / "imac-2017"))
      fs::copy_file(file.path(), result / file.path().filename());
    return;
  }
  fs::copy_file(kFixtures / "linux" / "system" / "cpuinfo-two-socket", result / "cpu");
  fs::copy_file(kFixtures / "linux" / "system" / "meminfo", result / "mem");
  fs::copy_file(kFixtures / "linux" / "packages" / "rpm-qa", result / "app");
  boost::filesystem::ofstream(result / "hostname") << "web01.example.com\n";
}

struct Outcome {
  std::string hardware, software;  // decoded, times aside; empty when not made
  std::string errors;
};

std::string fields(const std::string& file) {
  tagDECODEDFILE decoded = decodeDataFile(qztest::readFile(file));
  decoded.header.tmStart = decoded.header.tmEnd = 0;
  return dataFileToJson(decoded);
}

// One inventory over the collection with `marker` as result/failed: its
// text, "<none>", "<folder>" or "<fifo>".
Outcome inventory(bool mac, const std::string& marker) {
  qztest::ScratchDir dir;
  const fs::path result = dir.path() / "result";
  collectInto(result, mac);
  const fs::path failed = result / "failed";
  if (marker == "<folder>")
    fs::create_directory(failed);
  else if (marker == "<fifo>")
    mkfifo(failed.c_str(), 0600);  // opened, it would hold the run for ever
  else if (marker != "<none>")
    dir.write("result/failed", marker);
  CTransferCoordinator coordinator;
  testing::internal::CaptureStderr();
  qztest::makeDataFiles(coordinator, dir.path(), result);
  Outcome outcome;
  outcome.errors = testing::internal::GetCapturedStderr();
  for (const std::string& file : coordinator.outFiles())
    (fs::path(file).filename().string().compare(0, 7, "QZ-0-12") == 0 ? outcome.hardware : outcome.software) =
        fields(file);
  coordinator.cleanup();
  return outcome;
}

std::string withheld(const char* kind, const std::string& sources) {
  return std::string("qz-agent: the ") + kind +
         " data file is not sent, as a source it cannot do without was not collected: " + sources + "\n";
}

std::string leftOut(const std::string& source) {
  return "qz-agent: not collected, so left out of the data files: " + source + "\n";
}

struct Marked {
  const char* label;
  bool mac;
  std::string marker;
  bool hardware, software;  // the data files made
  std::string errors;
};

void PrintTo(const Marked& marked, std::ostream* out) { *out << marked.label; }

}  // namespace

class CollectionFailures : public testing::TestWithParam<Marked> {};

// The files that are made are those of the same collection without a marker.
TEST_P(CollectionFailures, FileBuiltOnAFailedEssentialSourceIsNotMadeOthersAreNamed) {
  const Marked marked = GetParam();
  const Outcome complete = inventory(marked.mac, "<none>");
  ASSERT_NE("", complete.hardware);
  ASSERT_NE("", complete.software);
  ASSERT_EQ("", complete.errors);
  const Outcome outcome = inventory(marked.mac, marked.marker);
  EXPECT_EQ(marked.hardware ? complete.hardware : "", outcome.hardware);
  EXPECT_EQ(marked.software ? complete.software : "", outcome.software);
  EXPECT_EQ(marked.errors, outcome.errors);
}

INSTANTIATE_TEST_SUITE_P(
    Markers, CollectionFailures,
    testing::Values(
        Marked{"MacApplications", true, "app\ttimed out after 600 s\n", true, false,
               withheld("software", "app (timed out after 600 s)")},
        Marked{"MacHardwareOverview", true, "hardware.xml\texit status 1\n", false, true,
               withheld("hardware", "hardware.xml (exit status 1)")},
        // cpu is essential on Linux only.
        Marked{"MacDisplaysAndLinuxSource", true, "video\ttimed out after 120 s\ncpu\tnot found\n", true, true,
               leftOut("video (timed out after 120 s)") + leftOut("cpu (not found)")},
        Marked{"LinuxIdentityAndPackages", false, "hostname\texit status 1\ncpu\tnot found\napp\texit status 2\n",
               false, false,
               withheld("hardware", "hostname (exit status 1), cpu (not found)") +
                   withheld("software", "app (exit status 2)")},
        Marked{"LinuxCutShortWithoutReason", false, "logical_disk\ttimed out after 30 s\r\napp", true, false,
               withheld("software", "app") + leftOut("logical_disk (timed out after 30 s)")},
        Marked{"LinuxLineOfControlBytesAndALongOne", false, "\x1b[2J\tx\n\n\t\n" + std::string(100000, 'x'), true,
               true, leftOut("?[2J (x)") + leftOut(std::string(200, 'x'))},
        Marked{"MarkerIsAFolder", false, "<folder>", true, true, ""},
        Marked{"MarkerIsAFifo", false, "<fifo>", true, true, ""}),
    [](const testing::TestParamInfo<Marked>& info) { return info.param.label; });
