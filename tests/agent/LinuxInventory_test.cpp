// The real collection script and the agent's inventory run on this machine,
// in a deploy folder of their own: both data files, read back with qz-dump's
// decoder, against facts this test gathers from the machine by other means.
#include "agent/CTransferCoordinator.h"
#include "inventory/DataFileReader.h"
#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/utsname.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/if_packet.h>
#include <net/if_arp.h>
#endif

namespace fs = boost::filesystem;

namespace {

// --- facts of the machine --------------------------------------------------

std::string firstLineOf(const fs::path& file) {
  std::ifstream in(file.string());
  std::string line;
  std::getline(in, line);
  return line;
}

std::vector<std::string> wordsOf(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// The value of a KEY=value line of os-release, without quotes.
std::string osReleaseValue(const std::string& key) {
  std::ifstream in("/etc/os-release");
  std::string value;
  for (std::string line; std::getline(in, line);)
    if (line.rfind(key + "=", 0) == 0) value = line.substr(key.size() + 1);
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  return value;
}

// Processor packages from the kernel's topology, the model from cpuinfo.
std::set<std::string> processorPackages() {
  std::set<std::string> packages;
  for (fs::directory_iterator it("/sys/devices/system/cpu"), end; it != end; ++it) {
    const fs::path id = it->path() / "topology" / "physical_package_id";
    if (fs::exists(id)) packages.insert(firstLineOf(id));
  }
  return packages;
}

std::string processorModel() {
  std::ifstream in("/proc/cpuinfo");
  for (std::string line; std::getline(in, line);)
    if (line.compare(0, 10, "model name") == 0) return line.substr(line.find(": ") + 2);
  return std::string();
}

// Whole disks as the kernel lists them: sizes in bytes and sysfs models.
std::multimap<long long, std::string> kernelDisks() {
  std::multimap<long long, std::string> disks;
  for (fs::directory_iterator it("/sys/block"), end; it != end; ++it) {
    const std::string name = it->path().filename().string();
    bool virtualOrOptical = firstLineOf(it->path() / "device" / "type") == "5";  // SCSI type 5: CD/DVD
    for (const char* prefix : {"loop", "ram", "dm-", "md", "sr"}) virtualOrOptical |= name.rfind(prefix, 0) == 0;
    if (virtualOrOptical) continue;
    const long long sectors = std::atoll(firstLineOf(it->path() / "size").c_str());
    std::istringstream model(firstLineOf(it->path() / "device" / "model"));
    std::string trimmed;
    std::getline(model >> std::ws, trimmed);
    disks.emplace(sectors * 512, trimmed.substr(0, trimmed.find_last_not_of(' ') + 1));
  }
  return disks;
}

// Mount point and size in 1024-byte blocks of every file system df lists.
std::multiset<std::pair<std::string, long long>> mountedFileSystems() {
  const qztest::CommandResult df = qztest::runIn("/", "df -P -k 2>/dev/null");
  std::multiset<std::pair<std::string, long long>> mounts;
  std::istringstream lines(df.output);
  std::string line;
  std::getline(lines, line);  // heading
  while (std::getline(lines, line)) {
    const std::vector<std::string> words = wordsOf(line);
    if (words.size() == 6) mounts.emplace(words[5], std::atoll(words[1].c_str()));
  }
  return mounts;
}

struct InterfaceFacts {
  std::string mac;                                       // Ethernet-style links only
  std::set<std::pair<std::string, std::string>> ipv4;  // address and mask
};

std::map<std::string, InterfaceFacts> networkInterfaces() {
  std::map<std::string, InterfaceFacts> interfaces;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return interfaces;
  for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if ((entry->ifa_flags & IFF_LOOPBACK) != 0 || entry->ifa_addr == nullptr) continue;
    InterfaceFacts& facts = interfaces[entry->ifa_name];
    if (entry->ifa_addr->sa_family == AF_INET && entry->ifa_netmask != nullptr) {
      char address[INET_ADDRSTRLEN];
      char mask[INET_ADDRSTRLEN];
      inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr, address, sizeof address);
      inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(entry->ifa_netmask)->sin_addr, mask, sizeof mask);
      facts.ipv4.emplace(address, mask);
    }
#ifdef __linux__
    const auto* link = reinterpret_cast<sockaddr_ll*>(entry->ifa_addr);
    if (entry->ifa_addr->sa_family == AF_PACKET && link->sll_hatype == ARPHRD_ETHER && link->sll_halen == 6) {
      char mac[18];
      std::snprintf(mac, sizeof mac, "%02x:%02x:%02x:%02x:%02x:%02x", link->sll_addr[0], link->sll_addr[1],
                    link->sll_addr[2], link->sll_addr[3], link->sll_addr[4], link->sll_addr[5]);
      facts.mac = mac;
    }
#endif
  }
  freeifaddrs(list);
  return interfaces;
}

