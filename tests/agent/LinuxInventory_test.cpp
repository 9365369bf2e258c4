// The real collection script and the agent's inventory run on this machine,
// in a deploy folder of their own: both data files, checked with qz-dump and
// decoded, against facts this test gathers from the machine by other means.
#include "InventoryRun.h"
#include "agent/CTransferCoordinator.h"
#include "inventory/DataFileReader.h"
#include "support/SpoolServer.h"
#include "support/TestFiles.h"

#include <boost/filesystem/directory.hpp>
#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/if_packet.h>
#include <net/if_arp.h>
#include <sys/sysmacros.h>
#endif

namespace fs = boost::filesystem;

namespace {

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

std::string osReleaseValue(const std::string& key) {
  std::ifstream in("/etc/os-release");
  std::string value;
  for (std::string line; std::getline(in, line);)
    if (line.rfind(key + "=", 0) == 0) value = line.substr(key.size() + 1);
  if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
  return value;
}

// Whole disks by size in bytes, as the kernel lists them, without RAM and
// network block devices and empty ones.
std::multiset<long long> kernelDiskSizes() {
  std::multiset<long long> sizes;
  for (fs::directory_iterator it("/sys/block"), end; it != end; ++it) {
    const std::string name = it->path().filename().string();
    bool notADisk = firstLineOf(it->path() / "device" / "type") == "5";  // SCSI type 5: CD/DVD
    for (const char* prefix : {"loop", "ram", "zram", "nbd", "dm-", "md", "sr"}) notADisk |= name.rfind(prefix, 0) == 0;
    const long long size = std::atoll(firstLineOf(it->path() / "size").c_str()) * 512;
    if (!notADisk && size > 0) sizes.insert(size);
  }
  return sizes;
}

// The type of the file system at each mount point (blanks written \040).
std::map<std::string, std::string> mountTypes() {
  std::map<std::string, std::string> types;
  std::ifstream in("/proc/self/mounts");
  for (std::string line; std::getline(in, line);)
    if (wordsOf(line).size() >= 3) types[wordsOf(line)[1]] = wordsOf(line)[2];  // the last mount hides earlier ones
  return types;
}

// True when the kernel serves the file system at `mount` from a block device.
bool onBlockDevice(std::string mount) {
  for (std::size_t at; (at = mount.find("\\040")) != std::string::npos;) mount.replace(at, 4, " ");
  struct stat status {};
  return stat(mount.c_str(), &status) == 0 && fs::exists("/sys/dev/block/" + std::to_string(major(status.st_dev)) +
                                                         ":" + std::to_string(minor(status.st_dev)));
}

// IPv4 default gateways by interface, from the kernel's routing table, whose
// hexadecimal addresses are in host byte order; the first route wins.
std::map<std::string, std::string> defaultGateways() {
  std::map<std::string, std::string> gateways;
  std::ifstream in("/proc/net/route");
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> fields = wordsOf(line);
    if (fields.size() < 8 || fields[1] != "00000000" || fields[7] != "00000000" || fields[2] == "00000000") continue;
    in_addr gateway{};
    gateway.s_addr = static_cast<in_addr_t>(std::strtoul(fields[2].c_str(), nullptr, 16));
    char text[INET_ADDRSTRLEN];
    if (inet_ntop(AF_INET, &gateway, text, sizeof text) != nullptr) gateways.emplace(fields[0], text);
  }
  return gateways;
}

// The IPv4 name servers of /etc/resolv.conf, and whether they are only a local stub.
std::pair<std::vector<std::string>, bool> resolverServers() {
  std::vector<std::string> servers;
  bool onlyLoopback = true;
  std::ifstream in("/etc/resolv.conf");
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> words = wordsOf(line);
    if (words.size() < 2 || words[0] != "nameserver") continue;
    in_addr address{};
    if (inet_pton(AF_INET, words[1].c_str(), &address) == 1) servers.push_back(words[1]);
    onlyLoopback &= words[1].rfind("127.", 0) == 0 || words[1] == "::1";
  }
  return {servers, onlyLoopback && !servers.empty()};
}

