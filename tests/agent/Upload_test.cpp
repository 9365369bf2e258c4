// The coordinator's upload against a real Apache WebDAV spool on loopback:
// what reaches the server, in which order, and what the run reports.
#include "agent/CTransferCoordinator.h"
#include "agent/SpoolName.h"

#include "support/SpoolServer.h"
#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
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

std::string put(const std::string& name, const std::string& status, const std::string& user = "agent") {
  return "PUT /SPOOL/agent/decryptdata/" + name + " " + status + " " + user;
}

// The requests that deliver a data file under its own name: the claim, the
// look for a file of that name, the conditional PUT and the claim's release.
std::vector<std::string> delivery(const std::string& name) {
  const std::string claim = "/SPOOL/agent/claim-" + name.substr(0, name.size() - 4) + "/ ";
  return {"MKCOL " + claim + "201 agent", "HEAD /SPOOL/agent/decryptdata/" + name + " 404 agent", put(name, "201"),
          "DELETE " + claim + "204 agent"};
}

// Before its first claim a run tries a collection of a fresh name twice (the
// second must be refused), then looks for stale claims.
const std::vector<std::string> kEstablishing{
    "MKCOL /SPOOL/agent/claim-probe-* 201 agent", "MKCOL /SPOOL/agent/claim-probe-* 405 agent",
    "DELETE /SPOOL/agent/claim-probe-* 204 agent", "PROPFIND /SPOOL/agent/ 207 agent"};

// The requests, with the random part of a probe's name as "*".
std::vector<std::string> normalised(std::vector<std::string> requests) {
  static const std::regex probe("claim-probe-[0-9a-f]{16}/");
  for (std::string& request : requests) request = std::regex_replace(request, probe, "claim-probe-*");
  return requests;
}