// Installed packages and versions, read from dpkg's own database.
std::multiset<std::pair<std::string, std::string>> installedDebianPackages() {
  std::multiset<std::pair<std::string, std::string>> packages;
  std::ifstream in("/var/lib/dpkg/status");
  std::map<std::string, std::string> fields;
  const auto flush = [&]() {
    const std::vector<std::string> status = wordsOf(fields["Status"]);
    if (status.size() == 3 && status[2] == "installed") packages.emplace(fields["Package"], fields["Version"]);
    fields.clear();
  };
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) flush();
    const std::size_t colon = line.find(": ");
    if (colon != std::string::npos && line[0] != ' ') fields[line.substr(0, colon)] = line.substr(colon + 2);
  }
  flush();
  return packages;
}

// name:arch -> the local time of its last "install" line in the current dpkg log.
std::map<std::string, long long> lastInstallsInDpkgLog() {
  std::map<std::string, long long> installs;
  std::ifstream in("/var/log/dpkg.log");
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> words = wordsOf(line);
    if (words.size() < 4 || words[2] != "install") continue;
    std::tm broken{};
    if (std::sscanf(line.c_str(), "%d-%d-%d %d:%d:%d", &broken.tm_year, &broken.tm_mon, &broken.tm_mday,
                    &broken.tm_hour, &broken.tm_min, &broken.tm_sec) != 6)
      continue;
    broken.tm_year -= 1900;
    broken.tm_mon -= 1;
    broken.tm_isdst = -1;
    installs[words[3]] = static_cast<long long>(std::mktime(&broken));
  }
  return installs;
}

// --- one collection for all the tests ----------------------------------------

struct Inventory {
  qztest::CommandResult script;
  std::string hardwareJson;
  std::string softwareJson;
  tagDECODEDFILE hardware;
  tagDECODEDFILE software;
};

// Deploys agent and script, runs the script as the agent does, then the
// agent's inventory in-process so both data files can be read before the
// clean-up deletes them.
Inventory collect(const fs::path& deploy) {
  fs::copy_file(QZ_AGENT_PATH, deploy / "qz-agent");
  fs::copy_file(fs::path(QZ_SCRIPTS_DIR) / "macInventory.sh", deploy / "macInventory.sh");
  Inventory inventory;
  inventory.script = qztest::runIn(deploy, "./macInventory.sh a");

  CTransferCoordinator coordinator;
  coordinator.setConfigDir(deploy.string());
  coordinator.setDestDir(deploy.string());
  coordinator.init((deploy / "result").string());
  coordinator.setVersion("1.0.0.0");
  testing::internal::CaptureStdout();
  coordinator.start();
  testing::internal::GetCapturedStdout();
  const std::vector<std::string> files = coordinator.outFiles();
  if (files.size() == 2) {
    inventory.hardwareJson = qztest::runIn(deploy, std::string(QZ_DUMP_PATH) + " '" + files[0] + "'").output;
    inventory.softwareJson = qztest::runIn(deploy, std::string(QZ_DUMP_PATH) + " '" + files[1] + "'").output;
    inventory.hardware = decodeDataFile(qztest::readFile(files[0]));
    inventory.software = decodeDataFile(qztest::readFile(files[1]));
  }
  coordinator.cleanup();
  return inventory;
}

class LinuxInventory : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    deploy_ = new qztest::ScratchDir;
#ifdef __linux__
    inventory_ = new Inventory(collect(deploy_->path()));
