// The coordinator in-process: the run, its files before clean-up, messages
// and the operations log.
#include "InventoryRun.h"
#include "agent/CTransferCoordinator.h"

#include "inventory/DataFileReader.h"
#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <regex>

namespace fs = boost::filesystem;

namespace {

// Counts the messages it receives.
class RecordingListener : public CAbstractListener {
 public:
  void onMessage(const std::string& message, const std::map<std::string, std::string>& params) override {
    messages.push_back(message + (params.empty() ? "" : "+params"));
  }
  void onMessage(const std::string& message) override { messages.push_back(message); }
  std::vector<std::string> messages;
};

}  // namespace

TEST(Coordinator, EmptyCollectionWritesBothFilesWithEmptyListsThenDeletesThem) {
  qztest::ScratchDir dir;
  fs::create_directory(dir.path() / "result");
  CTransferCoordinator coordinator;
  qztest::makeDataFiles(coordinator, dir.path(), dir.path() / "result");

  const std::vector<std::string> files = coordinator.outFiles();
  ASSERT_EQ(2u, files.size());
  EXPECT_TRUE(std::regex_match(fs::path(files[0]).filename().string(), std::regex("QZ-0-12\\d{14}\\.dat")));
  EXPECT_TRUE(std::regex_match(fs::path(files[1]).filename().string(), std::regex("QZ-0-01\\d{14}\\.dat")));

  const tagDECODEDFILE hardware = decodeDataFile(qztest::readFile(files[0]));
  EXPECT_EQ("1.0.0.0", hardware.header.strAgentVersion);
  EXPECT_EQ(10008u, hardware.header.dwFormatVersion);
  EXPECT_LE(hardware.header.tmStart, hardware.header.tmEnd);
  EXPECT_TRUE(hardware.hardware.vecCpu.empty());
  EXPECT_TRUE(hardware.hardware.vecNic.empty());
  const tagDECODEDFILE software = decodeDataFile(qztest::readFile(files[1]));
  EXPECT_EQ(10004u, software.header.dwFormatVersion);
  EXPECT_EQ(1u, software.header.dwKindCode);
  EXPECT_TRUE(software.applications.empty());
  EXPECT_EQ(hardware.header.strComputerName, software.header.strComputerName);

  coordinator.cleanup();
  EXPECT_FALSE(fs::exists(files[0]));
  EXPECT_FALSE(fs::exists(files[1]));
  EXPECT_TRUE(coordinator.outFiles().empty());
  coordinator.cleanup();  // a second clean-up finds nothing to do
}

TEST(Messages, PrintedAndHandedToListenersButNotLoggedByDefault) {
  qztest::ScratchDir dir;
  CTransferCoordinator coordinator;
  coordinator.setDestDir(dir.path().string());
  RecordingListener listener;
  coordinator.addListener(&listener);
  coordinator.addListener(&listener);
  testing::internal::CaptureStdout();
  coordinator.sendMessage("hello", {{"k", "v"}});
  coordinator.sendProgress(1, 2);
  EXPECT_EQ("hello\nUPDATE_PROGRESS\n", testing::internal::GetCapturedStdout());
  EXPECT_EQ((std::vector<std::string>{"hello+params", "UPDATE_PROGRESS+params"}), listener.messages);
  EXPECT_FALSE(fs::exists(dir.path() / "operations.log"));
}

TEST(Messages, OwnListenerAppendsStampedEntriesWithoutSeparator) {
  qztest::ScratchDir dir;
  CTransferCoordinator coordinator;
  coordinator.setDestDir(dir.path().string());
  coordinator.clearListeners();
  testing::internal::CaptureStdout();
  coordinator.sendProgress(250, 1000);
  coordinator.sendMessage("done", {});
  testing::internal::GetCapturedStdout();
  const std::string log = qztest::readFile(dir.path() / "operations.log");
  const std::regex entry(
      "\\[\\d{2}-\\d{2}-\\d{4} (0\\d|1[0-2]):\\d{2}:\\d{2}\\]UPDATE_PROGRESS\nTOTAL_SIZE:1000\nUPLOADED_SIZE:250"
      "\\[\\d{2}-\\d{2}-\\d{4} \\d{2}:\\d{2}:\\d{2}\\]done");
  EXPECT_TRUE(std::regex_match(log, entry)) << log;
}

TEST(Messages, UnwritableLogIsIgnored) {
  CTransferCoordinator coordinator;
  coordinator.setDestDir("/nonexistent/folder/for/the/log");
  coordinator.clearListeners();
  testing::internal::CaptureStdout();
  EXPECT_NO_THROW(coordinator.sendMessage("still printed", {}));
  EXPECT_EQ("still printed\n", testing::internal::GetCapturedStdout());
}
