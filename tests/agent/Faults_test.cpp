// What faults of a real Apache spool cost a burst of agents: a server that
// refuses for a while, restarts or goes away, answers that are lost, uploads
// that are cut, a full local disk, an agent killed mid-upload. No file may
// be lost without its agent printing "upload err"; the transient faults may
// cost no file at all.
#include "FleetRun.h"

#include "support/FaultProxy.h"

#include <boost/filesystem/directory.hpp>
#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <thread>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = boost::filesystem;
using qztest::FleetOptions;
using qztest::FleetResult;
using qztest::SpoolServer;

namespace {

void pause(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

struct ServerFault {
  const char* label;
  // Rules for a fault proxy in front of the server ("" goes straight to the
  // server); "{in 5 s}" stands for the time 5 seconds after the start.
  std::string rules;
  std::function<void(SpoolServer&)> meanwhile;
  bool costsNoFile;
  std::size_t leftOnSpool;  // claims whose answer was lost: left, and said so
};

void PrintTo(const ServerFault& fault, std::ostream* out) { *out << fault.label; }

std::string withTimes(std::string rules) {
  const std::string mark = "{in 5 s}";
  const std::string::size_type at = rules.find(mark);
  if (at != std::string::npos) rules.replace(at, mark.size(), std::to_string(std::time(nullptr) + 5));
  return rules;
}

}  // namespace

class ServerFaults : public testing::TestWithParam<ServerFault> {};

TEST_P(ServerFaults, NoFileIsLostSilently) {
  const ServerFault fault = GetParam();
  SpoolServer server;
  const qztest::FaultProxy proxy(server.url());
  FleetOptions options;
  options.agents = qztest::fleetSize(20);
  options.label = fault.label;
  if (!fault.rules.empty()) {
    proxy.setFaults(withTimes(fault.rules));
    options.port = proxy.port();
  }
  if (fault.meanwhile) options.meanwhile = [&] { fault.meanwhile(server); };
  const FleetResult run = runFleet(server, options, [&] {
    return fault.rules.empty() ? server.requests().size() : proxy.requests().size();
  });
  EXPECT_EQ(0, run.silent);
  EXPECT_EQ(0, run.duplicated);
  if (fault.costsNoFile) {
    EXPECT_EQ(run.expected, run.landed);
  }
  EXPECT_LE(run.leftOnSpool, fault.leftOnSpool);
  EXPECT_EQ(0u, run.leftInTemporary);
}

INSTANTIATE_TEST_SUITE_P(
    Apache, ServerFaults,
    testing::Values(
        ServerFault{"Spell503", "status 503 until {in 5 s} retry-after 5\n", nullptr, true, 0},
        // Ten tries in a row refused stay possible: a file may be lost, but not silently.
        ServerFault{"Random503On30Percent", "status 503 rate 0.3 retry-after 1\n", nullptr, false, 0},
        ServerFault{"GracefulRestart", "", [](SpoolServer& s) { pause(0.8), s.restart(); }, true, 0},
        ServerFault{"HardRestart", "", [](SpoolServer& s) { pause(0.8), s.restart(true); }, true, 0},
        ServerFault{"Outage3s", "", [](SpoolServer& s) { pause(0.8), s.restart(false, 3); }, true, 0},
        ServerFault{"PutsCut", "cut PUT 3\n", nullptr, true, 0},
        ServerFault{"ClaimAnswersLost", "drop MKCOL 3\n", nullptr, true, 3}),
    [](const testing::TestParamInfo<ServerFault>& info) { return info.param.label; });

namespace {

// A folder on a file system of its own that is full to the last byte, or
// empty when the machine does not let the test mount one.
class FullFileSystem {
 public:
  explicit FullFileSystem(const std::string& type) {
    mount_ = dir_.path() / "mount";
    fs::create_directory(mount_);
    const std::string image = (dir_.path() / "image").string();
    const std::string command =
        type == "tmpfs" ? "mount -t tmpfs -o size=256k qz-full '" + mount_.string() + "'"
                        : "truncate -s 2M '" + image + "' && mkfs.ext4 -q -F '" + image + "' && mount -o loop '" +
                              image + "' '" + mount_.string() + "'";
    mounted_ = geteuid() == 0 && std::system((command + " 2>/dev/null").c_str()) == 0;
    if (!mounted_) return;
    fs::remove(mount_ / "lost+found");
    std::system(("dd if=/dev/zero of='" + mount_.string() + "/filler' bs=4k 2>/dev/null").c_str());
    fs::permissions(mount_, fs::all_all);
  }
  ~FullFileSystem() {
    if (mounted_) std::system(("umount '" + mount_.string() + "'").c_str());
  }
  bool mounted() const { return mounted_; }
  const fs::path& path() const { return mount_; }

