// Servers on 127.0.0.1 for the upload tests: the WebDAV spool that
// scripts/spool-server runs (Apache, nginx, lighttpd or rclone), and a server
// that never answers.
#pragma once

#include "support/TestFiles.h"

#include <string>
#include <vector>

namespace qztest {

struct SpoolOptions {
  std::string server = "apache";  // or "nginx", "lighttpd", "rclone"
  bool https = false;
  int port = 0;  // 0: a free port
  std::string login = "agent";
  std::string password = "secret";
  std::string refuse;  // methods answered with 405, as by a server without them
  std::string forbid;  // methods answered with 403
  std::string certificate, key;  // PEM files for HTTPS; empty: a self-signed certificate
};

// A running spool server in a scratch folder of its own, with the folders
// /SPOOL/agent/decryptdata/; stopped (and its folder removed) on destruction.
// Throws std::runtime_error when it cannot be started.
class SpoolServer {
 public:
  explicit SpoolServer(const SpoolOptions& options = SpoolOptions());
  ~SpoolServer();
  SpoolServer(const SpoolServer&) = delete;
  SpoolServer& operator=(const SpoolServer&) = delete;

  const std::string& url() const { return url_; }  // http[s]://127.0.0.1:port
  int port() const { return port_; }
  // The server folder behind /SPOOL/ and behind /SPOOL/agent/decryptdata/.
  boost::filesystem::path spoolRoot() const;
  boost::filesystem::path spoolFolder() const;
  // Names of the files that landed in the spool folder, sorted.
  std::vector<std::string> spooledFiles() const;
  // Every file and folder below /SPOOL/, relative to it ("agent/x/"), sorted.
  std::vector<std::string> entries() const;
  // "METHOD /path STATUS USER" per request served, oldest first; waits
  // (at most 5 s) until at least `atLeast` requests are logged. rclone logs
  // none: put a FaultProxy in front of it.
  std::vector<std::string> requests(std::size_t atLeast = 0) const;
  std::string errorLog() const;
  // Restarts the server on its port: gracefully, or after killing it (hard),
  // and after `downSeconds` without a server; returns once it answers again.
  void restart(bool hard = false, int downSeconds = 0);

 private:
  ScratchDir dir_;
  boost::filesystem::path serverDir_;
  std::string url_;
  int port_ = 0;
};

// Accepts connections (the system queues them) but never reads or answers.
class SilentServer {
 public:
  SilentServer();
  ~SilentServer();
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  int port() const { return port_; }

 private:
  int socket_ = -1;
  int port_ = 0;
};

// The lines of a request log written as scripts/spool-server writes its
// own, in the order the requests started, without their start times; waits
// (at most 5 s) until it has at least `atLeast` lines.
std::vector<std::string> requestLog(const boost::filesystem::path& log, std::size_t atLeast);
// The last line of a command's output, the address that the scripts print.
std::string lastLine(const std::string& text);

// A loopback port that nothing listens on at the moment.
int freePort();
// True when a server may be started on the loopback port right now.
bool portAvailable(int port);

}  // namespace qztest
