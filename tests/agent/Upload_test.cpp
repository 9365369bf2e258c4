// The coordinator's upload against a real Apache WebDAV spool on loopback:
// what reaches the server, in which order, and what the run reports.
#include "agent/CTransferCoordinator.h"

#include "support/SpoolServer.h"
#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

namespace fs = boost::filesystem;
using qztest::SpoolServer;

namespace {

const char kFailed[] = " に接続失敗しました。";

std::string configIni(const std::string& port, bool https, const std::string& password = "secret") {
  return "127.0.0.1\n" + port + "\n" + (https ? "1" : "0") + "\nagent\n" + password + "\n";
}

// A coordinator that has read the given Config.ini and produced both data
// files from an empty collection, logging its messages to operations.log.
struct CoordinatorRun {
  explicit CoordinatorRun(const std::string& config) {
    dir.write("Config.ini", config);
    fs::create_directory(dir.path() / "result");
    setenv("TMPDIR", temp.path().c_str(), 1);
    coordinator.setConfigDir(dir.path().string());
    coordinator.setDestDir(dir.path().string());
    coordinator.init((dir.path() / "result").string());
    coordinator.setVersion("1.0.0.0");
    coordinator.clearListeners();
    testing::internal::CaptureStdout();
    coordinator.start();
    testing::internal::GetCapturedStdout();
    unsetenv("TMPDIR");
    for (const std::string& file : coordinator.outFiles()) {
      names.push_back(fs::path(file).filename().string());
      contents.push_back(qztest::readFile(file));
    }
  }

  bool upload() {
    testing::internal::CaptureStdout();
    const bool result = coordinator.upload();
    output = testing::internal::GetCapturedStdout();
    return result;
  }

  std::string log() const { return qztest::readFile(fs::path(coordinator.destDir()) / "operations.log"); }

  // The progress entries of the log as "uploaded/total", the run's (0, 100) first.
  std::vector<std::string> progress() const {
    static const std::regex entry("UPDATE_PROGRESS\nTOTAL_SIZE:(\\d+)\nUPLOADED_SIZE:(\\d+)");
    std::vector<std::string> found;
    const std::string text = log();
    for (std::sregex_iterator it(text.begin(), text.end(), entry), end; it != end; ++it)
      found.push_back((*it)[2].str() + "/" + (*it)[1].str());
    return found;
  }

  std::string size(std::size_t index) const { return std::to_string(contents.at(index).size()); }
  std::string total() const { return std::to_string(contents.at(0).size() + contents.at(1).size()); }

  qztest::ScratchDir dir;
  qztest::ScratchDir temp;
  CTransferCoordinator coordinator;
  std::vector<std::string> names;     // hardware, software
  std::vector<std::string> contents;  // as encoded, before the upload
  std::string output;
};

std::string put(const std::string& name, const std::string& status) {
  return "PUT /SPOOL/agent/decryptdata/" + name + " " + status + " agent";
}

struct Endpoint {
  bool https;
  bool defaultPort;
};

}  // namespace

class UploadTo : public testing::TestWithParam<Endpoint> {};

TEST_P(UploadTo, OnePropfindThenBothFilesByteForByteHardwareFirst) {
  const Endpoint endpoint = GetParam();
  qztest::SpoolOptions options;
  options.https = endpoint.https;
  if (endpoint.defaultPort) {
    options.port = endpoint.https ? 443 : 80;
    if (!qztest::portAvailable(options.port)) GTEST_SKIP() << "port " << options.port << " is not available";
  }
  SpoolServer server(options);
  CoordinatorRun run(configIni(endpoint.defaultPort ? "" : std::to_string(server.port()), endpoint.https));
  ASSERT_TRUE(std::regex_match(run.names[0], std::regex("QZ-0-12\\d{14}\\.dat")));

  EXPECT_TRUE(run.upload());
  EXPECT_EQ((std::vector<std::string>{"PROPFIND /SPOOL/ 207 agent", put(run.names[0], "201"),
                                      put(run.names[1], "201")}),
            server.requests(3));
  EXPECT_EQ(run.contents[0], qztest::readFile(server.spoolFolder() / run.names[0]));
  EXPECT_EQ(run.contents[1], qztest::readFile(server.spoolFolder() / run.names[1]));
  EXPECT_EQ("UPDATE_PROGRESS\nUPDATE_PROGRESS\n", run.output);
  EXPECT_EQ((std::vector<std::string>{"0/100", run.size(0) + "/" + run.total(), run.total() + "/" + run.total()}),
            run.progress());
  EXPECT_EQ(std::string::npos, run.log().find("secret"));

  const std::vector<std::string> files = run.coordinator.outFiles();
  run.coordinator.cleanup();
  EXPECT_FALSE(fs::exists(files[0]));
  EXPECT_FALSE(fs::exists(files[1]));
}

INSTANTIATE_TEST_SUITE_P(Endpoints, UploadTo,
                         testing::Values(Endpoint{false, false}, Endpoint{true, false}, Endpoint{false, true},
                                         Endpoint{true, true}),
                         [](const testing::TestParamInfo<Endpoint>& info) {
                           return std::string(info.param.https ? "Https" : "Http") +
                                  (info.param.defaultPort ? "DefaultPort" : "GivenPort");
                         });

TEST(Upload, RefusedPasswordReportsTheAddressAndSendsNoFile) {
  SpoolServer server;
  CoordinatorRun run(configIni(std::to_string(server.port()), false, "wrong-Pa55"));
  EXPECT_FALSE(run.upload());
  EXPECT_EQ(server.url() + kFailed + "\n", run.output);
  EXPECT_EQ(std::vector<std::string>{"PROPFIND /SPOOL/ 401 agent"}, server.requests(1));
  EXPECT_TRUE(server.spooledFiles().empty());
  EXPECT_EQ(std::string::npos, run.log().find("wrong-Pa55"));
}

TEST(Upload, NoServerListeningReportsTheAddress) {
  const std::string port = std::to_string(qztest::freePort());
  CoordinatorRun run(configIni(port, true));
  EXPECT_FALSE(run.upload());
  EXPECT_EQ("https://127.0.0.1:" + port + kFailed + "\n", run.output);
}

TEST(Upload, MissingSpoolFolderFailsEachFileButTriesThemAll) {
  SpoolServer server;
  fs::remove_all(server.spoolRoot() / "agent");
  CoordinatorRun run(configIni(std::to_string(server.port()), false));
  EXPECT_FALSE(run.upload());
  EXPECT_EQ((std::vector<std::string>{"PROPFIND /SPOOL/ 207 agent", put(run.names[0], "409"),
                                      put(run.names[1], "409")}),
            server.requests(3));
  EXPECT_EQ((std::vector<std::string>{"0/100", "0/" + run.total(), "0/" + run.total()}), run.progress());
}

// A data file gone before the upload is a failed upload, not the end of the run.
TEST(Upload, MissingDataFileCountsAsFailedAndTheOtherIsStillSent) {
  SpoolServer server;
  CoordinatorRun run(configIni(std::to_string(server.port()), false));
  fs::remove(run.coordinator.outFiles().at(0));
  EXPECT_FALSE(run.upload());
  EXPECT_EQ((std::vector<std::string>{"PROPFIND /SPOOL/ 207 agent", put(run.names[1], "201")}), server.requests(2));
  EXPECT_EQ(std::vector<std::string>{run.names[1]}, server.spooledFiles());
  EXPECT_EQ((std::vector<std::string>{"0/100", "0/" + run.size(1), run.size(1) + "/" + run.size(1)}),
            run.progress());
}
