// Naming, placing and hand-over of a data file.
#include "inventory/CBaseInfoManager.h"

#include "support/TestFiles.h"

#include <boost/filesystem/exception.hpp>
#include <boost/filesystem/fstream.hpp>
#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

namespace fs = boost::filesystem;

namespace {

// A manager whose file is a fixed text, so the hand-over can be checked.
class FixedManager : public CBaseInfoManager {
 public:
  FixedManager(const std::string& dest, tagWMISTRUCT& record, int number)
      : CBaseInfoManager("unused", dest, &record), number_(number) {}
  bool load() override { return true; }
  bool encodeInfo(const fs::path& file) override {
    encodedAt = file;
    fs::ofstream(file, std::ios::binary) << "payload";
    return true;
  }
  int qzFileNumber() override { return number_; }
  fs::path encodedAt;

 private:
  int number_;
};

// Points the system temporary folder at a scratch folder while alive.
class TemporaryFolder {
 public:
  explicit TemporaryFolder(const fs::path& folder) {
    const char* old = std::getenv("TMPDIR");
    if (old != nullptr) saved_ = old, hadValue_ = true;
    setenv("TMPDIR", folder.c_str(), 1);
  }
  ~TemporaryFolder() {
    if (hadValue_)
      setenv("TMPDIR", saved_.c_str(), 1);
    else
      unsetenv("TMPDIR");
  }

 private:
  std::string saved_;
  bool hadValue_ = false;
};

}  // namespace

TEST(TargetFileName, NumberAndLocalTimeStamp) {
  tagWMISTRUCT record;
  FixedManager hardware(".", record, 12);
  FixedManager software(".", record, 1);
  const std::regex pattern("QZ-0-(\\d{2})(\\d{14})\\.dat");
  std::smatch match;
  const std::string hardwareName = hardware.targetFileName();
  ASSERT_TRUE(std::regex_match(hardwareName, match, pattern)) << hardwareName;
  EXPECT_EQ("12", match[1].str());
  const std::string softwareName = software.targetFileName();
  ASSERT_TRUE(std::regex_match(softwareName, match, pattern)) << softwareName;
  EXPECT_EQ("01", match[1].str());
}

TEST(Start, PlacesTheEncodedFileAndLeavesNoTemporaryFile) {
  qztest::ScratchDir temp;
  qztest::ScratchDir dest;
  TemporaryFolder redirect(temp.path());
  tagWMISTRUCT record;
  FixedManager manager(dest.path().string(), record, 12);
  EXPECT_EQ("", manager.OutFileName());

  manager.start();

  EXPECT_TRUE(std::regex_match(manager.encodedAt.filename().string(),
                               std::regex("qz-transer-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}\\.part")));
  EXPECT_EQ(temp.path(), manager.encodedAt.parent_path());
  EXPECT_TRUE(fs::is_empty(temp.path()));
  const fs::path out = manager.OutFileName();
  EXPECT_EQ(dest.path(), out.parent_path());
  EXPECT_EQ("payload", qztest::readFile(out));
}

TEST(Start, AFileThatCannotBePlacedIsAnErrorAndLeavesNoTemporaryFile) {
  qztest::ScratchDir temp;
  TemporaryFolder redirect(temp.path());
  tagWMISTRUCT record;
  FixedManager manager((temp.path() / "no" / "such" / "folder").string(), record, 1);
  EXPECT_THROW(manager.start(), fs::filesystem_error);
  EXPECT_TRUE(fs::is_empty(temp.path()));
}

TEST(Encrypt, CopiesThenRemovesTheSourceButNeverOverwrites) {
  qztest::ScratchDir dir;
  tagWMISTRUCT record;
  FixedManager manager(dir.path().string(), record, 12);
  const fs::path from = dir.write("from", std::string("data\0file", 9));
  EXPECT_TRUE(manager.encrypt(from, dir.path() / "to"));
  EXPECT_EQ(std::string("data\0file", 9), qztest::readFile(dir.path() / "to"));
  EXPECT_FALSE(fs::exists(from));

  const fs::path again = dir.write("again", "new");
  EXPECT_THROW(manager.encrypt(again, dir.path() / "to"), fs::filesystem_error);
  EXPECT_EQ(std::string("data\0file", 9), qztest::readFile(dir.path() / "to"));
  EXPECT_TRUE(fs::exists(again));
  EXPECT_THROW(manager.encrypt(dir.path() / "missing", dir.path() / "other"), fs::filesystem_error);
}