// IPv4 "address/mask" texts and the MAC of every interface but loopback.
std::map<std::string, std::pair<std::set<std::string>, std::string>> networkInterfaces() {
  std::map<std::string, std::pair<std::set<std::string>, std::string>> interfaces;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return interfaces;
  for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if ((entry->ifa_flags & IFF_LOOPBACK) != 0 || entry->ifa_addr == nullptr) continue;
    auto& facts = interfaces[entry->ifa_name];
    char address[INET_ADDRSTRLEN], mask[INET_ADDRSTRLEN];
    if (entry->ifa_addr->sa_family == AF_INET && entry->ifa_netmask != nullptr &&
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr, address, sizeof address) &&
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(entry->ifa_netmask)->sin_addr, mask, sizeof mask))
      facts.first.insert(std::string(address) + "/" + mask);
#ifdef __linux__
    const auto* link = reinterpret_cast<sockaddr_ll*>(entry->ifa_addr);
    if (entry->ifa_addr->sa_family == AF_PACKET && link->sll_hatype == ARPHRD_ETHER && link->sll_halen == 6) {
      char mac[18];
      std::snprintf(mac, sizeof mac, "%02x:%02x:%02x:%02x:%02x:%02x", link->sll_addr[0], link->sll_addr[1],
                    link->sll_addr[2], link->sll_addr[3], link->sll_addr[4], link->sll_addr[5]);
      facts.second = mac;
    }
#endif
  }
  freeifaddrs(list);
  return interfaces;
}

// "name version" of every installed package, read from dpkg's own database.
std::multiset<std::string> installedDebianPackages() {
  std::multiset<std::string> packages;
  std::ifstream in("/var/lib/dpkg/status");
  std::map<std::string, std::string> fields;
  for (std::string line; std::getline(in, line) || !fields.empty();) {
    if (!line.empty() && line[0] != ' ' && line.find(": ") != std::string::npos) {
      fields[line.substr(0, line.find(": "))] = line.substr(line.find(": ") + 2);
    } else if (line.empty()) {
      const std::vector<std::string> status = wordsOf(fields["Status"]);
      if (status.size() == 3 && status[2] == "installed") packages.insert(fields["Package"] + " " + fields["Version"]);
      fields.clear();
    }
    line.clear();
  }
  return packages;
}

struct Inventory {
  qztest::CommandResult script;
  bool staleLeft = true;
  int dumpStatus = -1;
  tagDECODEDFILE hardware;
  tagDECODEDFILE software;
};

// Runs the script as the agent does, then the agent's inventory in-process,
// so both data files can be read before its clean-up deletes them.
[[maybe_unused]] Inventory collect(const fs::path& deploy) {
  fs::copy_file(fs::path(QZ_SCRIPTS_DIR) / "macInventory.sh", deploy / "macInventory.sh");
  fs::create_directories(deploy / "result" / "stale");  // the script clears an old collection
  Inventory inventory;
  inventory.script = qztest::runIn(deploy, "./macInventory.sh a");
  inventory.staleLeft = fs::exists(deploy / "result" / "stale");
  CTransferCoordinator coordinator;
  qztest::makeDataFiles(coordinator, deploy, deploy / "result");
  const std::vector<std::string> files = coordinator.outFiles();
  if (files.size() == 2) {
    inventory.dumpStatus = qztest::runIn(deploy, std::string(QZ_DUMP_PATH) + " " + files[0] + " " + files[1] + " >/dev/null").status;
    inventory.hardware = decodeDataFile(qztest::readFile(files[0]));
    inventory.software = decodeDataFile(qztest::readFile(files[1]));
  }
  coordinator.cleanup();
  return inventory;
}

class LinuxInventory : public testing::Test {
 protected:
  static void SetUpTestSuite() {
#ifdef __linux__
    qztest::ScratchDir deploy;
    inventory_ = new Inventory(collect(deploy.path()));
#endif
  }
  static void TearDownTestSuite() { delete inventory_; }
  void SetUp() override {
    if (inventory_ == nullptr) GTEST_SKIP() << "the Linux collection runs on Linux only";
    ASSERT_EQ(1u, hardware().vecInfo.size()) << "no hardware file was read";
  }
  static const tagWMISTRUCT& hardware() { return inventory_->hardware.hardware; }
  static const tagWMIINFOSTRUCT& system() { return inventory_->hardware.hardware.vecInfo[0]; }
  static Inventory* inventory_;
};

