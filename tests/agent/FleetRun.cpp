#include "FleetRun.h"

#include "inventory/DataFileReader.h"

#include <boost/filesystem/directory.hpp>
#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <regex>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace qztest {

namespace fs = boost::filesystem;

namespace {

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

std::size_t entriesBelow(const fs::path& folder) {
  std::size_t count = 0;
  boost::system::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) ++count;
  return count;
}

// "agent-7/hardware" for each data file on the spool, with how often it landed.
std::map<std::string, int> landedFiles(const SpoolServer& server) {
  static const std::regex pattern("QZ-0-(12|01)\\d{14}\\.dat");
  std::map<std::string, int> landed;
  for (const std::string& name : server.spooledFiles()) {
    EXPECT_TRUE(std::regex_match(name, pattern)) << name;
    const std::string content = readFile(server.spoolFolder() / name);
    try {
      const tagDECODEDFILE file = decodeDataFile(content);
      ++landed[file.header.strComputerName + (file.kind == tagDECODEDFILE::Hardware ? "/hardware" : "/software")];
    } catch (const std::exception& error) {
      ADD_FAILURE() << name << " on the spool is not a whole data file: " << error.what();
    }
  }
  return landed;
}

}  // namespace

int fleetSize(int fallback) {
  const char* size = std::getenv("QZ_FLEET_AGENTS");
  return size != nullptr && std::atoi(size) > 0 ? std::atoi(size) : fallback;
}

FleetResult runFleet(const SpoolServer& server, const FleetOptions& options,
                     const std::function<std::size_t()>& requestCount) {
  FleetResult run;
  ScratchDir fleet;
  const std::string go = (fleet.path() / "go").string();
  const int port = options.port != 0 ? options.port : server.port();
  const std::string config = "127.0.0.1\n" + std::to_string(port) + "\n0\nagent\nsecret\n";
  std::vector<pid_t> running;
  for (int i = 0; i < options.agents; ++i) {
    const std::string name = "agent-" + std::to_string(i);
    const fs::path dir = fleet.path() / name;
    fs::create_directories(dir / "tmp");
    fs::copy_file(QZ_AGENT_PATH, dir / "qz-agent");
    fs::permissions(fleet.write(name + "/macInventory.sh", stubScript(go, name)), fs::owner_all);
    fleet.write(name + "/Config.ini", config);
    const std::string temporary = options.temporary.empty() ? "tmp" : options.temporary;
    running.push_back(spawnShell("cd '" + dir.string() + "' && TMPDIR='" + temporary + "' ./qz-agent >out.txt 2>err.txt"));
  }
  fleet.write("go", "");
  if (options.meanwhile) options.meanwhile();
  for (pid_t pid : running)
    if (pid > 0) waitpid(pid, nullptr, 0);

  const std::map<std::string, int> landed = landedFiles(server);
  for (int i = 0; i < options.agents; ++i) {
    const std::string name = "agent-" + std::to_string(i);
    const fs::path dir = fleet.path() / name;
    const std::string output = readFile(dir / "out.txt");
    const bool reported = output.find("upload err") != std::string::npos;
    if (reported) {
      ++run.uploadErrors;
      std::cout << name << ": " << readFile(dir / "err.txt");
    }
    EXPECT_EQ("end\n", output.substr(output.size() < 4 ? 0 : output.size() - 4)) << dir;
    run.leftInTemporary += entriesBelow(dir / "tmp");
    for (const char* kind : {"/hardware", "/software"}) {
      ++run.expected;
      const auto found = landed.find(name + kind);
      if (found == landed.end())
        ++(reported ? run.reported : run.silent);
      else
        ++(found->second > 1 ? run.duplicated : run.landed);
    }
  }
  if (!options.temporary.empty()) run.leftInTemporary += entriesBelow(options.temporary);

  static const std::regex dataFile("agent/decryptdata/QZ-0-(12|01)\\d{14}\\.dat");
  for (const std::string& entry : server.entries())
    if (entry != "agent/" && entry != "agent/decryptdata/" && !std::regex_match(entry, dataFile)) ++run.leftOnSpool;
  run.requests = requestCount();

  std::cout << "fleet of " << options.agents << (options.label.empty() ? "" : " (" + options.label + ")")
            << ": files expected " << run.expected << ", landed " << run.landed << ", reported " << run.reported
            << ", silently lost " << run.silent << ", duplicated " << run.duplicated << ", left on the spool "
            << run.leftOnSpool << ", left in temporary folders " << run.leftInTemporary << ", upload err "
            << run.uploadErrors << ", requests " << run.requests << " ("
            << static_cast<double>(run.requests) / run.expected << " per file)\n";
  return run;
}

}  // namespace qztest
