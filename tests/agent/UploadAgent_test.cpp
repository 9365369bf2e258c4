// The agent program with a Config.ini: the whole run against a real spool
// server, and the run's end when the server fails it.
#include "inventory/DataFileReader.h"
#include "support/SpoolServer.h"
#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <chrono>

namespace fs = boost::filesystem;
using qztest::SpoolServer;

namespace {

// A deploy folder: the agent, a collection script that collects nothing,
// and, unless empty, the given Config.ini. The agent's temporary folder is
// a scratch folder of its own.
struct Deployed {
  explicit Deployed(const std::string& config) {
    fs::copy_file(QZ_AGENT_PATH, dir.path() / "qz-agent");
    fs::permissions(dir.write("macInventory.sh", "#!/bin/sh\nmkdir -p result\n"), fs::owner_all);
    if (!config.empty()) dir.write("Config.ini", config);
  }

  qztest::CommandResult run() const {
    return qztest::runIn(dir.path(), "TMPDIR='" + temp.path().string() + "' ./qz-agent 2>stderr.txt");
  }
  std::string errors() const { return qztest::readFile(dir.path() / "stderr.txt"); }

  // Regular files left in the temporary folder (the run's empty folder aside).
  std::size_t filesLeft() const {
    std::size_t count = 0;
    for (fs::recursive_directory_iterator it(temp.path()), end; it != end; ++it)
      if (fs::is_regular_file(it->path())) ++count;
    return count;
  }

  qztest::ScratchDir dir;
  qztest::ScratchDir temp;
};

std::string configFor(int port, const std::string& password) {
  return "127.0.0.1\n" + std::to_string(port) + "\n0\nagent\n" + password + "\n";
}

}  // namespace

TEST(UploadAgent, RunLandsBothDataFilesInTheSpoolAndLeavesNoneBehind) {
  SpoolServer server;
  Deployed agent(configFor(server.port(), "secret"));
  const qztest::CommandResult result = agent.run();
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(std::string(qztest::kCollectionMessages) + "UPDATE_PROGRESS\nUPDATE_PROGRESS\nend\n", result.output);
  EXPECT_EQ("", agent.errors());
  const std::vector<std::string> spooled = server.spooledFiles();
  ASSERT_EQ(2u, spooled.size());
  // Sorted by name: the software file (01) before the hardware file (12).
  EXPECT_EQ(tagDECODEDFILE::Software, decodeDataFile(qztest::readFile(server.spoolFolder() / spooled[0])).kind);
  EXPECT_EQ(tagDECODEDFILE::Hardware, decodeDataFile(qztest::readFile(server.spoolFolder() / spooled[1])).kind);
  EXPECT_EQ(0u, agent.filesLeft());
}

TEST(UploadAgent, RefusedPasswordPrintsTheAddressAndUploadErrWithoutThePassword) {
  SpoolServer server;
  Deployed agent(configFor(server.port(), "Wr0ng-pass"));
  const qztest::CommandResult result = agent.run();
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(std::string(qztest::kCollectionMessages) + server.url() + " に接続失敗しました。\nupload err\nend\n", result.output);
  EXPECT_EQ(std::string::npos, (result.output + agent.errors()).find("Wr0ng-pass"));
  EXPECT_EQ(0u, agent.filesLeft());
  EXPECT_TRUE(server.spooledFiles().empty());
}

TEST(UploadAgent, WithoutConfigNoRequestReachesTheServer) {
  SpoolServer server;
  Deployed agent("");
  const qztest::CommandResult result = agent.run();
  EXPECT_EQ(std::string(qztest::kCollectionMessages) + "UPDATE_PROGRESS\nend\n", result.output);
  EXPECT_TRUE(server.requests().empty());
}

// With the shipped limits: the check stalls for 60 s (plus libcurl's speed
// window), then the run ends as an ordinary failed upload.
TEST(UploadAgent, ServerThatNeverAnswersEndsTheRunWithinTwoMinutes) {
  qztest::SilentServer silent;
  Deployed agent(configFor(silent.port(), "secret"));
  const auto started = std::chrono::steady_clock::now();
  const qztest::CommandResult result = agent.run();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::minutes(2));
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(std::string(qztest::kCollectionMessages) + "http://127.0.0.1:" + std::to_string(silent.port()) +
                " に接続失敗しました。\nupload err\nend\n",
            result.output);
  EXPECT_EQ(0u, agent.filesLeft());
}
