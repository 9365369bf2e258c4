// Config.ini read by line position, and the destination it implies.
#include "agent/CTransferCoordinator.h"

#include "support/SpoolServer.h"
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
    coordinator.setRetryBound(0);  // a server that is not there stays away
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

namespace {

// Uploads nothing (start was not run) but checks the server, so the address
// and the account that Config.ini gave become visible.
std::string failedUploadMessage(LoadedConfig& loaded) {
  testing::internal::CaptureStdout();
  EXPECT_FALSE(loaded.coordinator.upload());
  return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(ConfigIni, CrLfLinesAreTrimmedAndOneSelectsHttps) {
  qztest::SpoolOptions options;
  options.https = true;
  qztest::SpoolServer server(options);
  LoadedConfig loaded("127.0.0.1\r\n" + std::to_string(server.port()) + "\r\n1\r\nagent\r\nsecret\r\n");
  testing::internal::CaptureStdout();
  EXPECT_TRUE(loaded.coordinator.upload());
  EXPECT_EQ("UPDATE_PROGRESS\n", testing::internal::GetCapturedStdout());
  EXPECT_EQ(std::vector<std::string>{"PROPFIND /SPOOL/ 207 agent"}, server.requests(1));
}

TEST(ConfigIni, SecureFlagIsExactlyOneAfterTrimming) {
  const std::string port = std::to_string(qztest::freePort());
  const std::string failed = "127.0.0.1:" + port + " に接続失敗しました。\n";
  for (const std::string flag : {" 1 \t", "1"}) {
    LoadedConfig loaded("127.0.0.1\n" + port + "\n" + flag + "\nu\np\n");
    EXPECT_EQ("https://" + failed, failedUploadMessage(loaded)) << flag;
  }
  for (const std::string flag : {"true", "01", "yes", ""}) {
    LoadedConfig loaded("127.0.0.1\n" + port + "\n" + flag + "\nu\np\n");
    EXPECT_EQ("http://" + failed, failedUploadMessage(loaded)) << flag;
  }
}

TEST(ConfigIni, MissingLinesGiveEmptyFields) {
  qztest::SpoolServer server;
  const std::string port = std::to_string(server.port());
  LoadedConfig terminated("127.0.0.1\n" + port + "\n");
  EXPECT_EQ(server.url() + " に接続失敗しました。\n", failedUploadMessage(terminated));

  // An unterminated last line must not be repeated into the later fields:
  // the login and password stay empty instead of becoming "agent".
  qztest::SpoolOptions options;
  options.login = "agent";
  options.password = "agent";
  qztest::SpoolServer lenient(options);
  LoadedConfig unterminated("127.0.0.1\n" + std::to_string(lenient.port()) + "\n0\nagent");
  EXPECT_EQ(lenient.url() + " に接続失敗しました。\n", failedUploadMessage(unterminated));
  EXPECT_EQ(std::vector<std::string>{"PROPFIND /SPOOL/ 401 agent"}, lenient.requests(1));
}
