// Scratch folders and files for tests, and a way to run the agent's programs.
#pragma once

#include <boost/filesystem/path.hpp>

#include <string>

namespace qztest {

// A fresh folder under the system temporary folder, removed on destruction.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const boost::filesystem::path& path() const { return path_; }
  // Writes `content` to `name` (relative to the folder), creating parents.
  boost::filesystem::path write(const std::string& name, const std::string& content) const;

 private:
  boost::filesystem::path path_;
};

// A string literal with its embedded NUL bytes, without the terminating one.
template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

std::string readFile(const boost::filesystem::path& file);

// What mktime gives for a local date and time, the zone deciding daylight saving.
long long mktimeOf(int year, int month, int day, int hour, int minute, int second);

// The lines that every run of the agent which collects prints before its upload.
extern const char kCollectionMessages[];

struct CommandResult {
  int status = -1;  // exit status, or -1 when the command did not exit normally
  std::string output;  // standard output
};

// Runs a shell command in `directory` and captures its standard output.
CommandResult runIn(const boost::filesystem::path& directory, const std::string& command);

}  // namespace qztest
