// Fuzz target: a Linux result/ folder made from the input, collected and
// encoded by both managers, its list of failed sources read. The input is a
// sequence of files, each a name line followed by its content up to a line
// holding only "@@".
#include "inventory/FailedSources.h"
#include "inventory/hardware/CHWInfoManager.h"
#include "inventory/software/CSWInfoManager.h"

#include <boost/filesystem/fstream.hpp>
#include <boost/filesystem/operations.hpp>

#include <cstdint>
#include <set>
#include <string>
#include <unistd.h>

namespace fs = boost::filesystem;

namespace {

const std::set<std::string> kCollectedFiles = {
    "dmidecode", "grep_sys_devices", "hostname", "domainname", "arch", "cpu", "mem",
    "physical_disk", "logical_disk", "video", "nic_eth0", "ip_eth0", "nic_wlan0", "ip_wlan0",
    "os", "os_install_1", "os_install_2", "app", "app_install", "route", "resolv_conf", "resolv_upstream",
    "resolvectl_dns", "nmcli_dhcp", "dhclient_leases", "networkd_lease_eth0", "dhcpcd_lease_eth0",
    "networkd_lease_wlan0", "dhcpcd_lease_wlan0", "failed"};

const fs::path& workFolder() {
  static const fs::path folder = fs::temp_directory_path() / ("qz-fuzz-linux-" + std::to_string(getpid()));
  return folder;
}

void writeFolder(const std::string& input, const fs::path& folder) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::size_t position = 0;
  while (position < input.size()) {
    const std::size_t nameEnd = input.find('\n', position);
    if (nameEnd == std::string::npos) break;
    const std::string name = input.substr(position, nameEnd - position);
    std::size_t contentEnd = input.find("\n@@\n", nameEnd);
    if (contentEnd == std::string::npos) contentEnd = input.size();
    if (kCollectedFiles.count(name) != 0) {
      fs::ofstream out(folder / name, std::ios::binary);
      out << input.substr(nameEnd + 1, contentEnd - nameEnd - 1);
    }
    position = contentEnd + 4;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path& folder = workFolder();
  writeFolder(std::string(reinterpret_cast<const char*>(data), size), folder / "result");
  tagWMISTRUCT record;
  CHWInfoManager hardware((folder / "result").string(), folder.string(), record);
  hardware.load();
  hardware.encodeInfo(folder / "hardware.dat");
  CSWInfoManager software((folder / "result").string(), folder.string(), record);
  software.load();
  software.encodeInfo(folder / "software.dat");
  wmi::describeFailures(wmi::readFailedSources(folder / "result"), {"hostname", "cpu", "app"});
  return 0;
}