#else
    inventory_ = new Inventory;
#endif
  }
  static void TearDownTestSuite() {
    delete inventory_;
    delete deploy_;
  }
  void SetUp() override {
#ifndef __linux__
    GTEST_SKIP() << "the Linux collection runs on Linux only";
#endif
    ASSERT_EQ(1u, hardware().vecInfo.size()) << "no hardware file was read";
  }

  static const tagWMISTRUCT& hardware() { return inventory_->hardware.hardware; }
  static const tagWMIINFOSTRUCT& system() { return inventory_->hardware.hardware.vecInfo[0]; }

  static qztest::ScratchDir* deploy_;
  static Inventory* inventory_;
};

qztest::ScratchDir* LinuxInventory::deploy_ = nullptr;
Inventory* LinuxInventory::inventory_ = nullptr;

}  // namespace

TEST_F(LinuxInventory, ScriptIsSilentAndBothFilesDecode) {
  EXPECT_EQ(0, inventory_->script.status);
  EXPECT_EQ("", inventory_->script.output);
  EXPECT_EQ('{', inventory_->hardwareJson.empty() ? ' ' : inventory_->hardwareJson[0]);
  EXPECT_EQ('{', inventory_->softwareJson.empty() ? ' ' : inventory_->softwareJson[0]);
  EXPECT_EQ(tagDECODEDFILE::Software, inventory_->software.kind);
}

TEST_F(LinuxInventory, HostNameArchitectureAndHeaders) {
  char name[256] = {};
  ASSERT_EQ(0, gethostname(name, sizeof name - 1));
  const std::string host(name);
  EXPECT_EQ(host.substr(0, host.find('.')), system().strComputerName);
  EXPECT_EQ(system().strComputerName, inventory_->hardware.header.strComputerName);
  EXPECT_EQ(system().strComputerName, inventory_->software.header.strComputerName);
  utsname machine{};
  ASSERT_EQ(0, uname(&machine));
  EXPECT_EQ(machine.machine, system().strArchitecture);
  EXPECT_EQ(14u, system().strInstallDate.size()) << system().strInstallDate;
}

TEST_F(LinuxInventory, MemoryTotal) {
  std::ifstream in("/proc/meminfo");
  std::string key;
  unsigned int kilobytes = 0;
  in >> key >> kilobytes;
  ASSERT_EQ("MemTotal:", key);
  ASSERT_EQ(1u, hardware().vecMemory.size());
  EXPECT_EQ(kilobytes, hardware().vecMemory[0].dwCapacity);
}

TEST_F(LinuxInventory, ProcessorModelAndPackageCount) {
  std::set<std::string> packages = processorPackages();
  if (packages.empty()) packages.insert("0");  // no topology: one package, as the collector counts
  const std::string model = processorModel();
  if (model.empty()) {
    EXPECT_TRUE(hardware().vecCpu.empty()) << "cpuinfo names no model here";
    return;
  }
  ASSERT_EQ(packages.size(), hardware().vecCpu.size());
  for (const tagWMICPUSTRUCT& cpu : hardware().vecCpu) {
    EXPECT_EQ(model, cpu.strName);
    EXPECT_GE(cpu.dwCoreCount, 1u);
  }
}

TEST_F(LinuxInventory, DisksBySizeAndModel) {
  const std::multimap<long long, std::string> expected = kernelDisks();
  std::multiset<long long> expectedSizes;
  for (const auto& disk : expected) expectedSizes.insert(disk.first);
  std::multiset<long long> sizes;
  for (const tagWMIDISKSTRUCT& disk : hardware().vecDisk) {
    sizes.insert(disk.llSize);
    // lsblk may name a disk in full where sysfs keeps the first 16 characters.
    bool known = false;
    for (auto range = expected.equal_range(disk.llSize); range.first != range.second; ++range.first)
      known |= disk.strModel.rfind(range.first->second, 0) == 0;
    EXPECT_TRUE(known) << disk.strModel;
  }
  EXPECT_EQ(expectedSizes, sizes);
}

