// A fleet reporting in the same second: N deploy folders of the agent start
// at once against one spool (directly or through a fault proxy), and what
// the fleet left is counted: files landed, lost with a report, lost without
// one, duplicated, and what was left on the spool or in the temporary folders.
#pragma once

#include "support/SpoolServer.h"

#include <functional>
#include <string>

namespace qztest {

struct FleetOptions {
  int agents = 50;
  int port = 0;                    // where the agents send; 0: the server's own port
  std::string temporary;           // TMPDIR of every agent; empty: a folder of each agent's own
  std::function<void()> meanwhile;  // runs once the agents are started
  std::string label;               // printed with the figures
};

struct FleetResult {
  int expected = 0;           // data files the fleet made
  int landed = 0;             // of them on the spool, each once
  int reported = 0;           // not on the spool, their agent printed "upload err"
  int silent = 0;             // not on the spool, their agent reported nothing
  int duplicated = 0;         // on the spool more than once
  int uploadErrors = 0;       // agents that printed "upload err"
  std::size_t leftOnSpool = 0;     // anything but the folders and the data files
  std::size_t leftInTemporary = 0;  // anything in the agents' temporary folders
  std::size_t requests = 0;        // requests the server (or proxy) logged
};

// Runs the fleet against `server`, waits for every agent, prints and returns
// the figures. `requestLog` gives the requests served (the proxy's when one
// stands in front).
FleetResult runFleet(const SpoolServer& server, const FleetOptions& options,
                     const std::function<std::size_t()>& requestCount);

// The fleet size of the test suite, or QZ_FLEET_AGENTS when set.
int fleetSize(int fallback);

}  // namespace qztest
