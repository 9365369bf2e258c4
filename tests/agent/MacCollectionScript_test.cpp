// The collection script's macOS side, run by the agent on any system with
// stand-ins for the Mac commands first in PATH.
#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <chrono>

namespace fs = boost::filesystem;

namespace {

const fs::path kFixture = fs::path(QZ_FIXTURES_DIR) / "macos" / "imac-2017";

// A system_profiler whose reports take a second, the applications four; the
// NVMe report hangs as on a stale volume, the SATA one fails half-way.
const char kSystemProfiler[] = R"([ "$1" = -xml ] && shift
case $1 in
  SPHardwareDataType) file=hardware.xml ;;
  SPMemoryDataType) file=mem.xml ;;
  SPStorageDataType) file=logical_disk.xml ;;
  SPNetworkDataType) file=nics ;;
  SPDisplaysDataType) file=video ;;
  SPApplicationsDataType) sleep 3; file=app ;;
  SPNVMeDataType) exec sleep 60 ;;
  SPSerialATADataType) echo '<?xml version="1.0"'; exit 1 ;;
  *) exit 0 ;;
esac
sleep 1
exec cat "$FIXTURE/$file"
)";

void replaceOnce(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  ASSERT_NE(std::string::npos, at) << from;
  text.replace(at, from.size(), to);
}

void standIn(const qztest::ScratchDir& deploy, const std::string& name, const std::string& body) {
  fs::permissions(deploy.write("bin/" + name, "#!/bin/sh\n" + body), fs::owner_all);
}

}  // namespace

TEST(MacCollectionScript, ReportsRunSideBySideAndAHungOneEndsAtItsBound) {
  qztest::ScratchDir deploy;
  fs::copy_file(QZ_AGENT_PATH, deploy.path() / "qz-agent");
  // The shipped bounds (600 s for the applications, 120 s for the others),
  // shortened to 8 s and 3 s.
  std::string script = qztest::readFile(fs::path(QZ_SCRIPTS_DIR) / "macInventory.sh");
  replaceOnce(script, "\nAPPLICATIONS_BOUND=600\n", "\nAPPLICATIONS_BOUND=8\n");
  replaceOnce(script, "\nREPORT_BOUND=120\n", "\nREPORT_BOUND=3\n");
  fs::permissions(deploy.write("macInventory.sh", script), fs::owner_all);
  standIn(deploy, "system_profiler", kSystemProfiler);
  standIn(deploy, "uname", "echo Darwin\n");
  standIn(deploy, "sw_vers", "cat \"$FIXTURE/os\"\n");
  standIn(deploy, "hostname", "cat \"$FIXTURE/hostname\"\n");

  const auto start = std::chrono::steady_clock::now();
  const qztest::CommandResult run = qztest::runIn(
      deploy.path(), "FIXTURE='" + kFixture.string() + "' PATH=\"$PWD/bin:$PATH\" ./qz-agent 2>&1");
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  EXPECT_EQ(0, run.status);
  EXPECT_EQ(std::string(qztest::kCollectionMessages) + "UPDATE_PROGRESS\nend\n", run.output);
  // One after another the reports would take 15 s; the hung one would hold
  // the run for a minute.
  EXPECT_LT(seconds, 8.0);
  const fs::path result = deploy.path() / "result";
  for (const char* file : {"hardware.xml", "mem.xml", "logical_disk.xml", "nics", "video", "app", "os", "hostname"})
    EXPECT_EQ(qztest::readFile(kFixture / file), qztest::readFile(result / file)) << file;
  for (const char* file : {"nvme_disk.xml", "physical_disk.xml", "pata_disk.xml"}) {
    EXPECT_TRUE(fs::is_regular_file(result / file)) << file;
    EXPECT_EQ("", qztest::readFile(result / file)) << file;
  }
  EXPECT_EQ(11, std::distance(fs::directory_iterator(result), fs::directory_iterator()));  // no side files left
}
