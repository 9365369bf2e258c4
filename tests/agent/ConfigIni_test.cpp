// Config.ini read by line position, and the destination it implies.
#include "agent/CTransferCoordinator.h"

#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

namespace fs = boost::filesystem;

namespace {

// Reads the given Config.ini with the system temporary folder pointed at a
// scratch folder, and reports the server address through a failed upload.
struct LoadedConfig {
  explicit LoadedConfig(const std::string& content) {
    if (content != "<none>") config.write("Config.ini", content);
    setenv("TMPDIR", temp.path().c_str(), 1);
    coordinator.setConfigDir(config.path().string());
    coordinator.setDestDir("./");
    coordinator.init("./result");
    unsetenv("TMPDIR");
  }
  qztest::ScratchDir config;
  qztest::ScratchDir temp;
  CTransferCoordinator coordinator;
};

}  // namespace

TEST(ConfigIni, AbsentFileKeepsTheDestinationAndCreatesNothing) {
  LoadedConfig loaded("<none>");
  EXPECT_TRUE(loaded.coordinator.isDestDirRequired());
  EXPECT_EQ("./", loaded.coordinator.destDir());
  EXPECT_TRUE(fs::is_empty(loaded.temp.path()));
  testing::internal::CaptureStdout();
  EXPECT_TRUE(loaded.coordinator.upload());
  EXPECT_EQ("UPDATE_PROGRESS\n", testing::internal::GetCapturedStdout());
}

TEST(ConfigIni, PresentFileMakesAFreshDestinationInTheTemporaryFolder) {
  LoadedConfig loaded("host\n8080\n1\nuser\nsecret\n");
  EXPECT_FALSE(loaded.coordinator.isDestDirRequired());
  const fs::path dest = loaded.coordinator.destDir();
  EXPECT_EQ(loaded.temp.path(), dest.parent_path());
  EXPECT_TRUE(std::regex_match(dest.filename().string(),
                               std::regex("qz-transer[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}")));
  EXPECT_TRUE(fs::is_directory(dest));
  EXPECT_TRUE(loaded.coordinator.isValidDestFolder());
}
