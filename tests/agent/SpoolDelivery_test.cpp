// The delivery's claims against a stand-in server that answers as each
// measured WebDAV server does, with the faults a real one gives only now and
// then: what lands, what is replaced, what is left behind, what is reported.
#include "agent/CSpoolDelivery.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

const std::string kSpool = "/agent/decryptdata/";
const std::string kOwn = "QZ-0-1220261209093000.dat";
const std::string kMine = "mine QZ20EOF";
const long long kNow = 1765272600;

// A server's answers, by what differs between the servers measured.
struct Server {
  long mkcolExisting = 405;       // Apache, nginx, lighttpd; rclone makes it again (201)
  bool honoursCondition = true;   // If-None-Match: * on PUT; nginx and rclone ignore it
  long mkcolRefused = 0;          // every MKCOL answered so: no collections at all
  long lockRefused = 0;           // every LOCK answered so
};

const Server kApache{};
const Server kNginx{405, false};
const Server kRclone{201, false};
const Server kNoClaims{405, true, 405, 405};

class FakeServer;

// One request answered otherwise than the server would: the `nth` request
// of `method` (1 the first) gets `status`, or, with `lost`, is carried out
// and its answer lost. `before` runs just before that request: another
// agent's doing.
struct Fault {
  std::string method;
  int nth;
  long status = 0;
  bool lost = false;
  long long retryAfter = -1;
  std::function<void(FakeServer&)> before = nullptr;
};

class FakeServer final : public WebDAV::Client {
 public:
  FakeServer(Server server, std::vector<Fault> faults) : server_(server), faults_(std::move(faults)) {
    paths_["/agent/"] = kNow - 86400;
    paths_[kSpool] = kNow - 86400;
  }

  WebDAV::Listing list(const std::string& folder) override {
    WebDAV::Listing listing;
    listing.reply = answer("PROPFIND", [&] { return 207; });
    for (const auto& path : paths_)
      if (path.first.size() > folder.size() && path.first.compare(0, folder.size(), folder) == 0) {
        const std::string rest = path.first.substr(folder.size());
        const bool directory = rest.back() == '/';
        if (rest.find('/') < rest.size() - 1) continue;
        listing.entries.push_back({directory ? rest.substr(0, rest.size() - 1) : rest, directory, path.second});
      }
    return listing;
  }
  WebDAV::Reply probe(const std::string& path) override {
    return answer("HEAD", [&] { return paths_.count(path) ? 200 : 404; }, contents_.count(path) ? contents_[path].size() : 0);
  }
  WebDAV::Reply create_directory(const std::string& path) override {
    return answer("MKCOL", [&] {
      if (server_.mkcolRefused != 0) return server_.mkcolRefused;
      if (paths_.count(path)) return server_.mkcolExisting;
      paths_[path] = kNow;
      return 201L;
    });
  }
  WebDAV::Reply clean(const std::string& path, const std::string& token) override {
    return answer("DELETE", [&] {
      if (locks_.count(path) && locks_[path] != token) return 423L;
      contents_.erase(path);
      return paths_.erase(path) ? 204L : 404L;
    });
  }
  WebDAV::Reply upload_new(const std::string& path, const std::string& content) override {
    return answer("PUT", [&] {
      if (paths_.count(path) && server_.honoursCondition) return 412L;
      const long status = paths_.count(path) ? 204 : 201;
      paths_[path] = kNow;
      // rclone keeps what arrived of a PUT that was cut.
      contents_[path] = cutNextPut_ ? content.substr(0, content.size() / 2) : content;
      cutNextPut_ = false;
      return status;
    });
  }
  WebDAV::Reply lock(const std::string& path, const std::string&, long) override {
    WebDAV::Reply reply = answer("LOCK", [&] {
      if (server_.lockRefused != 0) return server_.lockRefused;
      if (locks_.count(path)) return 423L;
      locks_[path] = "<token-" + std::to_string(++tokens_) + ">";
      paths_.emplace(path, kNow);
      return 201L;
    });
    if (reply.ok()) reply.lockToken = locks_[path];
    return reply;
  }
  WebDAV::Reply unlock(const std::string& path, const std::string& token) override {
    return answer("UNLOCK", [&] { return locks_.count(path) && locks_[path] == token && locks_.erase(path) ? 204L : 409L; });
  }

