// The agent program with a Config.ini: the whole run against a real spool
// server, and the run's end when the server fails it.
#include "inventory/DataFileReader.h"
#include "support/SpoolServer.h"
#include "support/TestFiles.h"

#include <boost/filesystem/directory.hpp>
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

// With the shipped limits: each try of the check stalls for 60 s (plus
// libcurl's speed window) and is tried again until the retry bound of 3
// minutes has passed; then the run ends as an ordinary failed upload.
TEST(UploadAgent, ServerThatNeverAnswersEndsTheRunWithinTheRetryBound) {
  qztest::SilentServer silent;
  Deployed agent(configFor(silent.port(), "secret"));
  const auto started = std::chrono::steady_clock::now();
  const qztest::CommandResult result = agent.run();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::minutes(5));
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(std::string(qztest::kCollectionMessages) + "http://127.0.0.1:" + std::to_string(silent.port()) +
                " に接続失敗しました。\nupload err\nend\n",
            result.output);
  EXPECT_EQ(0u, agent.filesLeft());
}

namespace {

// Certificates made for the test run: a CA, a server certificate it signed
// for 127.0.0.1 and one for another host name, another CA, and the pin of
// the first server key.
struct Certificates {
  Certificates() {
    const qztest::CommandResult made = qztest::runIn(dir.path(), std::string(R"(
      ca() { openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=$1" -keyout $1.key -out $1.crt \
               -addext basicConstraints=critical,CA:TRUE; }
      server() { openssl req -newkey rsa:2048 -nodes -subj "/CN=$2" -keyout $1.key -out $1.csr &&
                 printf 'subjectAltName=%s\nbasicConstraints=critical,CA:FALSE\n' "$2" >$1.ext &&
                 openssl x509 -req -in $1.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 -extfile $1.ext -out $1.crt; }
      { ca ca && ca other && server right IP:127.0.0.1 && server elsewhere DNS:spool.example.com; } >/dev/null 2>&1 &&
      openssl x509 -in right.crt -pubkey -noout | openssl pkey -pubin -outform der | openssl dgst -sha256 -binary | base64
    )"));
    if (made.status != 0) throw std::runtime_error("openssl could not make the certificates");
    pin = "sha256//" + made.output.substr(0, made.output.find('\n'));
  }
  std::string file(const std::string& name) const { return (dir.path() / name).string(); }

  qztest::ScratchDir dir;
  std::string pin;
};

const Certificates& certificates() {
  static const Certificates made;
  return made;
}

struct Verification {
  const char* label;
  bool https;
  const char* serverCertificate;  // "right" or "elsewhere"
  std::string line6;              // "<pin>" stands for the right pin
  const char* reason;             // on standard error; empty when the files land
};

void PrintTo(const Verification& verification, std::ostream* out) { *out << verification.label; }

}  // namespace

class UploadAgentVerifying : public testing::TestWithParam<Verification> {};

TEST_P(UploadAgentVerifying, ServerThatFailsSeesNoRequest) {
  const Verification verification = GetParam();
  qztest::SpoolOptions options;
  options.https = verification.https;
  options.password = "S3cret-pw";
  options.certificate = certificates().file(std::string(verification.serverCertificate) + ".crt");
  options.key = certificates().file(std::string(verification.serverCertificate) + ".key");
  SpoolServer server(options);
  const std::string line6 = verification.line6 == "<pin>" ? "sha256//bm90IHRoZSBrZXk=;" + certificates().pin
                                                            : verification.line6;
  Deployed agent("127.0.0.1\n" + std::to_string(server.port()) + (verification.https ? "\n1" : "\n0") +
                 "\nagent\nS3cret-pw\n  " + line6 + "  \n");
  fs::copy_file(certificates().file("ca.crt"), agent.dir.path() / "ca.crt");
  const qztest::CommandResult result = agent.run();
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(std::string::npos, (result.output + agent.errors()).find("S3cret-pw"));
  if (std::string(verification.reason).empty()) {
    EXPECT_EQ("", agent.errors());
    EXPECT_EQ(2u, server.spooledFiles().size());
    return;
  }
  EXPECT_NE(std::string::npos, agent.errors().find(verification.reason)) << agent.errors();
  const std::string refused = verification.https ? server.url() + " に接続失敗しました。\n" : "";
  EXPECT_EQ(std::string(qztest::kCollectionMessages) + refused + "upload err\nend\n", result.output);
  EXPECT_TRUE(server.requests().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Line6, UploadAgentVerifying,
    testing::Values(Verification{"RightCaFile", true, "right", "ca.crt", ""},
                    Verification{"OtherCaFile", true, "right", certificates().file("other.crt"), "does not verify"},
                    Verification{"OtherHostName", true, "elsewhere", "ca.crt", "does not verify"},
                    Verification{"RightPin", true, "right", "<pin>", ""},
                    Verification{"WrongPin", true, "right", "sha256//bm90IHRoZSBrZXk=", "does not match"},
                    Verification{"MissingCaFile", true, "right", "missing.pem", "missing or unreadable"},
                    Verification{"PlainHttp", false, "right", "ca.crt", "plain http"}),
    [](const testing::TestParamInfo<Verification>& info) { return info.param.label; });