TEST_F(LinuxInventory, MountedFileSystems) {
  std::multiset<std::pair<std::string, long long>> mounts;
  for (const tagWMIPATSTRUCT& partition : hardware().vecPartition) {
    mounts.emplace(partition.strName, partition.llSize);
    EXPECT_LE(partition.llFreeSpace, partition.llSize) << partition.strName;
    EXPECT_EQ(3u, partition.dwDriveType);
  }
  const auto expected = mountedFileSystems();
  ASSERT_FALSE(expected.empty()) << "df lists nothing here";
  EXPECT_EQ(expected, mounts);
}

TEST_F(LinuxInventory, EveryInterfaceButLoopbackWithItsAddressAndMask) {
  const std::map<std::string, InterfaceFacts> interfaces = networkInterfaces();
  std::map<std::string, tagWMINICSTRUCT> adapters;
  for (const tagWMINICSTRUCT& nic : hardware().vecNic) {
    const std::size_t open = nic.strDescription.rfind('(');
    ASSERT_NE(std::string::npos, open) << nic.strDescription;
    adapters[nic.strDescription.substr(open + 1, nic.strDescription.size() - open - 2)] = nic;
  }
  ASSERT_EQ(interfaces.size(), adapters.size());
  for (const auto& entry : interfaces) {
    SCOPED_TRACE(entry.first);
    ASSERT_EQ(1u, adapters.count(entry.first));
    const tagWMINICSTRUCT& nic = adapters.at(entry.first);
    const InterfaceFacts& facts = entry.second;
    if (facts.ipv4.empty()) {
      EXPECT_EQ("", nic.strIPAddress);
    } else {
      EXPECT_EQ(1u, facts.ipv4.count({nic.strIPAddress, nic.strSubnetMask}))
          << nic.strIPAddress << " " << nic.strSubnetMask;
    }
    if (!facts.mac.empty()) {
      EXPECT_EQ(facts.mac, nic.strMACAddress);
    }
    EXPECT_EQ(1u, nic.dwEnabled);
  }
}

TEST_F(LinuxInventory, OperatingSystemNameAndVersion) {
  const std::string id = osReleaseValue("ID");
  if (id == "debian") {
    const std::string pointRelease = firstLineOf("/etc/debian_version");
    EXPECT_EQ("Debian " + pointRelease, system().strOSName);
    EXPECT_EQ(pointRelease, system().strOSVersion);
  } else if (id == "ubuntu") {
    EXPECT_EQ(osReleaseValue("PRETTY_NAME"), system().strOSName);
    EXPECT_EQ(0u, system().strOSVersion.rfind(osReleaseValue("VERSION_ID"), 0)) << system().strOSVersion;
  } else {
    EXPECT_NE("", system().strOSName);
    const std::string version = osReleaseValue("VERSION_ID");
    EXPECT_NE(std::string::npos, (system().strOSName + " " + system().strOSVersion).find(version));
  }
}

TEST_F(LinuxInventory, EveryInstalledPackageWithItsVersionAndNoOther) {
  const std::vector<tagAPPLIDATASTRUCT>& applications = inventory_->software.applications;
  if (!fs::exists("/var/lib/dpkg/status")) {
    EXPECT_TRUE(system().strOSName.find("Debian") == std::string::npos);
    GTEST_SKIP() << "no dpkg database here to compare with (" << applications.size() << " packages listed)";
  }
  std::multiset<std::pair<std::string, std::string>> listed;
  for (const tagAPPLIDATASTRUCT& package : applications) listed.emplace(package.strName, package.strVersion);
  const auto installed = installedDebianPackages();
  ASSERT_FALSE(installed.empty());
  EXPECT_EQ(installed, listed);

  // Packages the current log installs carry the time of their last install line.
  const std::map<std::string, long long> installs = lastInstallsInDpkgLog();
  std::map<std::string, long long> times;
  std::map<std::string, int> architectures;  // a name installed for two architectures is ambiguous
  for (const tagAPPLIDATASTRUCT& package : applications) {
    times[package.strName] = package.tmInstall;
    ++architectures[package.strName];
  }
  int dated = 0;
  for (const auto& install : installs) {
    const std::string name = install.first.substr(0, install.first.find(':'));
    const auto found = times.find(name);
    if (found == times.end() || architectures[name] > 1) continue;  // removed since, or ambiguous
    EXPECT_EQ(install.second & 0xFFFFFFFFLL, found->second) << install.first;
    ++dated;
  }
  if (!installs.empty()) {
    EXPECT_GT(dated, 0);
  }
}

