// The launchd side of a Mac: the launcher the jobs run, and the install and
// uninstall scripts with the jobs and the log rotation they put in place.
// Both are plain POSIX, so they are tried here with stand-ins for launchctl.
#include "plist/Plist.h"
#include "plist/PlistValue.h"
#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace fs = boost::filesystem;

namespace {

const fs::path kLaunchd = fs::path(QZ_SOURCE_DIR) / "packaging" / "launchd";

// A stand-in agent that notes each start in "runs" of its working folder.
struct LauncherRun {
  LauncherRun() { fs::permissions(dir.write("agent", "#!/bin/sh\necho started >>runs\nsleep \"${HOLD:-0}\"\n"), fs::owner_all); }
  qztest::CommandResult launch(const std::string& options, const std::string& environment = "") const {
    return qztest::runIn(dir.path(), environment + " '" + std::string(QZ_LAUNCHER_PATH) + "' " + options + " ./agent");
  }
  int runs() const {
    const std::string noted = fs::exists(dir.path() / "runs") ? qztest::readFile(dir.path() / "runs") : "";
    return static_cast<int>(std::count(noted.begin(), noted.end(), '\n'));
  }
  void stampAged(long long seconds) const {
    const fs::path stamp = dir.write("stamp", "1\n");
    fs::last_write_time(stamp, std::time(nullptr) - seconds);
  }
  qztest::ScratchDir dir;
};

fs::path write(const qztest::ScratchDir& dir, const std::string& name, const std::string& body) {
  const fs::path file = dir.write(name, "#!/bin/sh\n" + body);
  fs::permissions(file, fs::owner_all | fs::group_read | fs::others_read);
  return file;
}

std::vector<std::string> strings(const Plist::Value& array) {
  std::vector<std::string> out;
  for (const Plist::Value element : array.elements()) out.push_back(element.stringOr("?"));
  return out;
}

}  // namespace

// The scheduled job starts the agent at most once per --min-interval, also at
// each start of the Mac; a missed day (an old stamp) is made up.
TEST(Launcher, StartsTheAgentWhenItsLastStartIsOldEnough) {
  const struct {
    long long stampAge;  // -1: no stamp
    const char* options;
    int runs;
  } cases[] = {
      {-1, "--min-interval 57600 --stamp stamp", 1},       // first run after installing
      {10, "--min-interval 57600 --stamp stamp", 0},       // a restart after today's run
      {57700, "--min-interval 57600 --stamp stamp", 1},    // the next day, or a day missed
      {-3600, "--min-interval 57600 --stamp stamp", 1},    // the clock was set back
      {10, "--stamp stamp", 1},                            // run now: no interval
      {10, "--random-delay 1 --stamp stamp", 1},
  };
  for (const auto& c : cases) {
    LauncherRun run;
    if (c.stampAge != -1) run.stampAged(c.stampAge);
    const auto start = std::chrono::steady_clock::now();
    const qztest::CommandResult result = run.launch(c.options);
    EXPECT_EQ(0, result.status) << c.options;
    EXPECT_EQ(c.runs, run.runs()) << c.stampAge << " " << c.options;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << c.options;
    if (c.runs == 1) {  // marked with the start time
      EXPECT_GE(fs::last_write_time(run.dir.path() / "stamp"), std::time(nullptr) - 5);
    } else {
      EXPECT_NE(std::string::npos, result.output.find("not again before 57600 s")) << result.output;
    }
  }
}