Inventory* LinuxInventory::inventory_ = nullptr;

}  // namespace

TEST_F(LinuxInventory, SilentScriptDecodableFilesHostNameAndMemory) {
  EXPECT_EQ(0, inventory_->script.status);
  EXPECT_EQ("", inventory_->script.output);
  EXPECT_FALSE(inventory_->staleLeft);
  EXPECT_EQ(0, inventory_->dumpStatus);
  char name[256] = {};
  ASSERT_EQ(0, gethostname(name, sizeof name - 1));
  EXPECT_EQ(std::string(name).substr(0, std::string(name).find('.')), system().strComputerName);
  EXPECT_EQ(system().strComputerName, inventory_->software.header.strComputerName);
  utsname machine{};
  ASSERT_EQ(0, uname(&machine));
  EXPECT_EQ(machine.machine, system().strArchitecture);
  const std::vector<std::string> memTotal = wordsOf(firstLineOf("/proc/meminfo"));
  ASSERT_EQ(1u, hardware().vecMemory.size());
  EXPECT_EQ(std::to_string(hardware().vecMemory[0].dwCapacity), memTotal.at(1));
}

TEST_F(LinuxInventory, ProcessorModelAndPackageCount) {
  std::set<std::string> packages;  // from the kernel's topology, not from cpuinfo
  for (fs::directory_iterator it("/sys/devices/system/cpu"), end; it != end; ++it)
    if (fs::exists(it->path() / "topology" / "physical_package_id"))
      packages.insert(firstLineOf(it->path() / "topology" / "physical_package_id"));
  std::string model;
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; model.empty() && std::getline(cpuinfo, line);)
    if (line.rfind("model name", 0) == 0) model = line.substr(line.find(": ") + 2);
  ASSERT_NE("", model) << "cpuinfo names no processor model here";
  ASSERT_EQ(std::max<std::size_t>(packages.size(), 1), hardware().vecCpu.size());
  for (const tagWMICPUSTRUCT& cpu : hardware().vecCpu) EXPECT_EQ(model, cpu.strName);
}

TEST_F(LinuxInventory, DisksAndFileSystemsOfTheHardwareOnly) {
  std::multiset<long long> sizes;
  for (const tagWMIDISKSTRUCT& disk : hardware().vecDisk) sizes.insert(disk.llSize);
  EXPECT_EQ(kernelDiskSizes(), sizes);

  std::map<std::string, long long> listed;  // a df run of its own, without file-system types
  std::istringstream df(qztest::runIn("/", "df -P -k 2>/dev/null | tail -n +2").output);
  for (std::string line; std::getline(df, line);)
    if (wordsOf(line).size() == 6) listed[wordsOf(line)[5]] = std::atoll(wordsOf(line)[1].c_str());
  ASSERT_EQ(1u, listed.count("/"));
  const std::set<std::string> pseudo = {"tmpfs",  "devtmpfs", "squashfs", "overlay", "efivarfs", "proc",  "sysfs",
                                        "cgroup", "cgroup2",  "devpts",   "ramfs",   "mqueue",   "autofs"};
  const std::map<std::string, std::string> types = mountTypes();
  std::set<std::string> mounts;
  for (const tagWMIPATSTRUCT& partition : hardware().vecPartition) {
    const std::string& mount = partition.strName;
    mounts.insert(mount);
    EXPECT_EQ(listed[mount], partition.llSize) << mount;
    EXPECT_LE(partition.llFreeSpace, partition.llSize) << mount;
    EXPECT_TRUE(mount == "/" || pseudo.count(types.count(mount) ? types.at(mount) : "") == 0) << mount;
  }
  for (const auto& mount : listed) {
    const bool squashfs = types.count(mount.first) != 0 && types.at(mount.first) == "squashfs";
    if (mount.first == "/" || (onBlockDevice(mount.first) && !squashfs)) {
      EXPECT_EQ(1u, mounts.count(mount.first)) << mount.first;
    }
  }
}

