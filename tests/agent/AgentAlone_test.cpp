// The agent copied alone into a folder, as administrators deploy it: no
// library beside it, only its collection script and Config.ini.
#include "inventory/DataFileReader.h"
#include "support/SpoolServer.h"
#include "support/TestFiles.h"

#include <boost/filesystem/directory.hpp>
#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fs = boost::filesystem;

namespace {

const fs::path kMacFixtures = fs::path(QZ_FIXTURES_DIR) / "macos";

struct Landed {
  std::string software, hardware;
};

// Runs the agent through `launcher` (a command that runs the program named
// after it) on the Intel iMac whose applications are those of
// decomposed/app, names as macOS writes them; returns the data files that
// reached the spool.
Landed runAlone(const std::string& launcher) {
  qztest::SpoolServer server;
  qztest::ScratchDir dir;
  fs::copy_file(QZ_AGENT_PATH, dir.path() / "qz-agent");
  fs::permissions(dir.write("macInventory.sh", "#!/bin/sh\nexit 0\n"), fs::owner_all);
  dir.write("Config.ini", "127.0.0.1\n" + std::to_string(server.port()) + "\n0\nagent\nsecret\n");
  const fs::path result = dir.path() / "result";
  fs::create_directory(result);
  for (const fs::directory_entry& file : fs::directory_iterator(kMacFixtures / "imac-2017"))
    fs::copy_file(file.path(), result / file.path().filename());
  fs::copy_file(kMacFixtures / "decomposed" / "app", result / "app", fs::copy_options::overwrite_existing);
  const qztest::CommandResult run = qztest::runIn(dir.path(), launcher + " ./qz-agent");
  EXPECT_EQ(std::string::npos, run.output.find("upload err")) << run.output;
  const std::vector<std::string> spooled = server.spooledFiles();  // software (01) before hardware (12)
  if (spooled.size() != 2) {
    ADD_FAILURE() << "files in the spool: " << spooled.size();
    return {};
  }
  return {qztest::readFile(server.spoolFolder() / spooled[0]), qztest::readFile(server.spoolFolder() / spooled[1])};
}

// glibc's converter modules, where this system keeps them.
fs::path gconvFolder() {
  std::vector<fs::path> candidates = {"/usr/lib64/gconv", "/usr/lib/gconv"};
  boost::system::error_code error;
  for (fs::directory_iterator entry("/usr/lib", error), end; !error && entry != end; entry.increment(error))
    candidates.push_back(entry->path() / "gconv");
  for (const fs::path& folder : candidates)
    if (fs::exists(folder / "gconv-modules", error) || fs::exists(folder / "gconv-modules.cache", error))
      return folder;
  return {};
}

// Every field of a data file as JSON, the collection times aside.
std::string fields(const std::string& bytes) {
  tagDECODEDFILE file = decodeDataFile(bytes);
  file.header.tmStart = file.header.tmEnd = 0;
  return dataFileToJson(file);
}

}  // namespace

TEST(AgentAlone, DecomposedNamesAreComposedAndTheFilesAreTheSameInEveryLocale) {
  const Landed bare = runAlone("env -i");
  const Landed utf8 = runAlone("env LANG=C.UTF-8 LC_ALL=C.UTF-8");
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

// Minimal RHEL-family installations lack glibc's Shift-JIS converter
// (glibc-gconv-extra): an empty folder mounted over the converter modules,
// in a mount namespace of the agent's own, stands for them.
TEST(AgentAlone, WritesTheSameFilesWithoutGlibcsConverterModules) {
  const fs::path gconv = gconvFolder();
  if (gconv.empty()) GTEST_SKIP() << "no folder of glibc converter modules found";
  const std::string hidden = "unshare --mount sh -c 'mount -t tmpfs none " + gconv.string() + " && exec \"$@\"' hide";
  if (qztest::runIn(".", hidden + " true 2>/dev/null").status != 0)
    GTEST_SKIP() << "cannot mount over " << gconv << " in a private mount namespace here (needs root or CAP_SYS_ADMIN)";
  ASSERT_NE(0, qztest::runIn(".", hidden + " iconv -f UTF-8 -t SHIFT-JIS </dev/null 2>/dev/null").status)
      << "glibc's converter still opens with " << gconv << " hidden";
  const Landed normal = runAlone("env -i");
  const Landed alone = runAlone(hidden + " env -i");
  EXPECT_EQ(fields(normal.software), fields(alone.software));
  EXPECT_EQ(fields(normal.hardware), fields(alone.hardware));
  EXPECT_EQ(normal.software.size(), alone.software.size());
  EXPECT_EQ(normal.hardware.size(), alone.hardware.size());
}