 private:
  qztest::ScratchDir dir_;
  fs::path mount_;
  bool mounted_ = false;
};

}  // namespace

class FullTemporaryFolder : public testing::TestWithParam<std::string> {};

// A disk that fills up never turns into an empty or cut inventory on the
// server: no file is sent, and every agent says so.
TEST_P(FullTemporaryFolder, SendsNoFileAndEveryAgentReportsIt) {
  const FullFileSystem full(GetParam());
  if (!full.mounted()) GTEST_SKIP() << "cannot mount a " << GetParam() << " file system here (needs root)";
  SpoolServer server;
  FleetOptions options;
  options.agents = 3;
  options.temporary = full.path().string();
  options.label = "TMPDIR on a full " + GetParam();
  const FleetResult run = runFleet(server, options, [&] { return server.requests().size(); });
  EXPECT_EQ(run.expected, run.reported);
  EXPECT_TRUE(server.spooledFiles().empty());
  EXPECT_EQ(3, run.uploadErrors);
  EXPECT_EQ(1u, run.leftInTemporary);  // the filler
}

INSTANTIATE_TEST_SUITE_P(FileSystems, FullTemporaryFolder, testing::Values("tmpfs", "ext4"));

// An agent killed while it holds a claim (as by a service manager's stop
// time-out) leaves the claim and its temporary folder; once they are old, a
// later run removes both and delivers as usual.
TEST(KilledAgent, LeavesWhatALaterRunRemovesOnceStale) {
  SpoolServer server;
  const qztest::FaultProxy proxy(server.url());
  proxy.setFaults("status 503 retry-after 60 PUT 1\n");
  qztest::ScratchDir dir, temporary;
  fs::copy_file(QZ_AGENT_PATH, dir.path() / "qz-agent");
  fs::permissions(dir.write("macInventory.sh", "#!/bin/sh\nmkdir -p result && echo killed >result/hostname\n"),
                  fs::owner_all);
  dir.write("Config.ini", "127.0.0.1\n" + std::to_string(proxy.port()) + "\n0\nagent\nsecret\n");
  const std::string run = "cd '" + dir.path().string() + "' && TMPDIR='" + temporary.path().string() + "' ";
  const pid_t killed = fork();
  if (killed == 0) {
    execl("/bin/sh", "sh", "-c", (run + "exec ./qz-agent >/dev/null 2>&1").c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  for (int i = 0; i < 100 && proxy.requests().size() < 8; ++i) pause(0.1);  // up to its first PUT
  kill(killed, SIGKILL);
  waitpid(killed, nullptr, 0);

  std::vector<fs::path> claims, folders;
  for (fs::directory_iterator it(server.spoolRoot() / "agent"), end; it != end; ++it)
    if (it->path().filename().string().compare(0, 6, "claim-") == 0) claims.push_back(it->path());
  for (fs::directory_iterator it(temporary.path()), end; it != end; ++it) folders.push_back(it->path());
  ASSERT_EQ(1u, claims.size());
  ASSERT_EQ(1u, folders.size());
  for (fs::directory_iterator it(folders[0]), end; it != end; ++it) {
    struct stat status {};
    ASSERT_EQ(0, stat(it->path().c_str(), &status));
    EXPECT_EQ(0600u, status.st_mode & 0777) << it->path();  // the data files are for root's eyes only
  }
  fs::last_write_time(claims[0], std::time(nullptr) - 2 * 3600);
  fs::last_write_time(folders[0], std::time(nullptr) - 2 * 86400);

  const qztest::CommandResult later = qztest::runIn(dir.path(), run + "./qz-agent");
  EXPECT_EQ(std::string::npos, later.output.find("upload err"));
  EXPECT_FALSE(fs::exists(claims[0]));
  EXPECT_FALSE(fs::exists(folders[0]));
  EXPECT_EQ(2u, server.spooledFiles().size());
  EXPECT_TRUE(fs::is_empty(temporary.path()));
}