  std::map<std::string, long long> paths_;  // path, and when it was last changed
  bool cutNextPut_ = false;
  std::map<std::string, std::string> contents_;
  std::vector<std::string> log_;

 private:
  WebDAV::Reply answer(const std::string& method, const std::function<long()>& serve, std::size_t length = 0) {
    const int nth = ++calls_[method];
    WebDAV::Reply reply;
    reply.date = kNow;
    for (Fault& fault : faults_) {
      if (fault.method != method || fault.nth != nth) continue;
      if (fault.before) fault.before(*this);
      if (fault.lost) {
        serve();
        log_.push_back(method + " lost");
        reply.error = 56;  // CURLE_RECV_ERROR
        return reply;
      }
      if (fault.status != 0) {
        log_.push_back(method + " " + std::to_string(fault.status));
        reply.completed = true;
        reply.status = fault.status;
        reply.retryAfter = fault.retryAfter;
        return reply;
      }
    }
    reply.completed = true;
    reply.status = serve();
    reply.contentLength = static_cast<long long>(length);
    log_.push_back(method + " " + std::to_string(reply.status));
    return reply;
  }

  Server server_;
  std::vector<Fault> faults_;
  std::map<std::string, int> calls_;
  std::map<std::string, std::string> locks_;
  int tokens_ = 0;
};

// Another agent's doing.
const auto fileDelivered = [](FakeServer& server) { server.paths_[kSpool + kOwn] = kNow; };
const auto claimHeld = [](FakeServer& server) { server.paths_["/agent/claim-QZ-0-1220261209093000/"] = kNow; };
const auto putCut = [](FakeServer& server) { server.cutNextPut_ = true; };

std::vector<Fault> everyPut(long status, int tries) {
  std::vector<Fault> faults;
  for (int nth = 1; nth <= tries; ++nth) faults.push_back({"PUT", nth, status});
  return faults;
}

struct Case {
  const char* label;
  Server server;
  std::vector<Fault> faults;
  bool delivered;
  bool underOwnName;             // else under a later name
  std::vector<std::string> left;  // claims left on the server
  double slept;                   // seconds waited at least
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.label; }

std::vector<Case> cases() {
  const std::string ownClaim = "/agent/claim-QZ-0-1220261209093000/";
  return {
      {"ApacheLone", kApache, {}, true, true, {}, 0},
      // The loser of two MKCOLs at once gets 403 from Apache: taken, and the
      // folder of the claims stays the same.
      {"ApacheRacingLoser", kApache, {{"MKCOL", 3, 403, false, -1, claimHeld}}, true, false, {ownClaim}, 0},
      // Delivered by another agent just before our claim: the look under the
      // claim sees it, whatever the PUT's condition.
      {"NginxFileLandsBeforeTheClaim", kNginx, {{"MKCOL", 3, 0, false, -1, fileDelivered}}, true, false, {}, 0},
      {"RcloneLocksInstead", kRclone, {}, true, true, {}, 0},
      {"RcloneNameLocked", kRclone, {{"LOCK", 3, 423}}, true, false, {}, 0},
      {"NoClaimsAtAll", kNoClaims, {}, true, true, {}, 0},
      // A claim made but not answered may be another's: never deleted.
      {"ClaimAnswerLost", kApache, {{"MKCOL", 3, 0, true}}, true, false, {ownClaim}, 0.5},
      {"ProbeAnswerLost", kApache, {{"MKCOL", 1, 0, true}}, true, true, {}, 0.5},
      {"Spell503", kApache, {{"PUT", 1, 503, false, 5}, {"PUT", 2, 503, false, 5}}, true, true, {}, 10},
      {"PutAnswerLostAfterItLanded", kApache, {{"PUT", 1, 0, true}}, true, true, {}, 0},
      // The part that reached the server is replaced, never left as the inventory.
      {"RclonePutCut", kRclone, {{"PUT", 1, 0, true, -1, putCut}}, true, true, {}, 0.5},
      {"RclonePutCutTwiceThenRefused",
       kRclone,
       {{"PUT", 1, 0, true, -1, putCut}, {"PUT", 2, 403}},
       false, true, {}, 0.5},
      {"RefusedLogin", kApache, {{"MKCOL", 3, 401}}, false, true, {}, 0},
      {"FullServerDisk", kApache, {{"PUT", 1, 507}}, false, true, {}, 0},
      {"ServerGoneForGood", kApache, everyPut(502, CRetrier::kMaxTries), false, true, {}, 20},
  };
}

}  // namespace

