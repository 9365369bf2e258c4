// A collection folder for the Linux collector tests: fixture files copied in
// under the names the collection script gives them, and a hardware manager
// that reads the folder into its own record.
#pragma once

#include "inventory/hardware/CHWInfoManager.h"
#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>

#include <cstdlib>
#include <ctime>
#include <string>

namespace qztest {

struct LinuxCollection {
  explicit LinuxCollection(const std::string& folderName = "result")
      : folder(dir.path() / folderName), manager(folder.string(), dir.path().string(), record) {
    boost::filesystem::create_directories(folder);
  }

  // Copies tests/fixtures/linux/<fixture> into the folder as <name>.
  void add(const std::string& name, const std::string& fixture) const {
    boost::filesystem::copy_file(boost::filesystem::path(QZ_FIXTURES_DIR) / "linux" / fixture, folder / name);
  }
  void write(const std::string& name, const std::string& content) const {
    dir.write((folder / name).lexically_relative(dir.path()).string(), content);
  }

  ScratchDir dir;
  boost::filesystem::path folder;
  tagWMISTRUCT record;
  CHWInfoManager manager;
};

// Runs a block with the process's local time zone set to a POSIX TZ text.
class LocalZone {
 public:
  explicit LocalZone(const char* zone) {
    const char* old = std::getenv("TZ");
    hadZone_ = old != nullptr;
    if (hadZone_) oldZone_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~LocalZone() {
    if (hadZone_)
      setenv("TZ", oldZone_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  LocalZone(const LocalZone&) = delete;
  LocalZone& operator=(const LocalZone&) = delete;

 private:
  bool hadZone_ = false;
  std::string oldZone_;
};

}  // namespace qztest
