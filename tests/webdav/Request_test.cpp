// Which options turn on the client certificate and the proxy.
#include "webdav/request.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

using WebDAV::Request;

namespace {

bool certificateUsed(const WebDAV::dict_t& options) { return Request(nullptr, options).cert_required(); }
bool proxyUsed(const WebDAV::dict_t& options) { return Request(nullptr, options).proxy_enabled(); }

}  // namespace

TEST(Request, ClientCertificateNeedsBothFilesReadable) {
  qztest::ScratchDir dir;
  const std::string cert = dir.write("client.crt", "cert").string();
  const std::string key = dir.write("client.key", "key").string();
  const std::string missing = (dir.path() / "missing.pem").string();
  EXPECT_TRUE(certificateUsed({{"cert_path", cert}, {"key_path", key}}));
  EXPECT_FALSE(certificateUsed({{"cert_path", missing}, {"key_path", key}}));
  EXPECT_FALSE(certificateUsed({{"cert_path", cert}, {"key_path", missing}}));
  EXPECT_FALSE(certificateUsed({{"cert_path", cert}}));
  EXPECT_FALSE(certificateUsed({}));
}

TEST(Request, ProxyPasswordWithoutLoginDisablesTheProxy) {
  const std::string proxy = "http://127.0.0.1:3128";
  EXPECT_TRUE(proxyUsed({{"proxy_hostname", proxy}}));
  EXPECT_TRUE(proxyUsed({{"proxy_hostname", proxy}, {"proxy_login", "p"}}));
  EXPECT_TRUE(proxyUsed({{"proxy_hostname", proxy}, {"proxy_login", "p"}, {"proxy_password", "q"}}));
  EXPECT_FALSE(proxyUsed({{"proxy_hostname", proxy}, {"proxy_password", "q"}}));
  EXPECT_FALSE(proxyUsed({{"proxy_login", "p"}}));
}