// The run-now job and the scheduled one share the stamp; the agent holds it
// locked while it runs, so the second to come does not start it again.
TEST(Launcher, NeverStartsASecondAgentWhileOneRuns) {
  LauncherRun run;
  std::thread first([&run] { run.launch("--stamp stamp", "HOLD=2"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  const qztest::CommandResult second = run.launch("--stamp stamp");
  first.join();
  EXPECT_EQ(0, second.status);
  EXPECT_NE(std::string::npos, second.output.find("running already")) << second.output;
  EXPECT_EQ(1, run.runs());
  EXPECT_EQ(0, run.launch("--stamp stamp").status);  // the lock ended with the agent
  EXPECT_EQ(2, run.runs());
}

TEST(Launcher, RefusesWrongUseAndSaysWhenTheAgentCannotStart) {
  LauncherRun run;
  for (const char* wrong : {"", "--min-interval 60", "--random-delay -1", "--random-delay x", "--delay 5"}) {
    EXPECT_EQ(64, qztest::runIn(run.dir.path(), "'" + std::string(QZ_LAUNCHER_PATH) + "' " + wrong +
                                                    (*wrong != '\0' ? " ./agent" : "") + " 2>/dev/null")
                      .status)
        << wrong;
  }
  EXPECT_EQ(127, qztest::runIn(run.dir.path(), "'" + std::string(QZ_LAUNCHER_PATH) + "' ./missing 2>/dev/null").status);
  EXPECT_EQ(0, run.runs());
}

// install.sh from a deploy folder into a stand-in root, then uninstall.sh.
TEST(LaunchdJobs, InstallLoadsBothJobsWhichRunTheAgentAndLogWhereNewsyslogRotates) {
  qztest::ScratchDir dir;
  const fs::path deploy = dir.path() / "deploy", root = dir.path() / "root";
  for (const char* program : {"qz-agent", "qz-agent-launcher", "qz-dump", "macInventory.sh"})
    write(dir, std::string("deploy/") + program, "exit 0\n");
  boost::filesystem::create_directories(deploy / "service");
  for (const char* file : {"jp.co.qz.agent.plist", "jp.co.qz.agent.now.plist", "qz-agent.newsyslog.conf", "install.sh",
                           "uninstall.sh"})
    fs::copy_file(kLaunchd / file, deploy / "service" / file);
  dir.write("root/opt/qz-agent/Config.ini", "spool.example.jp\n");  // an upgrade keeps it
  dir.write("root/var/log/qz-agent.log", "start\nend\n");
  write(dir, "bin/launchctl", "echo \"$*\" >>\"$LAUNCHCTL_LOG\"\n");
  write(dir, "bin/chown", "exit 0\n");  // root:wheel needs root
  write(dir, "bin/xattr", "exit 0\n");
  const std::string environment = "QZ_INSTALL_ROOT='" + root.string() + "' LAUNCHCTL_LOG='" +
                                   (dir.path() / "launchctl.log").string() + "' PATH=\"" +
                                   (dir.path() / "bin").string() + ":$PATH\" ";
  ASSERT_EQ(0, qztest::runIn(dir.path(), environment + "sh deploy/service/install.sh").status);

  const fs::path agentDir = root / "opt" / "qz-agent";
  for (const char* program : {"qz-agent", "qz-agent-launcher", "macInventory.sh", "service/uninstall.sh"})
    EXPECT_EQ(0755, fs::status(agentDir / program).permissions() & 0777) << program;
  EXPECT_EQ(0600, fs::status(agentDir / "Config.ini").permissions() & 0777);
  EXPECT_EQ("spool.example.jp\n", qztest::readFile(agentDir / "Config.ini"));
  const std::string rotation = qztest::readFile(root / "etc" / "newsyslog.d" / "qz-agent.conf");
  const std::string rotated = rotation.substr(rotation.find("\n/") + 1, rotation.find(' ', rotation.find("\n/")) -
                                                                          rotation.find("\n/") - 1);
  EXPECT_EQ("/var/log/qz-agent.log", rotated);

  boost::any scheduled, now;
  Plist::readPlist((root / "Library/LaunchDaemons/jp.co.qz.agent.plist").c_str(), scheduled);
  Plist::readPlist((root / "Library/LaunchDaemons/jp.co.qz.agent.now.plist").c_str(), now);
  for (const Plist::Value job : {Plist::Value(scheduled), Plist::Value(now)}) {
    const std::vector<std::string> program = strings(job["ProgramArguments"]);
    ASSERT_GE(program.size(), 4u);
    // The launcher execs the agent: the job's process becomes the agent itself.
    EXPECT_EQ("/opt/qz-agent/qz-agent-launcher", program.front());
    EXPECT_EQ("/opt/qz-agent/qz-agent", program.back());
    EXPECT_EQ("/opt/qz-agent/last-start", program[program.size() - 2]);
    EXPECT_EQ("/opt/qz-agent", job["WorkingDirectory"].stringOr(""));
    EXPECT_EQ(rotated, job["StandardOutPath"].stringOr(""));
    EXPECT_EQ(rotated, job["StandardErrorPath"].stringOr(""));
  }
  EXPECT_EQ("jp.co.qz.agent", Plist::Value(scheduled)["Label"].stringOr(""));
  EXPECT_EQ(10, Plist::Value(scheduled)["StartCalendarInterval"]["Hour"].integerOr(-1));
  EXPECT_EQ(30, Plist::Value(scheduled)["StartCalendarInterval"]["Minute"].integerOr(-1));
  ASSERT_NE(nullptr, Plist::Value(scheduled)["RunAtLoad"].get<bool>());
  EXPECT_TRUE(*Plist::Value(scheduled)["RunAtLoad"].get<bool>());
  EXPECT_EQ((std::vector<std::string>{"/opt/qz-agent/qz-agent-launcher", "--random-delay", "14400", "--min-interval",
                                      "57600", "--stamp", "/opt/qz-agent/last-start", "/opt/qz-agent/qz-agent"}),
            strings(Plist::Value(scheduled)["ProgramArguments"]));
  // Run now: only kickstart starts it, with no delay.
  EXPECT_EQ("jp.co.qz.agent.now", Plist::Value(now)["Label"].stringOr(""));
  EXPECT_FALSE(Plist::Value(now)["StartCalendarInterval"].isDictionary());
  EXPECT_EQ(nullptr, Plist::Value(now)["RunAtLoad"].get<bool>());
  EXPECT_EQ(4u, strings(Plist::Value(now)["ProgramArguments"]).size());

  ASSERT_EQ(0, qztest::runIn(dir.path(), environment + "sh '" + (agentDir / "service/uninstall.sh").string() + "'").status);
  for (const fs::path& gone : {agentDir, root / "Library/LaunchDaemons/jp.co.qz.agent.plist",
                               root / "Library/LaunchDaemons/jp.co.qz.agent.now.plist",
                               root / "etc/newsyslog.d/qz-agent.conf", root / "var/log/qz-agent.log"})
    EXPECT_FALSE(fs::exists(gone)) << gone;
  const std::string daemons = (root / "Library/LaunchDaemons").string();
  EXPECT_EQ("bootout system/jp.co.qz.agent\nbootout system/jp.co.qz.agent.now\n"
            "bootstrap system " + daemons + "/jp.co.qz.agent.plist\n"
            "bootstrap system " + daemons + "/jp.co.qz.agent.now.plist\n"
            "bootout system/jp.co.qz.agent\nbootout system/jp.co.qz.agent.now\n",
            qztest::readFile(dir.path() / "launchctl.log"));
}