TEST_F(LinuxInventory, TheAgentProgramRunsTheScriptAndLeavesNoDataFile) {
  qztest::ScratchDir deploy;
  qztest::ScratchDir temp;
  fs::copy_file(QZ_AGENT_PATH, deploy.path() / "qz-agent");
  fs::copy_file(fs::path(QZ_SCRIPTS_DIR) / "macInventory.sh", deploy.path() / "macInventory.sh");
  fs::create_directories(deploy.path() / "result" / "stale");
  const qztest::CommandResult run =
      qztest::runIn(deploy.path(), "TMPDIR='" + temp.path().string() + "' ./qz-agent 2>&1");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(0u, run.output.rfind("start\n", 0)) << run.output;
  const std::size_t done = run.output.find("ソフトウェア情報作成完了");
  ASSERT_NE(std::string::npos, done) << run.output;
  EXPECT_EQ("ソフトウェア情報作成完了\nUPDATE_PROGRESS\nend\n", run.output.substr(done));
  EXPECT_FALSE(fs::exists(deploy.path() / "result" / "stale"));  // the script clears an old collection
  EXPECT_TRUE(fs::exists(deploy.path() / "result" / "cpu"));
  for (fs::directory_iterator it(deploy.path()), end; it != end; ++it)
    EXPECT_EQ(std::string::npos, it->path().filename().string().find(".dat")) << it->path();
}

namespace {

// A folder of links to the few tools every POSIX system has; the optional
// ones (lsblk, lspci, udevadm, df, hostname, dpkg-query, rpm, timeout, gzip) stay out.
void linkBasicTools(const fs::path& bin) {
  fs::create_directories(bin);
  for (const char* tool : {"sh", "cat", "sed", "awk", "grep", "head", "tail", "tr", "cut", "sort", "mkdir", "rm",
                           "uname", "id", "readlink", "stat", "ls", "date"}) {
    const qztest::CommandResult found = qztest::runIn("/", std::string("command -v ") + tool);
    const std::string path = found.output.substr(0, found.output.find('\n'));
    if (found.status == 0 && !path.empty()) fs::create_symlink(path, bin / tool);
  }
}

}  // namespace

TEST(LinuxCollectionScript, RunsAsAnOrdinaryUserWithoutOptionalTools) {
#ifndef __linux__
  GTEST_SKIP() << "the Linux collection runs on Linux only";
#endif
  qztest::ScratchDir deploy;
  fs::permissions(deploy.path(), fs::all_all);  // writable by whoever runs the script
  fs::copy_file(fs::path(QZ_SCRIPTS_DIR) / "macInventory.sh", deploy.path() / "macInventory.sh");
  linkBasicTools(deploy.path() / "bin");
  // As root, drop to nobody; otherwise this already is an ordinary user.
  const std::string asUser = geteuid() == 0 ? "setpriv --reuid=nobody --regid=nogroup --clear-groups " : "";
  const qztest::CommandResult run =
      qztest::runIn(deploy.path(), asUser + "env PATH='" + (deploy.path() / "bin").string() + "' sh ./macInventory.sh a 2>&1");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.output);
  const fs::path result = deploy.path() / "result";
  EXPECT_FALSE(fs::exists(result / "dmidecode"));  // root only
  EXPECT_FALSE(fs::exists(result / "app"));        // no package tool reachable
  EXPECT_EQ("", qztest::readFile(result / "logical_disk"));
  char name[256] = {};
  ASSERT_EQ(0, gethostname(name, sizeof name - 1));
  EXPECT_EQ(std::string(name) + "\n", qztest::readFile(result / "hostname"));  // uname -n stands in
  EXPECT_NE("", qztest::readFile(result / "cpu"));
  EXPECT_NE("", qztest::readFile(result / "os"));
}
