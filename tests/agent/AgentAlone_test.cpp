// The agent copied alone into a folder, as administrators deploy it: no
// library beside it, only its collection script and Config.ini.
#include "inventory/DataFileReader.h"
#include "support/SpoolServer.h"
#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

namespace fs = boost::filesystem;

namespace {

const fs::path kMacFixtures = fs::path(QZ_FIXTURES_DIR) / "macos";

struct Landed {
  std::string software, hardware;
};

// Runs the agent with `environment` (the arguments of env) on the Intel iMac
// whose applications are those of decomposed/app, names as macOS writes them;
// returns the data files that reached the spool.
Landed runAlone(const std::string& environment) {
  qztest::SpoolServer server;
  qztest::ScratchDir dir;
  fs::copy_file(QZ_AGENT_PATH, dir.path() / "qz-agent");
  fs::permissions(dir.write("macInventory.sh", "#!/bin/sh\nexit 0\n"), fs::owner_all);
  dir.write("Config.ini", "127.0.0.1\n" + std::to_string(server.port()) + "\n0\nagent\nsecret\n");
  const fs::path result = dir.path() / "result";
  fs::create_directory(result);
  for (const fs::directory_entry& file : fs::directory_iterator(kMacFixtures / "imac-2017"))
    fs::copy_file(file.path(), result / file.path().filename());
  fs::copy_file(kMacFixtures / "decomposed" / "app", result / "app", fs::copy_option::overwrite_if_exists);
  const qztest::CommandResult run = qztest::runIn(dir.path(), "env " + environment + " ./qz-agent");
  EXPECT_EQ(std::string::npos, run.output.find("upload err")) << run.output;
  const std::vector<std::string> spooled = server.spooledFiles();  // software (01) before hardware (12)
  if (spooled.size() != 2) {
    ADD_FAILURE() << "files in the spool: " << spooled.size();
    return {};
  }
  return {qztest::readFile(server.spoolFolder() / spooled[0]), qztest::readFile(server.spoolFolder() / spooled[1])};
}

// Every field of a data file as JSON, the collection times aside.
std::string fields(const std::string& bytes) {
  tagDECODEDFILE file = decodeDataFile(bytes);
  file.header.tmStart = file.header.tmEnd = 0;
  return dataFileToJson(file);
}

}  // namespace

TEST(AgentAlone, DecomposedNamesAreComposedAndTheFilesAreTheSameInEveryLocale) {
  const Landed bare = runAlone("-i");
  const Landed utf8 = runAlone("LANG=C.UTF-8 LC_ALL=C.UTF-8");
  std::vector<std::string> names;
  for (const tagAPPLIDATASTRUCT& application : decodeDataFile(bare.software).applications)
    names.push_back(application.strName);
  const std::vector<std::string> expected = {
      "ダウンロード管理",
      "ЁЙйё\u212B≠がぎぐげござじずぜぞだぢづでどばぱびぴぶぷべぺぼぽゞガギグゲゴザジズゼゾダヂヅデドバパビピブプベペボポヴヾ",
      "Cafe Ubersicht", "Cafe Ubersicht"};  // written composed, then decomposed
  EXPECT_EQ(expected, names);
  EXPECT_EQ(fields(bare.software), fields(utf8.software));
  EXPECT_EQ(fields(bare.hardware), fields(utf8.hardware));
  EXPECT_EQ(bare.software.size(), utf8.software.size());
  EXPECT_EQ(bare.hardware.size(), utf8.hardware.size());
}
