// The collection script's macOS side, run by the agent on any system with
// stand-ins for the Mac commands first in PATH.
#include "inventory/DataFileReader.h"
#include "support/SpoolServer.h"
#include "support/TestFiles.h"

#include <boost/filesystem/directory.hpp>
#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <chrono>

namespace fs = boost::filesystem;

namespace {

const fs::path kFixture = fs::path(QZ_FIXTURES_DIR) / "macos" / "imac-2017";

// A system_profiler whose reports take a second, the applications three,
// unless one of `oddReports` (case branches, first match wins) says otherwise.
std::string systemProfiler(const std::string& oddReports) {
  return "[ \"$1\" = -xml ] && shift\ncase $1 in\n" + oddReports + R"(
  SPHardwareDataType) file=hardware.xml ;;
  SPMemoryDataType) file=mem.xml ;;
  SPStorageDataType) file=logical_disk.xml ;;
  SPNetworkDataType) file=nics ;;
  SPDisplaysDataType) file=video.xml ;;
  SPApplicationsDataType) sleep 2; file=app ;;
  *) exit 0 ;;
esac
sleep 1
exec cat "$FIXTURE/$file"
)";
}

void replaceOnce(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  ASSERT_NE(std::string::npos, at) << from;
  text.replace(at, from.size(), to);
}

// A deploy folder of the agent and the real script, its bounds (600 s for
// the applications, 120 s for the others) shortened, with stand-ins for the
// Mac commands.
struct MacDeploy {
  MacDeploy(const std::string& oddReports, int applicationsBound, int reportBound) {
    fs::copy_file(QZ_AGENT_PATH, dir.path() / "qz-agent");
    std::string script = qztest::readFile(fs::path(QZ_SCRIPTS_DIR) / "macInventory.sh");
    replaceOnce(script, "\nAPPLICATIONS_BOUND=600\n", "\nAPPLICATIONS_BOUND=" + std::to_string(applicationsBound) + "\n");
    replaceOnce(script, "\nREPORT_BOUND=120\n", "\nREPORT_BOUND=" + std::to_string(reportBound) + "\n");
    fs::permissions(dir.write("macInventory.sh", script), fs::owner_all);
    standIn("system_profiler", systemProfiler(oddReports));
    standIn("uname", "echo Darwin\n");
    standIn("sw_vers", "cat \"$FIXTURE/os\"\n");
    standIn("hostname", "cat \"$FIXTURE/hostname\"\n");
  }
  void standIn(const std::string& name, const std::string& body) const {
    fs::permissions(dir.write("bin/" + name, "#!/bin/sh\n" + body), fs::owner_all);
  }
  qztest::CommandResult run() const {
    return qztest::runIn(dir.path(), "FIXTURE='" + kFixture.string() + "' PATH=\"$PWD/bin:$PATH\" TMPDIR='" +
                                         temp.path().string() + "' ./qz-agent 2>stderr.txt");
  }
  std::string errors() const { return qztest::readFile(dir.path() / "stderr.txt"); }
  fs::path result() const { return dir.path() / "result"; }

  qztest::ScratchDir dir;
  qztest::ScratchDir temp;
};

}  // namespace

TEST(MacCollectionScript, ReportsRunSideBySideAndAHungOneEndsAtItsBound) {
  // The NVMe report hangs as on a stale volume, the SATA one fails half-way.
  const MacDeploy deploy("  SPNVMeDataType) exec sleep 60 ;;\n"
                         "  SPSerialATADataType) echo '<?xml version=\"1.0\"'; exit 1 ;;\n",
                         8, 3);
  const auto start = std::chrono::steady_clock::now();
  const qztest::CommandResult run = deploy.run();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  EXPECT_EQ(0, run.status);
  EXPECT_EQ(std::string(qztest::kCollectionMessages) + "UPDATE_PROGRESS\nend\n", run.output);
  // One after another the reports would take 15 s; the hung one would hold
  // the run for a minute.
  EXPECT_LT(seconds, 8.0);
  const fs::path result = deploy.result();
  for (const char* file : {"hardware.xml", "mem.xml", "logical_disk.xml", "nics", "video.xml", "app", "os", "hostname"})
    EXPECT_EQ(qztest::readFile(kFixture / file), qztest::readFile(result / file)) << file;
  for (const char* file : {"nvme_disk.xml", "physical_disk.xml", "pata_disk.xml"}) {
    EXPECT_TRUE(fs::is_regular_file(result / file)) << file;
    EXPECT_EQ("", qztest::readFile(result / file)) << file;
  }
  // A report with nothing to say (no parallel ATA) is no failure.
  EXPECT_EQ("physical_disk.xml\texit status 1\nnvme_disk.xml\ttimed out after 3 s\n",
            qztest::readFile(result / "failed"));
  EXPECT_EQ("qz-agent: not collected, so left out of the data files: physical_disk.xml (exit status 1)\n"
            "qz-agent: not collected, so left out of the data files: nvme_disk.xml (timed out after 3 s)\n",
            deploy.errors());
  EXPECT_EQ(12, std::distance(fs::directory_iterator(result), fs::directory_iterator()));  // no side files left
}

// The applications report of a large Mac, or one held by a stale network
// mount, must not reach the spool as a Mac without applications.
TEST(MacCollectionScript, HungApplicationsReportSendsTheHardwareFileOnly) {
  qztest::SpoolServer server;
  // The other reports get time enough to end on a loaded machine.
  const MacDeploy deploy("  SPApplicationsDataType) exec sleep 60 ;;\n", 5, 30);
  deploy.dir.write("Config.ini", "127.0.0.1\n" + std::to_string(server.port()) + "\n0\nagent\nsecret\n");
  const qztest::CommandResult run = deploy.run();

  EXPECT_EQ(0, run.status);
  std::string messages = qztest::kCollectionMessages;
  replaceOnce(messages, "ソフトウェア情報作成完了\n", "");
  EXPECT_EQ(messages + "UPDATE_PROGRESS\nupload err\nend\n", run.output);
  EXPECT_EQ("qz-agent: the software data file is not sent, as a source it cannot do without was not collected: "
            "app (timed out after 5 s)\n",
            deploy.errors());
  const std::vector<std::string> spooled = server.spooledFiles();
  ASSERT_EQ(1u, spooled.size());
  EXPECT_EQ(tagDECODEDFILE::Hardware, decodeDataFile(qztest::readFile(server.spoolFolder() / spooled[0])).kind);
}