// Interfaces backed by a device or holding an IPv4 address (not ifb, veth,
// dummy or an idle bridge), with address, mask, gateway and DNS servers.
TEST_F(LinuxInventory, EveryHardwareInterfaceWithItsAddressGatewayAndResolver) {
  auto interfaces = networkInterfaces();
  for (auto it = interfaces.begin(); it != interfaces.end();)
    it = fs::exists("/sys/class/net/" + it->first + "/device") || !it->second.first.empty() ? std::next(it)
                                                                                            : interfaces.erase(it);
  std::map<std::string, tagWMINICSTRUCT> adapters;
  for (const tagWMINICSTRUCT& nic : hardware().vecNic) {
    const std::size_t open = nic.strDescription.rfind('(');
    adapters[nic.strDescription.substr(open + 1, nic.strDescription.size() - open - 2)] = nic;
  }
  ASSERT_EQ(interfaces.size(), adapters.size());
  const auto gateways = defaultGateways();
  const auto resolver = resolverServers();
  for (const auto& facts : interfaces) {
    ASSERT_EQ(1u, adapters.count(facts.first)) << facts.first;
    const tagWMINICSTRUCT& nic = adapters.at(facts.first);
    const std::string addressAndMask = nic.strIPAddress + "/" + nic.strSubnetMask;
    const std::set<std::string>& addresses = facts.second.first;
    EXPECT_TRUE(addresses.empty() ? addressAndMask == "/" : addresses.count(addressAndMask) == 1)
        << facts.first << " " << addressAndMask;
    const std::string& mac = facts.second.second;
    EXPECT_TRUE(mac.empty() || mac == nic.strMACAddress) << facts.first << " " << nic.strMACAddress;
    EXPECT_EQ(gateways.count(facts.first) ? gateways.at(facts.first) : "", nic.strDefaultGateway) << facts.first;
    std::vector<std::string> servers = resolver.first;  // behind a local stub: whatever it forwards to
    servers.resize(2);
    if (addresses.empty()) {
      EXPECT_EQ("|", nic.strDNSServer1 + "|" + nic.strDNSServer2) << facts.first;
    } else if (resolver.second) {
      EXPECT_NE("", nic.strDNSServer1) << facts.first;
    } else {
      EXPECT_EQ(servers[0] + "|" + servers[1], nic.strDNSServer1 + "|" + nic.strDNSServer2) << facts.first;
    }
    EXPECT_TRUE(nic.dwDHCPEnabled == 1 || nic.strDHCPServer.empty()) << facts.first;
  }
}

TEST_F(LinuxInventory, OperatingSystemNameAndVersion) {
  if (osReleaseValue("ID") == "debian") {
    const std::string pointRelease = firstLineOf("/etc/debian_version");
    EXPECT_EQ("Debian " + pointRelease + "|" + pointRelease, system().strOSName + "|" + system().strOSVersion);
  } else {
    EXPECT_NE("", system().strOSName);
    EXPECT_NE(std::string::npos, (system().strOSName + system().strOSVersion).find(osReleaseValue("VERSION_ID")));
  }
}

TEST_F(LinuxInventory, EveryInstalledPackageWithItsVersionAndNoOther) {
  if (!fs::exists("/var/lib/dpkg/status")) GTEST_SKIP() << "no dpkg database here to compare with";
  std::multiset<std::string> listed;
  long long dated = 0;
  for (const tagAPPLIDATASTRUCT& package : inventory_->software.applications) {
    listed.insert(package.strName + " " + package.strVersion);
    dated += package.tmInstall != 0;
  }
  const std::multiset<std::string> installed = installedDebianPackages();
  ASSERT_FALSE(installed.empty());
  EXPECT_EQ(installed, listed);
  // Some package the current dpkg log installs carries its install time.
  EXPECT_TRUE(dated > 0 || qztest::readFile("/var/log/dpkg.log").find(" install ") == std::string::npos);
}

