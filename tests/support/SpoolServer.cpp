#include "support/SpoolServer.h"

#include <boost/filesystem/fstream.hpp>
#include <boost/filesystem/directory.hpp>
#include <boost/filesystem/operations.hpp>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qztest {

namespace fs = boost::filesystem;

namespace {

// A socket bound to 127.0.0.1:port (0: any free port), or -1.
int bindLoopback(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  fcntl(fd, F_SETFD, FD_CLOEXEC);  // the agents the tests start must not hold it
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

int boundPort(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

std::string script() { return std::string(QZ_SCRIPTS_DIR) + "/spool-server"; }

}  // namespace

std::string lastLine(const std::string& text) {
  std::string trimmed = text;
  while (!trimmed.empty() && trimmed.back() == '\n') trimmed.pop_back();
  const std::string::size_type at = trimmed.rfind('\n');
  return at == std::string::npos ? trimmed : trimmed.substr(at + 1);
}

int freePort() {
  const int fd = bindLoopback(0);
  if (fd < 0) throw std::runtime_error("no free loopback port");
  const int port = boundPort(fd);
  close(fd);
  return port;
}

bool portAvailable(int port) {
  const int fd = bindLoopback(port);
  if (fd < 0) return false;
  close(fd);
  return true;
}

SpoolServer::SpoolServer(const SpoolOptions& options) : serverDir_(dir_.path() / "server") {
  port_ = options.port != 0 ? options.port : freePort();
  std::string command = "'" + script() + "' start '" + serverDir_.string() + "' --server '" + options.server +
                        "' --port " + std::to_string(port_) + " --login '" + options.login + "' --password '" + options.password + "' --owner " +
                        std::to_string(getpid()) + (options.https ? " --https" : "") +
                        (options.refuse.empty() ? "" : " --refuse '" + options.refuse + "'") +
                        (options.forbid.empty() ? "" : " --forbid '" + options.forbid + "'") +
                        (options.certificate.empty()
                             ? ""
                             : " --certificate '" + options.certificate + "' --key '" + options.key + "'") +
                        " 2>&1";
  const CommandResult started = runIn(dir_.path(), command);
  if (started.status != 0) throw std::runtime_error("spool server did not start:\n" + started.output);
  url_ = lastLine(started.output);
}

SpoolServer::~SpoolServer() { runIn(dir_.path(), "'" + script() + "' stop '" + serverDir_.string() + "'"); }

fs::path SpoolServer::spoolRoot() const { return serverDir_ / "htdocs" / "SPOOL"; }

fs::path SpoolServer::spoolFolder() const { return spoolRoot() / "agent" / "decryptdata"; }

std::vector<std::string> SpoolServer::spooledFiles() const {
  std::vector<std::string> names;
  boost::system::error_code ec;
  for (fs::directory_iterator it(spoolFolder(), ec), end; !ec && it != end; ++it)
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> SpoolServer::entries() const {
  std::vector<std::string> found;
  const std::string root = spoolRoot().string() + "/";
  boost::system::error_code ec;
  for (fs::recursive_directory_iterator it(spoolRoot(), ec), end; !ec && it != end; it.increment(ec)) {
    const bool folder = fs::is_directory(it->path());
    found.push_back(it->path().string().substr(root.size()) + (folder ? "/" : ""));
  }
  std::sort(found.begin(), found.end());
  return found;
}

void SpoolServer::restart(bool hard, int downSeconds) {
  const CommandResult restarted = runIn(dir_.path(), "'" + script() + "' restart '" + serverDir_.string() + "'" +
                                                         (hard ? " --hard" : "") + " --down " +
                                                         std::to_string(downSeconds) + " 2>&1");
  if (restarted.status != 0) throw std::runtime_error("spool server did not restart:\n" + restarted.output);
}

namespace {

// The logged requests in the order they started: each line begins with its
// start time in microseconds, which is dropped.
std::vector<std::string> loggedRequests(const fs::path& log) {
  std::vector<std::pair<long long, std::string>> entries;
  fs::ifstream in(log);
  for (std::string line; std::getline(in, line);) {
    const std::string::size_type blank = line.find(' ');
    if (blank == std::string::npos) continue;
    entries.emplace_back(std::stoll(line.substr(0, blank)), line.substr(blank + 1));
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> lines;
  for (const auto& entry : entries) lines.push_back(entry.second);
  return lines;
}

}  // namespace

// Servers log a request after answering it (lighttpd up to a second later),
// so the log may lag a moment.
std::vector<std::string> requestLog(const fs::path& log, std::size_t atLeast) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    const std::vector<std::string> lines = loggedRequests(log);
    if (lines.size() >= atLeast || std::chrono::steady_clock::now() > deadline) return lines;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

std::vector<std::string> SpoolServer::requests(std::size_t atLeast) const {
  return requestLog(serverDir_ / "access.log", atLeast);
}

std::string SpoolServer::errorLog() const { return readFile(serverDir_ / "error.log"); }

SilentServer::SilentServer() : socket_(bindLoopback(0)) {
  if (socket_ < 0 || listen(socket_, 16) != 0) throw std::runtime_error("cannot listen on loopback");
  port_ = boundPort(socket_);
}

SilentServer::~SilentServer() { close(socket_); }

}  // namespace qztest
