// qz-agent-launcher: starts the agent for launchd on macOS, so that the job
// runs no shell. launchd has no random delay of its own and does not make up
// a calendar run missed while the Mac was off, so the launcher
//
//   - exits at once when the agent was started less than --min-interval
//     seconds ago, by the time the stamp file was last changed: the job also
//     runs at every start of the Mac (RunAtLoad), and only a missed run is
//     made up then;
//   - waits a random time of up to --random-delay seconds, so that a fleet
//     does not reach the spool server in the same minute;
//   - marks the stamp file and replaces itself with the agent (exec): the
//     process launchd watches, logs and stops is the agent's. The agent
//     keeps the stamp file locked while it runs, so that a run started by
//     the run-now job and a scheduled one never share the result folder:
//     the second to come exits, saying so.
//
// usage: qz-agent-launcher [--random-delay SECONDS] [--min-interval SECONDS] [--stamp FILE] AGENT
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <thread>

namespace {

struct Options {
  long long randomDelay = 0;
  long long minInterval = 0;
  std::string stamp;
  std::string agent;
};

constexpr int kUsage = 64;  // EX_USAGE

bool seconds(const char* text, long long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && value >= 0 && value <= 7LL * 24 * 3600;
}

bool parse(int argc, char** argv, Options& options) {
  int i = 1;
  for (; i + 1 < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
    const std::string option = argv[i];
    if (option == "--random-delay" && seconds(argv[i + 1], options.randomDelay)) continue;
    if (option == "--min-interval" && seconds(argv[i + 1], options.minInterval)) continue;
    if (option == "--stamp" && argv[i + 1][0] != '\0') {
      options.stamp = argv[i + 1];
      continue;
    }
    return false;
  }
  if (i + 1 != argc || (options.minInterval > 0 && options.stamp.empty())) return false;
  options.agent = argv[i];
  return true;
}

// Seconds since the stamp was last marked; negative when there is none.
// A stamp dated in the future (the clock was set back) counts as old.
long long sinceLastStart(const std::string& stamp) {
  struct stat status;
  if (stamp.empty() || stat(stamp.c_str(), &status) != 0) return -1;
  const long long since = static_cast<long long>(std::time(nullptr)) - static_cast<long long>(status.st_mtime);
  return since < 0 ? -1 : since;
}

enum class Mark { Marked, Running, Failed };

// Locks the stamp file and writes the start time into it. The descriptor is
// left open on purpose: it passes to the agent through exec, and with it
// the lock, which ends when the agent and its collection script have ended.
Mark markStamp(const std::string& stamp) {
  const int file = open(stamp.c_str(), O_WRONLY | O_CREAT, 0644);
  if (file < 0) return Mark::Failed;
  if (flock(file, LOCK_EX | LOCK_NB) != 0) {
    const bool running = errno == EWOULDBLOCK;
    close(file);
    return running ? Mark::Running : Mark::Failed;
  }
  const std::string now = std::to_string(static_cast<long long>(std::time(nullptr))) + "\n";
  if (ftruncate(file, 0) != 0 || write(file, now.data(), now.size()) != static_cast<ssize_t>(now.size()))
    return Mark::Failed;  // still locked: the agent runs all the same
  return Mark::Marked;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: qz-agent-launcher [--random-delay SECONDS] [--min-interval SECONDS] [--stamp FILE] AGENT\n");
    return kUsage;
  }
  const long long since = sinceLastStart(options.stamp);
  if (options.minInterval > 0 && since >= 0 && since < options.minInterval) {
    std::printf("qz-agent-launcher: the agent started %lld s ago; not again before %lld s have passed\n", since,
                options.minInterval);
    return 0;
  }
  if (options.randomDelay > 0) {
    std::random_device entropy;
    const long long delay = std::uniform_int_distribution<long long>(0, options.randomDelay)(entropy);
    // Said at once, so that the log tells a waiting run from a missing one.
    std::printf("qz-agent-launcher: starting the agent in %lld s\n", delay);
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::seconds(delay));
  }
  const Mark mark = options.stamp.empty() ? Mark::Marked : markStamp(options.stamp);
  if (mark == Mark::Running) {
    std::printf("qz-agent-launcher: the agent is running already (%s is locked); not started twice\n",
                options.stamp.c_str());
    return 0;
  }
  if (mark == Mark::Failed)
    std::fprintf(stderr, "qz-agent-launcher: cannot mark %s: %s\n", options.stamp.c_str(), std::strerror(errno));
  std::fflush(nullptr);
  char* const agentArgv[] = {&options.agent[0], nullptr};
  execv(options.agent.c_str(), agentArgv);
  std::fprintf(stderr, "qz-agent-launcher: cannot start %s: %s\n", options.agent.c_str(), std::strerror(errno));
  return 127;
}