// Tools every POSIX system has; the optional ones (lsblk, lspci, udevadm, df,
// hostname, dpkg-query, rpm, timeout, gzip) stay out of reach.
TEST(LinuxCollectionScript, RunsAsAnOrdinaryUserWithoutOptionalTools) {
#ifndef __linux__
  GTEST_SKIP() << "the Linux collection runs on Linux only";
#endif
  qztest::ScratchDir deploy;
  fs::permissions(deploy.path(), fs::all_all);  // writable by whoever runs the script
  fs::copy_file(fs::path(QZ_SCRIPTS_DIR) / "macInventory.sh", deploy.path() / "macInventory.sh");
  fs::create_directory(deploy.path() / "bin");
  for (const char* tool : {"sh", "cat", "sed", "awk", "grep", "head", "tail", "tr", "cut", "sort", "mkdir", "mv", "rm",
                           "uname", "id", "readlink", "stat", "ls", "date"}) {
    const std::string path = wordsOf(qztest::runIn("/", std::string("command -v ") + tool).output).at(0);
    fs::create_symlink(path, deploy.path() / "bin" / tool);
  }
  const std::string asUser = geteuid() == 0 ? "setpriv --reuid=nobody --regid=nogroup --clear-groups " : "";
  const qztest::CommandResult run =
      qztest::runIn(deploy.path(), asUser + "env PATH=" + (deploy.path() / "bin").string() + " sh ./macInventory.sh a 2>&1");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.output);
  const fs::path result = deploy.path() / "result";
  EXPECT_FALSE(fs::exists(result / "dmidecode"));  // root only
  EXPECT_FALSE(fs::exists(result / "app"));        // no package tool in reach
  // Of the missing tools only those of the package list make a failure.
  EXPECT_EQ("app\tnot found (neither dpkg-query nor rpm)\n", qztest::readFile(result / "failed"));
  EXPECT_EQ("", qztest::readFile(result / "logical_disk"));
  EXPECT_TRUE(fs::exists(result / "route"));  // ip, or the kernel's routing table
  EXPECT_EQ(fs::exists("/etc/resolv.conf"), fs::exists(result / "resolv_conf"));
  char name[256] = {};
  ASSERT_EQ(0, gethostname(name, sizeof name - 1));
  EXPECT_EQ(std::string(name) + "\n", qztest::readFile(result / "hostname"));  // uname -n stands in
  EXPECT_NE("", qztest::readFile(result / "cpu") + qztest::readFile(result / "os"));
}

// A package database that cannot be read (damaged, or locked by a dead
// process) must not reach the spool as a machine without packages.
TEST(LinuxCollectionScript, FailingPackageQuerySendsTheHardwareFileOnly) {
#ifndef __linux__
  GTEST_SKIP() << "the Linux collection runs on Linux only";
#endif
  qztest::SpoolServer server;
  qztest::ScratchDir deploy;
  qztest::ScratchDir temp;
  fs::copy_file(QZ_AGENT_PATH, deploy.path() / "qz-agent");
  fs::copy_file(fs::path(QZ_SCRIPTS_DIR) / "macInventory.sh", deploy.path() / "macInventory.sh");
  deploy.write("Config.ini", "127.0.0.1\n" + std::to_string(server.port()) + "\n0\nagent\nsecret\n");
  const fs::path query = deploy.write("bin/dpkg-query", "#!/bin/sh\necho 'dpkg-query: error: parsing file' >&2\nexit 2\n");
  fs::permissions(query, fs::owner_all);
  const qztest::CommandResult run = qztest::runIn(
      deploy.path(), "PATH=\"$PWD/bin:$PATH\" TMPDIR='" + temp.path().string() + "' ./qz-agent 2>stderr.txt");

  EXPECT_EQ(0, run.status);
  std::string messages = qztest::kCollectionMessages;
  messages.erase(messages.find("ソフトウェア情報作成完了\n"), std::string("ソフトウェア情報作成完了\n").size());
  EXPECT_EQ(messages + "UPDATE_PROGRESS\nupload err\nend\n", run.output);
  const std::string errors = qztest::readFile(deploy.path() / "stderr.txt");
  EXPECT_NE(std::string::npos, errors.find("qz-agent: the software data file is not sent, as a source it cannot do "
                                           "without was not collected: app (exit status 2)\n"))
      << errors;
  const std::vector<std::string> spooled = server.spooledFiles();
  ASSERT_EQ(1u, spooled.size());
  EXPECT_EQ(tagDECODEDFILE::Hardware, decodeDataFile(qztest::readFile(server.spoolFolder() / spooled[0])).kind);
}
