// Fleets reporting in the same second (50 agents, or QZ_FLEET_AGENTS; 20 on
// the servers other than Apache): every data file must land exactly once,
// under a name of the pattern, and nothing else may be left on the server.
#include "FleetRun.h"

#include "support/FaultProxy.h"

#include <gtest/gtest.h>

using qztest::FleetOptions;
using qztest::FleetResult;

namespace {

std::function<std::size_t()> requestsOf(const qztest::SpoolServer& server) {
  return [&server] { return server.requests().size(); };
}

void expectEverythingLanded(const FleetResult& run) {
  EXPECT_EQ(run.expected, run.landed);
  EXPECT_EQ(0, run.uploadErrors);
  EXPECT_EQ(0u, run.leftOnSpool);
  EXPECT_EQ(0u, run.leftInTemporary);
}

}  // namespace

TEST(Fleet, AgentsStartedAtOnceLandEveryFileExactlyOnce) {
  const qztest::SpoolServer server;
  FleetOptions options;
  options.agents = qztest::fleetSize(50);
  expectEverythingLanded(runFleet(server, options, requestsOf(server)));
}

// Without collections the agents go by the conditional PUT alone, which
// Apache tests before it writes: each must still deliver, though two of them
// may write one name.
TEST(Fleet, AgentsAgainstAServerWithoutCollectionsStillDeliver) {
  qztest::SpoolOptions spool;
  spool.refuse = "MKCOL MOVE";
  const qztest::SpoolServer server(spool);
  FleetOptions options;
  options.agents = qztest::fleetSize(50);
  options.label = "server without MKCOL MOVE";
  const FleetResult run = runFleet(server, options, requestsOf(server));
  EXPECT_EQ(0, run.uploadErrors);
  EXPECT_EQ(0u, run.leftOnSpool);
  EXPECT_EQ(0u, run.leftInTemporary);
}

class FleetOn : public testing::TestWithParam<std::string> {};

// nginx ignores the PUT's condition, rclone makes a collection twice: the
// look under the claim and the exclusive lock keep every file. rclone also
// refuses overlapping requests (423), which may cost an agent its file: it
// must then say so.
TEST_P(FleetOn, EveryFileLandsOrIsReportedAndNoneIsReplaced) {
  qztest::SpoolOptions spool;
  spool.server = GetParam();
  const qztest::SpoolServer server(spool);
  // rclone logs no requests: a proxy that passes everything counts them.
  const qztest::FaultProxy proxy(server.url());
  FleetOptions options;
  options.agents = qztest::fleetSize(20);
  options.port = proxy.port();
  options.label = GetParam();
  const FleetResult run = runFleet(server, options, [&] { return proxy.requests().size(); });
  EXPECT_EQ(0, run.silent);
  EXPECT_EQ(0, run.duplicated);
  EXPECT_EQ(0u, run.leftOnSpool);
  EXPECT_EQ(0u, run.leftInTemporary);
  if (GetParam() != "rclone") {
    EXPECT_EQ(run.expected, run.landed);
  }
}

INSTANTIATE_TEST_SUITE_P(Servers, FleetOn, testing::Values("nginx", "lighttpd", "rclone"),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });
