// measure COMMAND [ARG...]: runs the command with its output discarded and
// prints "<wall seconds> <peak resident kilobytes>". Being a small process,
// it keeps the peak that the kernel reports close to the command's own.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: measure COMMAND [ARG...]\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execvp(argv[1], argv + 1);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) < 0) return 2;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
#ifdef __APPLE__
  const long peakKilobytes = usage.ru_maxrss / 1024;  // macOS counts the peak in bytes
#else
  const long peakKilobytes = usage.ru_maxrss;  // Linux and the BSDs in kilobytes
#endif
  std::printf("%.6f %ld\n", seconds, peakKilobytes);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
