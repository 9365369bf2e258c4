// The agent program as deployed: a folder holding qz-agent and its script.
#include "support/TestFiles.h"

#include <boost/filesystem/directory.hpp>
#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <algorithm>

namespace fs = boost::filesystem;

namespace {

const std::string kRunMessages = std::string(qztest::kCollectionMessages) + "UPDATE_PROGRESS\nend\n";

// A deploy folder with the agent and a collection script of the given body.
void deploy(const qztest::ScratchDir& dir, const std::string& scriptBody) {
  fs::copy_file(QZ_AGENT_PATH, dir.path() / "qz-agent");
  const fs::path script = dir.write("macInventory.sh", "#!/bin/sh\n" + scriptBody);
  fs::permissions(script, fs::owner_all);
}

// Files of the folder tree, apart from the agent and its script.
std::vector<std::string> leftovers(const fs::path& root) {
  std::vector<std::string> found;
  for (fs::recursive_directory_iterator it(root), end; it != end; ++it) {
    const std::string name = it->path().filename().string();
    if (fs::is_regular_file(it->path()) && name != "qz-agent" && name != "macInventory.sh")
      found.push_back(fs::relative(it->path(), root).string());
  }
  return found;
}

}  // namespace

TEST(AgentRun, FailingScriptSkipsTheWholeRun) {
  qztest::ScratchDir dir;
  deploy(dir, "echo collecting\nexit 1\n");
  const qztest::CommandResult result = qztest::runIn(dir.path(), "./qz-agent");
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("start\ncollecting\nend\n", result.output);
  EXPECT_EQ(std::vector<std::string>{}, leftovers(dir.path()));
}

TEST(AgentRun, MissingScriptSkipsTheWholeRun) {
  qztest::ScratchDir dir;
  fs::copy_file(QZ_AGENT_PATH, dir.path() / "qz-agent");
  const qztest::CommandResult result = qztest::runIn(dir.path(), "./qz-agent 2>/dev/null");
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("start\nend\n", result.output);
}

TEST(AgentRun, EmptyCollectionPrintsTheRunAndLeavesNoFileBehind) {
  qztest::ScratchDir dir;
  qztest::ScratchDir temp;
  deploy(dir, "mkdir -p result\nexit 0\n");
  const qztest::CommandResult result = qztest::runIn(dir.path(), "TMPDIR='" + temp.path().string() + "' ./qz-agent");
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(kRunMessages, result.output);
  EXPECT_EQ(std::vector<std::string>{}, leftovers(dir.path()));
  EXPECT_EQ(std::vector<std::string>{}, leftovers(temp.path()));
}

TEST(AgentRun, DataFilesThatCannotBeWrittenAreReportedAndTheRunStillEnds) {
  qztest::ScratchDir dir;
  deploy(dir, "mkdir -p result\nexit 0\n");
  // A temporary folder that does not exist makes both data files fail.
  const qztest::CommandResult result =
      qztest::runIn(dir.path(), "TMPDIR=/nonexistent/qz ./qz-agent 2>stderr.txt");
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("start\n実行開始...\nUPDATE_PROGRESS\nハードウェア情報読込み中...\nソフトウェア情報読込み中...\n"
            "UPDATE_PROGRESS\nend\n",
            result.output);
  const std::string error = qztest::readFile(dir.path() / "stderr.txt");
  EXPECT_EQ(0u, error.find("qz-agent: the hardware data file was not written")) << error;
  EXPECT_NE(std::string::npos, error.find("\nqz-agent: the software data file was not written")) << error;
  EXPECT_EQ(2, std::count(error.begin(), error.end(), '\n'));
}
