// Linux system identity, host names, operating system, processors and memory.
#include "LinuxCollection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using qztest::LinuxCollection;

namespace {

tagWMIINFOSTRUCT systemOf(LinuxCollection& collection) {
  collection.manager.loadSysInfo(collection.record);
  return collection.record.vecInfo.at(0);
}

std::string identity(LinuxCollection& collection) {
  const tagWMIINFOSTRUCT info = systemOf(collection);
  return info.strManufacturer + "|" + info.strModel + "|" + info.strSerialNumber + "|" + info.strUUID;
}

}  // namespace

TEST(LinuxSystem, IdentityFromDmidecodeOrWithoutRootFromSysfs) {
  EXPECT_EQ("Dell Inc.|PowerEdge R740|4ZK1F23|4c4c4544-005a-4b10-8031-b4c04f463233",
            identity(LinuxCollection()
                                   .add("dmidecode", "system/dmidecode-root")
                                   .add("grep_sys_devices", "system/grep_sys_devices-user")));
  // Without root, serial number and UUID are unreadable in sysfs too.
  EXPECT_EQ("LENOVO|20XWCTO1WW||", identity(LinuxCollection()
                                                          .add("dmidecode", "system/dmidecode-user")
                                                          .add("grep_sys_devices", "system/grep_sys_devices-user")));
  // A manufacturer alone is enough; otherwise sysfs replaces what it has and keeps the rest.
  EXPECT_EQ("QEMU|||", identity(LinuxCollection()
                                              .write("dmidecode", "\tManufacturer: QEMU\n")
                                              .add("grep_sys_devices", "system/grep_sys_devices-user")));
  EXPECT_EQ("LENOVO|20XWCTO1WW||1234", identity(LinuxCollection()
                                                              .write("dmidecode", "\tProduct Name: Box\n\tUUID: 1234\n")
                                                              .add("grep_sys_devices", "system/grep_sys_devices-user")));
}

TEST(LinuxSystem, HostNameDomainArchitectureAndSourceName) {
  LinuxCollection qualified("srv42");
  qualified.write("hostname", "web01.dc1.example.com\n").write("domainname", "other.example\n").write("arch", "aarch64\n");
  const tagWMIINFOSTRUCT info = systemOf(qualified);
  EXPECT_EQ("web01|dc1.example.com|aarch64|srv42",
            info.strComputerName + "|" + info.strDomain + "|" + info.strArchitecture + "|" + info.strSourceName);

  LinuxCollection plain;
  plain.write("hostname", "web01\n").write("domainname", "(none)\n");  // taken as written
  const tagWMIINFOSTRUCT unqualified = systemOf(plain);
  EXPECT_EQ("web01|(none)|",
            unqualified.strComputerName + "|" + unqualified.strDomain + "|" + unqualified.strSourceName);
}

TEST(LinuxSystem, AnEmptyCollectionYieldsOneSystemRecordAndNothingElse) {
  LinuxCollection collection;
  collection.manager.load();
  const tagWMISTRUCT& record = collection.record;
  EXPECT_EQ(1u, record.vecInfo.size());
  EXPECT_EQ(0u, record.vecCpu.size() + record.vecMemory.size() + record.vecDisk.size() + record.vecPartition.size() +
                    record.vecCdrom.size() + record.vecMonitor.size() + record.vecNic.size());
}

TEST(LinuxOSInfo, ReleaseAndTheEarlierInstallCandidateInLocalTime) {
  setenv("TZ", "JST-9", 1);  // a zone away from UTC: both candidates are read as local time
  tzset();
  const struct {
    const char* seconds;
    const char* stamp;
    const char* date;
  } cases[] = {
      {"1600000000\n", nullptr, "20200913212640"},
      {"1600000000\n", "20200101000000\n", "20200101000000"},
      {" 1600000000 \n", "20210101000000", "20200913212640"},
      {nullptr, nullptr, "19700101090000"},
      {"12a\n", "2020010100000\n", "19700101090000"},                   // 13 digits
      {"999999999999999999999\n", "20200101 000000\n", "19700101090000"},  // overflow; a blank inside
      {"9223372036854775807\n", nullptr, ""},                              // no calendar holds it
  };
  for (const auto& each : cases) {
    LinuxCollection collection;
    collection.add("os", "release/centos-7");
    if (each.seconds) collection.write("os_install_1", each.seconds);
    if (each.stamp) collection.write("os_install_2", each.stamp);
    const tagWMIINFOSTRUCT info = systemOf(collection);
    EXPECT_EQ(each.date, info.strInstallDate) << (each.seconds ? each.seconds : "-") << (each.stamp ? each.stamp : "-");
    EXPECT_EQ("CentOS Linux release 7.9.2009 (Core)|7.9.2009", info.strOSName + "|" + info.strOSVersion);
  }
}

TEST(LinuxCpu, OneProcessorPerPackageDescribedByItsFirstBlock) {
  LinuxCollection twoSockets;
  twoSockets.add("cpu", "system/cpuinfo-two-socket").manager.loadCpuInfo(twoSockets.record);
  ASSERT_EQ(2u, twoSockets.record.vecCpu.size());
  // The kernel lists the logical processors of the two sockets alternately.
  for (const tagWMICPUSTRUCT& cpu : twoSockets.record.vecCpu) {
    EXPECT_EQ("Intel(R) Xeon(R) CPU E5-2620 v4 @ 2.10GHz", cpu.strName);
    EXPECT_EQ(2u, cpu.dwCoreCount);
  }
  EXPECT_EQ(2100u, twoSockets.record.vecCpu[0].dwClockMHz);
  EXPECT_EQ(1199u, twoSockets.record.vecCpu[1].dwClockMHz);

  LinuxCollection arm;  // no package ids, clocks or core counts
  arm.add("cpu", "system/cpuinfo-arm").manager.loadCpuInfo(arm.record);
  ASSERT_EQ(1u, arm.record.vecCpu.size());
  EXPECT_EQ("ARMv7 Processor rev 4 (v7l)", arm.record.vecCpu[0].strName);
  EXPECT_EQ(0u, arm.record.vecCpu[0].dwClockMHz);
  EXPECT_EQ(1u, arm.record.vecCpu[0].dwCoreCount);

  LinuxCollection unnamed;  // a missing file, or a name only on an unterminated last line
  unnamed.write("cpu", std::string(1 << 20, ':') + "\nmodel name\t: last").manager.loadCpuInfo(unnamed.record);
  EXPECT_TRUE(unnamed.record.vecCpu.empty());
}

TEST(LinuxMemory, OnlyAMemTotalFirstLineCounts) {
  LinuxCollection collection;
  collection.add("mem", "system/meminfo").manager.loadMemInfo(collection.record);
  ASSERT_EQ(1u, collection.record.vecMemory.size());
  EXPECT_EQ(16318876u, collection.record.vecMemory[0].dwCapacity);
  for (const char* content : {"MemFree:  9512344 kB\nMemTotal: 16318876 kB\n", "MemTotal\n", ""}) {
    LinuxCollection other;
    other.write("mem", content).manager.loadMemInfo(other.record);
    EXPECT_TRUE(other.record.vecMemory.empty()) << content;
  }
}
