#include "support/FaultProxy.h"

#include "support/SpoolServer.h"

#include <boost/filesystem/fstream.hpp>
#include <boost/filesystem/operations.hpp>

#include <stdexcept>

#include <unistd.h>

namespace qztest {

namespace {

std::string script() { return std::string(QZ_SCRIPTS_DIR) + "/fault-proxy"; }

}  // namespace

FaultProxy::FaultProxy(const std::string& target) {
  const CommandResult started = runIn(dir_.path(), "'" + script() + "' start '" + dir_.path().string() +
                                                       "' --target '" + target + "' --owner " +
                                                       std::to_string(getpid()) + " 2>&1");
  if (started.status != 0) throw std::runtime_error("fault proxy did not start:\n" + started.output);
  url_ = lastLine(started.output);
  port_ = std::stoi(url_.substr(url_.rfind(':') + 1));
}

FaultProxy::~FaultProxy() { runIn(dir_.path(), "'" + script() + "' stop '" + dir_.path().string() + "'"); }

// Written aside and renamed, so that the proxy never reads half a file.
void FaultProxy::setFaults(const std::string& rules) const {
  const boost::filesystem::path file = dir_.path() / "faults", written = dir_.path() / "faults.new";
  {
    boost::filesystem::ofstream out(written, std::ios::binary);
    out << rules;
    if (!out.flush()) throw std::runtime_error("cannot write " + written.string());
  }
  boost::filesystem::rename(written, file);
}

std::vector<std::string> FaultProxy::requests(std::size_t atLeast) const {
  return requestLog(dir_.path() / "access.log", atLeast);
}

}  // namespace qztest
