// The client against a real Apache WebDAV server on loopback.
#include "webdav/client.h"

#include "support/SpoolServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>

using qztest::SpoolServer;

namespace {

using ClientPtr = std::unique_ptr<WebDAV::Client>;

ClientPtr clientFor(const std::string& url, WebDAV::dict_t extra = {}) {
  WebDAV::dict_t options{
      {"webdav_hostname", url}, {"webdav_login", "agent"}, {"webdav_password", "secret"}, {"webdav_root", "/SPOOL/"}};
  for (const auto& option : extra) options[option.first] = option.second;
  return ClientPtr(WebDAV::Client::Init(options));
}

const std::string kBinary = qztest::bytes("QZ20\0\x01\xff\x80\r\n\x1a tail");

int countCalls(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  ++*static_cast<int*>(context);
  return 0;
}

int abortTransfer(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) { return 1; }

}  // namespace

class ClientOverScheme : public testing::TestWithParam<bool> {};

TEST_P(ClientOverScheme, ChecksTheRootAndPutsBytesUnchangedUnderQuotedNames) {
  qztest::SpoolOptions options;
  options.https = GetParam();
  SpoolServer server(options);
  const ClientPtr client = clientFor(server.url());
  EXPECT_TRUE(client->check("/"));
  EXPECT_TRUE(client->check("/agent/decryptdata/"));
  EXPECT_FALSE(client->check("/missing/"));

  std::istringstream first(kBinary);
  EXPECT_TRUE(client->upload_from("/agent/decryptdata//QZ a&b+日本.dat", first));
  std::istringstream again(kBinary + "!");  // overwriting answers 204
  EXPECT_TRUE(client->upload_from("/agent/decryptdata//QZ a&b+日本.dat", again));
  EXPECT_EQ(std::vector<std::string>{"QZ a&b+日本.dat"}, server.spooledFiles());
  EXPECT_EQ(kBinary + "!", qztest::readFile(server.spoolFolder() / "QZ a&b+日本.dat"));
  EXPECT_EQ((std::vector<std::string>{"PROPFIND /SPOOL/ 207 agent", "PROPFIND /SPOOL/agent/decryptdata/ 207 agent",
                                      "PROPFIND /SPOOL/missing/ 404 agent",
                                      "PUT /SPOOL/agent/decryptdata/QZ a&b+\\xe6\\x97\\xa5\\xe6\\x9c\\xac.dat 201 agent",
                                      "PUT /SPOOL/agent/decryptdata/QZ a&b+\\xe6\\x97\\xa5\\xe6\\x9c\\xac.dat 204 agent"}),
            server.requests(5));
}

INSTANTIATE_TEST_SUITE_P(HttpAndHttps, ClientOverScheme, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Https" : "Http"; });

TEST(Client, RefusedCredentialsOrNoServerReadAsFailure) {
  SpoolServer server;
  EXPECT_FALSE(clientFor(server.url(), {{"webdav_password", "wrong"}})->check("/"));
  EXPECT_FALSE(clientFor(server.url(), {{"webdav_login", ""}, {"webdav_password", ""}})->check("/"));
  std::istringstream content(kBinary);
  EXPECT_FALSE(clientFor(server.url(), {{"webdav_password", "wrong"}})->upload_from("/agent/decryptdata/f", content));
  EXPECT_TRUE(server.spooledFiles().empty());
  EXPECT_FALSE(clientFor("http://127.0.0.1:" + std::to_string(qztest::freePort()))->check("/"));
}

TEST(Client, UploadFailsIntoAMissingFolderOrFromAFailedStream) {
  SpoolServer server;
  const ClientPtr client = clientFor(server.url());
  std::istringstream content(kBinary);
  EXPECT_FALSE(client->upload_from("/agent/missing/f.dat", content));
  std::istringstream failed(kBinary);
  failed.setstate(std::ios::failbit);
  EXPECT_FALSE(client->upload_from("/agent/decryptdata/failed.dat", failed));
  std::istringstream empty;
  EXPECT_TRUE(client->upload_from("/agent/decryptdata/empty.dat", empty));
  EXPECT_EQ(std::vector<std::string>{"empty.dat"}, server.spooledFiles());
  EXPECT_EQ("", qztest::readFile(server.spoolFolder() / "empty.dat"));
  EXPECT_EQ((std::vector<std::string>{"PUT /SPOOL/agent/missing/f.dat 409 agent",
                                      "PUT /SPOOL/agent/decryptdata/empty.dat 201 agent"}),
            server.requests(2));
}

TEST(Client, ProgressIsReportedAndCanAbortTheUpload) {
  SpoolServer server;
  const ClientPtr client = clientFor(server.url());
  int calls = 0;
  std::istringstream content(std::string(200000, 'x'));
  EXPECT_TRUE(client->upload_from("/agent/decryptdata/big.dat", content, &countCalls, &calls));
  EXPECT_GT(calls, 0);
  std::istringstream aborted(kBinary);
  EXPECT_FALSE(client->upload_from("/agent/decryptdata/aborted.dat", aborted, &abortTransfer));
  EXPECT_EQ(std::vector<std::string>{"big.dat"}, server.spooledFiles());
}

TEST(Client, ProxyIsUsedOnlyWithALogin) {
  SpoolServer server;
  const std::string deadProxy = "http://127.0.0.1:" + std::to_string(qztest::freePort());
  EXPECT_FALSE(clientFor(server.url(), {{"proxy_hostname", deadProxy}})->check("/"));
  EXPECT_FALSE(clientFor(server.url(), {{"proxy_hostname", deadProxy}, {"proxy_login", "p"}})->check("/"));
  EXPECT_TRUE(clientFor(server.url(), {{"proxy_hostname", deadProxy}, {"proxy_password", "q"}})->check("/"));
}

// Shortened limits stand in for the shipped 30 s connect and 60 s stall. The
// stall is measured over libcurl's few-second speed window, so the request
// bytes sent first delay it by some seconds.
TEST(Client, SilentServerFailsOnceTheLimitsRunOut) {
  qztest::SilentServer silent;
  const WebDAV::dict_t limits{{"connect_timeout", "2"}, {"low_speed_time", "2"}};
  for (const std::string scheme : {"http", "https"}) {
    const ClientPtr client = clientFor(scheme + "://127.0.0.1:" + std::to_string(silent.port()), limits);
    auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(client->check("/")) << scheme;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15)) << scheme;
    started = std::chrono::steady_clock::now();
    std::istringstream content(kBinary);
    EXPECT_FALSE(client->upload_from("/agent/decryptdata/f", content)) << scheme;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15)) << scheme;
  }
}
