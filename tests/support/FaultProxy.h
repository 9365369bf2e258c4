// scripts/fault-proxy for the upload tests: a proxy on 127.0.0.1 in front of
// a spool server that refuses requests, loses answers or cuts uploads on
// demand, and logs every request as the spool server does.
#pragma once

#include "support/TestFiles.h"

#include <cstddef>
#include <string>
#include <vector>

namespace qztest {

// A running proxy in a scratch folder of its own, stopped on destruction.
// Throws std::runtime_error when it cannot be started.
class FaultProxy {
 public:
  explicit FaultProxy(const std::string& target);  // http://127.0.0.1:port
  ~FaultProxy();
  FaultProxy(const FaultProxy&) = delete;
  FaultProxy& operator=(const FaultProxy&) = delete;

  const std::string& url() const { return url_; }  // http://127.0.0.1:port
  int port() const { return port_; }
  // Replaces the fault rules (see scripts/fault-proxy), e.g.
  // "drop MKCOL 1\nstatus 503 rate 0.3 retry-after 1\n"; "" passes everything.
  void setFaults(const std::string& rules) const;
  // "METHOD /path STATUS USER" per request, oldest first, STATUS "-" for a
  // dropped answer or a cut request; waits (at most 5 s) for `atLeast` lines.
  std::vector<std::string> requests(std::size_t atLeast = 0) const;

 private:
  ScratchDir dir_;
  std::string url_;
  int port_ = 0;
};

}  // namespace qztest