class SpoolDelivery : public testing::TestWithParam<Case> {};

TEST_P(SpoolDelivery, LandsOrReportsAndNeverReplacesAnotherFile) {
  const Case c = GetParam();
  FakeServer server(c.server, c.faults);
  double slept = 0;
  CRetrier retrier([&](double seconds) { slept += seconds; }, [&] { return slept; }, 1);
  bool delivered = false;
  {
    CSpoolDelivery delivery(server, retrier, kSpool, {"/agent/", kSpool}, 2);
    delivered = delivery.deliver(kOwn, kMine);
    delivery.finish();
  }
  EXPECT_EQ(c.delivered, delivered) << testing::PrintToString(server.log_);
  std::vector<std::string> mine, claims;
  for (const auto& content : server.contents_)
    if (content.second == kMine) mine.push_back(content.first);
  for (const auto& path : server.paths_)
    if (path.first.find("claim-") != std::string::npos) claims.push_back(path.first);
  EXPECT_EQ(c.delivered ? 1u : 0u, mine.size()) << testing::PrintToString(server.log_);
  for (const auto& content : server.contents_) EXPECT_TRUE(content.second == kMine) << "cut: " << content.first;
  if (c.delivered && !mine.empty()) {
    EXPECT_EQ(c.underOwnName, mine[0] == kSpool + kOwn) << mine[0];
  }
  // Where the own name was taken, nothing of ours went there.
  if (!c.underOwnName) {
    EXPECT_EQ(0u, server.contents_.count(kSpool + kOwn));
  }
  EXPECT_EQ(c.left, claims) << testing::PrintToString(server.log_);
  EXPECT_GE(slept, c.slept);
  EXPECT_LE(slept, CRetrier::kBudgetSeconds);
}

INSTANTIATE_TEST_SUITE_P(Servers, SpoolDelivery, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.label; });

// A claim left by a killed run blocks its name for an hour at most: the next
// run removes the stale ones and leaves the young ones to their holders.
TEST(SpoolDelivery, StaleClaimsOfKilledRunsAreRemoved) {
  FakeServer server(kApache, {});
  server.paths_["/agent/claim-QZ-0-1220261209080000/"] = kNow - 2 * 3600;
  server.paths_["/agent/claim-QZ-0-1220261209092000/"] = kNow - 600;
  CRetrier retrier([](double) {}, [] { return 0.0; }, 1);
  CSpoolDelivery delivery(server, retrier, kSpool, {"/agent/", kSpool}, 2);
  EXPECT_TRUE(delivery.deliver(kOwn, kMine));
  EXPECT_FALSE(server.paths_.count("/agent/claim-QZ-0-1220261209080000/"));
  EXPECT_TRUE(server.paths_.count("/agent/claim-QZ-0-1220261209092000/"));
}
