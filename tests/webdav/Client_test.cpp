// The client against a real Apache WebDAV server on loopback.
#include "webdav/client.h"

#include "support/SpoolServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

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

bool listed(WebDAV::Client& client, const std::string& folder) { return client.list(folder).reply.ok(); }

}  // namespace

class ClientOverScheme : public testing::TestWithParam<bool> {};

TEST_P(ClientOverScheme, EveryOperationOfTheDeliveryOnOneServer) {
  qztest::SpoolOptions options;
  options.https = GetParam();
  SpoolServer server(options);
  const ClientPtr client = clientFor(server.url());
  const WebDAV::Listing root = client->list("/");
  ASSERT_TRUE(root.reply.ok());
  ASSERT_EQ(1u, root.entries.size());
  EXPECT_EQ("agent", root.entries[0].name);
  EXPECT_TRUE(root.entries[0].directory);
  EXPECT_GT(root.entries[0].modified, 0);
  EXPECT_EQ(404, client->list("/missing/").reply.status);

  const std::string name = "/agent/decryptdata//QZ a&b+日本.dat";
  EXPECT_EQ(404, client->probe(name).status);
  EXPECT_EQ(201, client->upload_new(name, kBinary).status);
  EXPECT_EQ(412, client->upload_new(name, kBinary + "!").status);  // never replaced
  EXPECT_EQ(static_cast<long long>(kBinary.size()), client->probe(name).contentLength);
  EXPECT_EQ(kBinary, qztest::readFile(server.spoolFolder() / "QZ a&b+日本.dat"));

  EXPECT_EQ(201, client->create_directory("/agent/claim-x/").status);
  EXPECT_EQ(405, client->create_directory("/agent/claim-x/").status);
  EXPECT_EQ(204, client->clean("/agent/claim-x/").status);
  EXPECT_EQ((std::vector<std::string>{"agent/", "agent/decryptdata/", "agent/decryptdata/QZ a&b+日本.dat"}),
            server.entries());
  EXPECT_EQ("PUT /SPOOL/agent/decryptdata/QZ a&b+\\xe6\\x97\\xa5\\xe6\\x9c\\xac.dat 201 agent", server.requests(5).at(3));
}

INSTANTIATE_TEST_SUITE_P(HttpAndHttps, ClientOverScheme, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Https" : "Http"; });

TEST(Client, RefusedCredentialsMissingFolderOrNoServerReadAsFailure) {
  SpoolServer server;
  EXPECT_EQ(401, clientFor(server.url(), {{"webdav_password", "wrong"}})->list("/").reply.status);
  EXPECT_FALSE(listed(*clientFor(server.url(), {{"webdav_login", ""}, {"webdav_password", ""}}), "/"));
  EXPECT_EQ(401, clientFor(server.url(), {{"webdav_password", "wrong"}})->upload_new("/agent/decryptdata/f", kBinary).status);
  EXPECT_EQ(409, clientFor(server.url())->upload_new("/agent/missing/f.dat", kBinary).status);
  EXPECT_TRUE(server.spooledFiles().empty());
  const WebDAV::Reply none = clientFor("http://127.0.0.1:" + std::to_string(qztest::freePort()))->list("/").reply;
  EXPECT_FALSE(none.completed);
  EXPECT_NE(std::string::npos, WebDAV::describe(none).find("no answer")) << WebDAV::describe(none);
}

TEST(Client, ProxyIsUsedOnlyWithALogin) {
  SpoolServer server;
  const std::string deadProxy = "http://127.0.0.1:" + std::to_string(qztest::freePort());
  EXPECT_FALSE(listed(*clientFor(server.url(), {{"proxy_hostname", deadProxy}}), "/"));
  EXPECT_FALSE(listed(*clientFor(server.url(), {{"proxy_hostname", deadProxy}, {"proxy_login", "p"}}), "/"));
  EXPECT_TRUE(listed(*clientFor(server.url(), {{"proxy_hostname", deadProxy}, {"proxy_password", "q"}}), "/"));
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
    EXPECT_FALSE(listed(*client, "/")) << scheme;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15)) << scheme;
    started = std::chrono::steady_clock::now();
    EXPECT_FALSE(client->upload_new("/agent/decryptdata/f", kBinary).completed) << scheme;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15)) << scheme;
  }
}
