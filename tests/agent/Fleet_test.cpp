// A fleet reporting in the same second: N deploy folders of the agent start
// at once against one Apache spool (N from QZ_FLEET_AGENTS, 50 by default).
// Every data file must land exactly once, under a name of the pattern, and
// nothing else may be left on the server. Prints the fleet's figures.
// Against a server without collections the agents fall back to conditional
// PUTs: each must still deliver, though Apache's late test of the condition
// may let two of them write one name.
#include "inventory/DataFileReader.h"
#include "support/SpoolServer.h"
#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <regex>

#include <spawn.h>
#include <sys/wait.h>

namespace fs = boost::filesystem;

extern char** environ;

namespace {

int fleetSize() {
  const char* size = std::getenv("QZ_FLEET_AGENTS");
  return size != nullptr && std::atoi(size) > 0 ? std::atoi(size) : 50;
}

// Waits (at most a minute) for the start signal, then collects only a host name.
std::string stubScript(const std::string& go, const std::string& host) {
  return "#!/bin/sh\n"
         "i=0\n"
         "while [ ! -e '" + go + "' ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i + 1)); done\n"
         "mkdir -p result && echo " + host + " >result/hostname\n";
}

pid_t spawnShell(const std::string& command) {
  pid_t pid = -1;
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
  return pid;
}

// Seconds from the end of the collection to the time stamp of the name.
long long driftOf(const std::string& name, const tagHEADERSTRUCT& header) {
  const std::string stamp = name.substr(7, 14);
  const long long named = qztest::mktimeOf(std::stoi(stamp.substr(0, 4)), std::stoi(stamp.substr(4, 2)),
                                           std::stoi(stamp.substr(6, 2)), std::stoi(stamp.substr(8, 2)),
                                           std::stoi(stamp.substr(10, 2)), std::stoi(stamp.substr(12, 2)));
  return named - header.tmEnd;
}

struct FleetRun {
  int agents = 0;
  int uploadErrors = 0;
  std::size_t temporaryLeft = 0;
  int lost = 0;        // agent files missing from the spool
  int duplicated = 0;  // agent files on the spool more than once
  std::size_t leftOver = 0;
};

FleetRun runFleet(const qztest::SpoolOptions& options) {
  FleetRun run;
  const int agents = run.agents = fleetSize();
  qztest::SpoolServer server(options);
  qztest::ScratchDir fleet;
  const std::string go = (fleet.path() / "go").string();
  const std::string config = "127.0.0.1\n" + std::to_string(server.port()) + "\n0\nagent\nsecret\n";
  std::vector<pid_t> running;
  for (int i = 0; i < agents; ++i) {
    const fs::path dir = fleet.path() / ("agent-" + std::to_string(i));
    fs::create_directories(dir / "tmp");
    fs::copy_file(QZ_AGENT_PATH, dir / "qz-agent");
    fs::permissions(fleet.write(dir.filename().string() + "/macInventory.sh", stubScript(go, dir.filename().string())),
                    fs::owner_all);
    fleet.write(dir.filename().string() + "/Config.ini", config);
    running.push_back(spawnShell("cd '" + dir.string() + "' && TMPDIR=tmp ./qz-agent >out.txt 2>err.txt"));
  }
  fleet.write("go", "");
  for (pid_t pid : running)
    if (pid > 0) waitpid(pid, nullptr, 0);

  for (int i = 0; i < agents; ++i) {
    const fs::path dir = fleet.path() / ("agent-" + std::to_string(i));
    const std::string output = qztest::readFile(dir / "out.txt");
    if (output.find("upload err") != std::string::npos) ++run.uploadErrors;
    EXPECT_EQ("end\n", output.substr(output.size() < 4 ? 0 : output.size() - 4)) << dir;
    for (fs::recursive_directory_iterator it(dir / "tmp"), end; it != end; ++it)
      if (fs::is_regular_file(it->path())) ++run.temporaryLeft;
  }

  // Every agent's hardware and software file, each once, under a proper name.
  static const std::regex pattern("QZ-0-(12|01)\\d{14}\\.dat");
  std::map<std::string, int> landed;
  long long largestDrift = 0;
  for (const std::string& name : server.spooledFiles()) {
    EXPECT_TRUE(std::regex_match(name, pattern)) << name;
    const tagDECODEDFILE file = decodeDataFile(qztest::readFile(server.spoolFolder() / name));
    ++landed[file.header.strComputerName + (file.kind == tagDECODEDFILE::Hardware ? "/hardware" : "/software")];
    largestDrift = std::max(largestDrift, driftOf(name, file.header));
  }
  for (int i = 0; i < agents; ++i)
    for (const char* kind : {"/hardware", "/software"}) {
      const auto found = landed.find("agent-" + std::to_string(i) + kind);
      if (found == landed.end()) ++run.lost;
      else if (found->second > 1) ++run.duplicated;
    }

  // Nothing but the two folders and the data files: no claim, no temporary file.
  for (const std::string& entry : server.entries())
    if (entry != "agent/" && entry != "agent/decryptdata/" &&
        !std::regex_match(entry, std::regex("agent/decryptdata/QZ-0-(12|01)\\d{14}\\.dat")))
      ++run.leftOver;

  const std::size_t requests = server.requests().size();
  std::cout << "fleet of " << agents << (options.refuse.empty() ? "" : " (server without " + options.refuse + ")")
            << ": files expected " << 2 * agents << ", landed " << server.spooledFiles().size() << ", lost "
            << run.lost << ", left over " << run.leftOver << ", upload err " << run.uploadErrors << ", requests "
            << requests << " (" << static_cast<double>(requests) / (2 * agents) << " per file), largest drift "
            << largestDrift << " s\n";
  return run;
}

}  // namespace

TEST(Fleet, AgentsStartedAtOnceLandEveryFileExactlyOnce) {
  const FleetRun run = runFleet(qztest::SpoolOptions());
  EXPECT_EQ(0, run.uploadErrors);
  EXPECT_EQ(0u, run.temporaryLeft);
  EXPECT_EQ(0, run.lost);
  EXPECT_EQ(0, run.duplicated);
  EXPECT_EQ(0u, run.leftOver);
}

TEST(Fleet, AgentsAgainstAServerWithoutCollectionsStillDeliver) {
  qztest::SpoolOptions options;
  options.refuse = "MKCOL MOVE";
  const FleetRun run = runFleet(options);
  EXPECT_EQ(0, run.uploadErrors);
  EXPECT_EQ(0u, run.temporaryLeft);
  EXPECT_EQ(0u, run.leftOver);
}
