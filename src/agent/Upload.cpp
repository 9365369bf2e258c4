// Sends the data files of the run into the server's spool folder: one
// PROPFIND on the spool root, then each data file, hardware first, under a
// name that no other machine has taken (see CSpoolDelivery.h).
#include "agent/CTransferCoordinator.h"

#include "agent/CRetrier.h"
#include "agent/CSpoolDelivery.h"

#include "webdav/client.h"

#include <boost/filesystem/fstream.hpp>
#include <boost/filesystem/operations.hpp>
#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = boost::filesystem;

const char kSpoolRoot[] = "/SPOOL/";
const char kSpoolFolder[] = "/agent/decryptdata/";
// Claims go beside the spool folder, or into it where only that is writable.
const char kClaimFolder[] = "/agent/";

bool isDataFile(const std::string& path) { return fs::path(path).filename().string().compare(0, 3, "QZ-") == 0; }

// Why a check failed when the server was refused by its verification (the
// message on standard output names only the address).
void explainRefusal(const WebDAV::Reply& reply, const std::string& authorities) {
  if (reply.error == CURLE_PEER_FAILED_VERIFICATION)
    std::cerr << "qz-agent: the server's certificate or host name does not verify against " << authorities << "\n";
  else if (reply.error == CURLE_SSL_PINNEDPUBKEYNOTMATCH)
    std::cerr << "qz-agent: the server's public key does not match the pin of Config.ini\n";
  else if (reply.error == CURLE_SSL_CACERT_BADFILE)
    std::cerr << "qz-agent: the CA file " << authorities << " is missing or unreadable\n";
}

// A file that has gone missing or cannot be measured counts as empty here;
// its upload then fails.
unsigned int sizeOf(const fs::path& file) {
  boost::system::error_code ec;
  const boost::uintmax_t size = fs::file_size(file, ec);
  return ec ? 0 : static_cast<unsigned int>(size);
}

// The data file whole, or empty when it cannot be read whole: a file cut
// short (a full disk, a file changed meanwhile) would blank an inventory.
std::string contentOf(const fs::path& file) {
  boost::system::error_code ec;
  const boost::uintmax_t size = fs::file_size(file, ec);
  fs::ifstream in(file, std::ios::binary);
  if (ec || !in) return std::string();
  std::string bytes(static_cast<std::size_t>(size), '\0');
  in.read(&bytes[0], static_cast<std::streamsize>(size));
  static const std::string kEndMarker = "QZ20EOF";
  const bool whole = static_cast<boost::uintmax_t>(in.gcount()) == size && in.peek() == std::char_traits<char>::eof() &&
                     bytes.size() >= kEndMarker.size() &&
                     bytes.compare(bytes.size() - kEndMarker.size(), kEndMarker.size(), kEndMarker) == 0;
  return whole ? bytes : std::string();
}

void sleepFor(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

double secondsNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

bool CTransferCoordinator::upload() {
  if (isDestDirRequired()) {  // no Config.ini: nothing to send
    sendProgress(100, 100);
    return true;
  }
  // Asked for a verified server, the agent must not silently send to an
  // unverified one.
  if (!strVerify.empty() && !bSecure) {
    std::cerr << "qz-agent: Config.ini asks to verify the server, but the connection is plain http: nothing sent\n";
    return false;
  }
  const WebDAV::dict_t verify = verifyOptions();
  WebDAV::dict_t options = verify;
  options.insert({{"webdav_hostname", serverAddress()},
                  {"webdav_login", strLogin},
                  {"webdav_password", strPassword},
                  {"webdav_root", kSpoolRoot}});
  const std::unique_ptr<WebDAV::Client> client(WebDAV::Client::Init(options));
  std::random_device entropy;
  CRetrier retrier(&sleepFor, &secondsNow, (static_cast<std::uint64_t>(entropy()) << 32) | entropy(), retryBound);
  const WebDAV::Reply checked = retrier.send([&] { return client->list("/").reply; });
  if (!checked.ok()) {
    explainRefusal(checked, WebDAV::get(verify, "ca_file"));
    sendMessage(serverAddress() + " に接続失敗しました。", mapParams);
    return false;
  }

  std::vector<fs::path> sendList;
  unsigned int total = 0;
  for (const std::string& file : vecOutFiles) {
    if (!isDataFile(file)) continue;
    sendList.push_back(file);
    total += sizeOf(file);
  }
  if (total == 0) sendProgress(100, 100);

  CSpoolDelivery delivery(*client, retrier, kSpoolFolder, {kClaimFolder, kSpoolFolder},
                          (static_cast<std::uint64_t>(entropy()) << 32) | entropy());
  bool result = nUnsentFiles == 0;
  unsigned int sent = 0;
  for (const fs::path& file : sendList) {
    const std::string content = contentOf(file);
    if (content.empty())
      std::cerr << "qz-agent: " << file.string() << " is missing or not whole, so it is not sent\n";
    if (!content.empty() && delivery.deliver(file.filename().string(), content))
      sent += static_cast<unsigned int>(content.size());
    else
      result = false;
    sendProgress(sent, total);
  }
  delivery.finish();
  return result;
}

std::string CTransferCoordinator::serverAddress() const {
  std::string address = (bSecure ? "https://" : "http://") + strHost;
  if (!strPort.empty()) address += ":" + strPort;
  return address;
}