std::vector<std::string> operator+(std::vector<std::string> first, const std::vector<std::string>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

std::vector<std::string> methods(const std::vector<std::string>& requests, const std::string& method) {
  std::vector<std::string> found;
  for (const std::string& request : requests)
    if (request.compare(0, method.size() + 1, method + " ") == 0) found.push_back(request);
  return found;
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
  EXPECT_EQ(std::vector<std::string>{"PROPFIND /SPOOL/ 207 agent"} + kEstablishing + delivery(run.names[0]) +
                delivery(run.names[1]),
            normalised(server.requests(13)));
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
  run.coordinator.setRetryBound(0);  // the agent-level test waits out the bound
  EXPECT_FALSE(run.upload());
  EXPECT_EQ("https://127.0.0.1:" + port + kFailed + "\n", run.output);
}

TEST(Upload, MissingSpoolFolderFailsEachFileButTriesThemAll) {
  SpoolServer server;
  fs::remove_all(server.spoolRoot() / "agent");
  CoordinatorRun run(configIni(std::to_string(server.port()), false));
  EXPECT_FALSE(run.upload());
  EXPECT_EQ((std::vector<std::string>{put(run.names[0], "409"), put(run.names[1], "409")}),
            methods(server.requests(7), "PUT"));
  EXPECT_EQ((std::vector<std::string>{"0/100", "0/" + run.total(), "0/" + run.total()}), run.progress());
}

// A data file gone before the upload is a failed upload, not the end of the run.
TEST(Upload, MissingDataFileCountsAsFailedAndTheOtherIsStillSent) {
  SpoolServer server;
  CoordinatorRun run(configIni(std::to_string(server.port()), false));
  fs::remove(run.coordinator.outFiles().at(0));
  EXPECT_FALSE(run.upload());
  EXPECT_EQ(std::vector<std::string>{"PROPFIND /SPOOL/ 207 agent"} + kEstablishing + delivery(run.names[1]),
            normalised(server.requests(9)));
  EXPECT_EQ(std::vector<std::string>{run.names[1]}, server.spooledFiles());
  EXPECT_EQ((std::vector<std::string>{"0/100", "0/" + run.size(1), run.size(1) + "/" + run.size(1)}),
            run.progress());
}

namespace {

// How the data file's own name is taken, and what the server allows.
struct TakenName {
  const char* label;
  std::string refuse;  // methods the server lacks (405)
  std::string forbid;  // methods the account may not use (403)
  bool claimed;        // another agent holds the claim, rather than the file being there
};

void PrintTo(const TakenName& taken, std::ostream* out) { *out << taken.label; }

// The offset in seconds (1 to 8, the first window) at which `name` moved
// to a name among `spooled`, or 0.
int movedBy(const std::string& name, const std::vector<std::string>& spooled) {
  for (int seconds = 1; seconds <= 8; ++seconds)
    if (std::find(spooled.begin(), spooled.end(), wmi::laterSpoolName(name, seconds)) != spooled.end())
      return seconds;
  return 0;
}

}  // namespace

class UploadWhenTaken : public testing::TestWithParam<TakenName> {};

TEST_P(UploadWhenTaken, FileLandsUnderALaterNameAndNothingIsReplacedOrLeftBehind) {
  const TakenName taken = GetParam();
  qztest::SpoolOptions options;
  options.refuse = taken.refuse;
  options.forbid = taken.forbid;
  SpoolServer server(options);
  CoordinatorRun run(configIni(std::to_string(server.port()), false));
  const std::string own = run.names[0];
  const std::string claim = "agent/claim-" + own.substr(0, own.size() - 4) + "/";
  std::vector<std::string> expected{"agent/", "agent/decryptdata/"};
  if (taken.claimed) {
    fs::create_directory(server.spoolRoot() / claim);
    expected.push_back(claim);  // another agent's, so not ours to remove
  } else {
    std::ofstream(server.spoolFolder().string() + "/" + own) << "an earlier inventory";
    expected.push_back("agent/decryptdata/" + own);
  }

  EXPECT_TRUE(run.upload());
  const std::vector<std::string> spooled = server.spooledFiles();
  const int seconds = movedBy(own, spooled);
  ASSERT_NE(0, seconds) << testing::PrintToString(server.requests());
  const std::string hardware = wmi::laterSpoolName(own, seconds);
  // The next file of the run starts where the first one landed.
  const std::string software = wmi::laterSpoolName(run.names[1], seconds);
  EXPECT_EQ(run.contents[0], qztest::readFile(server.spoolFolder() / hardware));
  EXPECT_EQ(run.contents[1], qztest::readFile(server.spoolFolder() / software));
  if (!taken.claimed) {
    EXPECT_EQ("an earlier inventory", qztest::readFile(server.spoolFolder() / own));
  }
  expected.push_back("agent/decryptdata/" + hardware);
  expected.push_back("agent/decryptdata/" + software);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, server.entries());
  EXPECT_EQ("UPDATE_PROGRESS\nUPDATE_PROGRESS\n", run.output);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, UploadWhenTaken,
    testing::Values(TakenName{"FileThere", "", "", false}, TakenName{"ClaimHeld", "", "", true},
                    TakenName{"NoCollections", "MKCOL MOVE", "", false},
                    TakenName{"CollectionsForbidden", "", "MKCOL", false},
                    // The look under the claim is refused: the conditional PUT finds the file.
                    TakenName{"FileHiddenFromHead", "", "GET", false}),
    [](const testing::TestParamInfo<TakenName>& info) { return info.param.label; });

TEST(Upload, RefusedPutFailsBothFilesAndLeavesNoClaim) {
  qztest::SpoolOptions options;
  options.forbid = "PUT";
  SpoolServer server(options);
  CoordinatorRun run(configIni(std::to_string(server.port()), false));
  EXPECT_FALSE(run.upload());
  // Refused before the login is looked at: no user in the log.
  EXPECT_EQ((std::vector<std::string>{put(run.names[0], "403", "-"), put(run.names[1], "403", "-")}),
            methods(server.requests(13), "PUT"));
  EXPECT_EQ((std::vector<std::string>{"agent/", "agent/decryptdata/"}), server.entries());
  EXPECT_EQ((std::vector<std::string>{"0/100", "0/" + run.total(), "0/" + run.total()}), run.progress());
}
