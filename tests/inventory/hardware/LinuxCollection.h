// A collection folder for the Linux collector tests: fixture files copied in
// under the names the collection script gives them, and a hardware manager
// that reads the folder into its own record.
#pragma once

#include "inventory/hardware/CHWInfoManager.h"
#include "support/TestFiles.h"

#include <boost/filesystem/directory.hpp>
#include <boost/filesystem/operations.hpp>

namespace qztest {

struct LinuxCollection {
  explicit LinuxCollection(const std::string& folderName = "result")
      : folder(dir.path() / folderName), manager(folder.string(), dir.path().string(), record) {
    boost::filesystem::create_directories(folder);
  }
  // Copies tests/fixtures/linux/<fixture> into the folder as <name>.
  LinuxCollection& add(const std::string& name, const std::string& fixture) {
    boost::filesystem::copy_file(boost::filesystem::path(QZ_FIXTURES_DIR) / "linux" / fixture, folder / name);
    return *this;
  }
  LinuxCollection& write(const std::string& name, const std::string& content) {
    dir.write(folder.filename().string() + "/" + name, content);
    return *this;
  }

  ScratchDir dir;
  boost::filesystem::path folder;
  tagWMISTRUCT record;
  CHWInfoManager manager;
};

}  // namespace qztest
