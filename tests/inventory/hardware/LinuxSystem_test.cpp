// Linux system identity, host names, operating system, processors and memory.
#include "LinuxCollection.h"

#include <gtest/gtest.h>

using qztest::LinuxCollection;
using qztest::LocalZone;

namespace {

const tagWMIINFOSTRUCT& collectSystem(LinuxCollection& collection) {
  collection.manager.loadSysInfo(collection.record);
  EXPECT_EQ(1u, collection.record.vecInfo.size());
  return collection.record.vecInfo.back();
}

std::string installDate(const std::string& seconds, const std::string& stamp) {
  LinuxCollection collection;
  if (!seconds.empty()) collection.write("os_install_1", seconds);
  if (!stamp.empty()) collection.write("os_install_2", stamp);
  return collectSystem(collection).strInstallDate;
}

}  // namespace

TEST(LinuxSystem, DmidecodeAsRootNamesTheMachine) {
  LinuxCollection collection;
  collection.add("dmidecode", "system/dmidecode-root");
  collection.add("grep_sys_devices", "system/grep_sys_devices-user");  // not needed, so not read
  const tagWMIINFOSTRUCT& info = collectSystem(collection);
  EXPECT_EQ("Dell Inc.", info.strManufacturer);
  EXPECT_EQ("PowerEdge R740", info.strModel);
  EXPECT_EQ("4ZK1F23", info.strSerialNumber);
  EXPECT_EQ("4c4c4544-005a-4b10-8031-b4c04f463233", info.strUUID);
}

TEST(LinuxSystem, WithoutRootTheSysfsAttributesStandIn) {
  LinuxCollection collection;
  collection.add("dmidecode", "system/dmidecode-user");
  collection.add("grep_sys_devices", "system/grep_sys_devices-user");
  const tagWMIINFOSTRUCT& info = collectSystem(collection);
  EXPECT_EQ("LENOVO", info.strManufacturer);
  EXPECT_EQ("20XWCTO1WW", info.strModel);
  EXPECT_EQ("", info.strSerialNumber);  // product_serial is readable by root only
  EXPECT_EQ("", info.strUUID);
}

TEST(LinuxSystem, SysfsIsReadOnlyWhenManufacturerAndSerialAreBothMissing) {
  LinuxCollection vendorOnly;
  vendorOnly.write("dmidecode", "System Information\n\tManufacturer: QEMU\n");
  vendorOnly.add("grep_sys_devices", "system/grep_sys_devices-user");
  EXPECT_EQ("", collectSystem(vendorOnly).strModel);

  LinuxCollection uuidOnly;
  uuidOnly.write("dmidecode", "\tProduct Name: Box\n\tUUID: 1234\n");
  uuidOnly.add("grep_sys_devices", "system/grep_sys_devices-user");
  const tagWMIINFOSTRUCT& info = collectSystem(uuidOnly);
  EXPECT_EQ("LENOVO", info.strManufacturer);
  EXPECT_EQ("20XWCTO1WW", info.strModel);  // sysfs replaces what it has
  EXPECT_EQ("1234", info.strUUID);         // and keeps what it lacks
}

TEST(LinuxSystem, HostNameDomainArchitectureAndSourceName) {
  LinuxCollection qualified("srv42");
  qualified.write("hostname", "web01.dc1.example.com\n");
  qualified.write("domainname", "ignored.example\n");
  qualified.write("arch", "aarch64\n");
  const tagWMIINFOSTRUCT& info = collectSystem(qualified);
  EXPECT_EQ("web01", info.strComputerName);
  EXPECT_EQ("dc1.example.com", info.strDomain);
  EXPECT_EQ("aarch64", info.strArchitecture);
  EXPECT_EQ("srv42", info.strSourceName);

  LinuxCollection shortName;
  shortName.write("hostname", "web01\n");
  shortName.write("domainname", "(none)\n");  // taken as written
  EXPECT_EQ("web01", collectSystem(shortName).strComputerName);
  EXPECT_EQ("(none)", shortName.record.vecInfo[0].strDomain);
  EXPECT_EQ("", shortName.record.vecInfo[0].strSourceName);  // "result" is the usual folder
}

TEST(LinuxSystem, AnEmptyCollectionStillYieldsOneSystemRecordAndNothingElse) {
  LinuxCollection collection;
  collection.manager.load();
  const tagWMISTRUCT& record = collection.record;
  ASSERT_EQ(1u, record.vecInfo.size());
  EXPECT_EQ("", record.vecInfo[0].strComputerName);
  EXPECT_EQ("", record.vecInfo[0].strOSName);
  EXPECT_TRUE(record.vecCpu.empty() && record.vecMemory.empty() && record.vecDisk.empty() &&
              record.vecPartition.empty() && record.vecCdrom.empty() && record.vecMonitor.empty() &&
              record.vecNic.empty());
}

TEST(LinuxOSInfo, NameAndVersionComeFromTheReleaseParser) {
  LinuxCollection collection;
  collection.add("os", "release/centos-7");
  const tagWMIINFOSTRUCT& info = collectSystem(collection);
  EXPECT_EQ("CentOS Linux release 7.9.2009 (Core)", info.strOSName);
  EXPECT_EQ("7.9.2009", info.strOSVersion);
}

TEST(LinuxOSInfo, InstallDateIsTheEarlierCandidateInLocalTime) {
  LocalZone utc("UTC0");
  EXPECT_EQ("20200913122640", installDate("1600000000\n", ""));
  EXPECT_EQ("20200101000000", installDate("1600000000\n", "20200101000000\n"));
  EXPECT_EQ("20200913122640", installDate(" 1600000000 \n", "20210101000000"));
  EXPECT_EQ("20190203040506", installDate("", "20190203040506\n"));
  LocalZone tokyo("JST-9");
  EXPECT_EQ("20200913212640", installDate("1600000000\n", ""));
  EXPECT_EQ("20200101000000", installDate("", "20200101000000\n"));  // read and written as local time
}

TEST(LinuxOSInfo, MalformedCandidatesAreIgnored) {
  LocalZone tokyo("JST-9");
  const std::string epoch = "19700101090000";
  EXPECT_EQ(epoch, installDate("", ""));
  EXPECT_EQ(epoch, installDate("12a\n", "2020010100000\n"));     // 13 digits
  EXPECT_EQ(epoch, installDate("-5\n", "202001010000000\n"));    // 15 digits
  EXPECT_EQ(epoch, installDate("999999999999999999999\n", "20200101 000000\n"));  // overflow
  EXPECT_EQ(epoch, installDate(std::string(1 << 20, '1'), std::string(1 << 20, 'x')));
  // A time far beyond any calendar the local breakdown holds gives no date.
  EXPECT_EQ("", installDate("9223372036854775807\n", ""));
}

TEST(LinuxCpu, TwoSocketListingGivesOneProcessorPerPackageFromItsFirstBlock) {
  LinuxCollection collection;
  collection.add("cpu", "system/cpuinfo-two-socket");
  collection.manager.loadCpuInfo(collection.record);
  const std::vector<tagWMICPUSTRUCT>& cpus = collection.record.vecCpu;
  ASSERT_EQ(2u, cpus.size());
  // The kernel lists the logical processors of the two sockets alternately.
  EXPECT_EQ("Intel(R) Xeon(R) CPU E5-2620 v4 @ 2.10GHz", cpus[0].strName);
  EXPECT_EQ(2100u, cpus[0].dwClockMHz);
  EXPECT_EQ(2u, cpus[0].dwCoreCount);
  EXPECT_EQ("Intel(R) Xeon(R) CPU E5-2620 v4 @ 2.10GHz", cpus[1].strName);
  EXPECT_EQ(1199u, cpus[1].dwClockMHz);  // processor 1 is socket 1's first block
  EXPECT_EQ(2u, cpus[1].dwCoreCount);
}

TEST(LinuxCpu, ListingWithoutPackagesClockOrCoresGivesOneProcessor) {
  LinuxCollection collection;
  collection.add("cpu", "system/cpuinfo-arm");
  collection.manager.loadCpuInfo(collection.record);
  ASSERT_EQ(1u, collection.record.vecCpu.size());
  EXPECT_EQ("ARMv7 Processor rev 4 (v7l)", collection.record.vecCpu[0].strName);
  EXPECT_EQ(0u, collection.record.vecCpu[0].dwClockMHz);
  EXPECT_EQ(1u, collection.record.vecCpu[0].dwCoreCount);
}

TEST(LinuxCpu, NoNameNoProcessor) {
  LinuxCollection missing;
  missing.manager.loadCpuInfo(missing.record);
  EXPECT_TRUE(missing.record.vecCpu.empty());

  LinuxCollection unterminated;
  unterminated.write("cpu", "physical id\t: 0\nmodel name\t: Last line without a line feed");
  unterminated.manager.loadCpuInfo(unterminated.record);
  EXPECT_TRUE(unterminated.record.vecCpu.empty());

  LinuxCollection huge;
  huge.write("cpu", "model name\t: " + std::string(1 << 20, 'x') + "\n" + std::string(1 << 20, ':') + "\n");
  huge.manager.loadCpuInfo(huge.record);
  ASSERT_EQ(1u, huge.record.vecCpu.size());
  EXPECT_EQ(1u << 20, huge.record.vecCpu[0].strName.size());
}

TEST(LinuxMemory, MemTotalFirstLineGivesOneRecordInKilobytes) {
  LinuxCollection collection;
  collection.add("mem", "system/meminfo");
  collection.manager.loadMemInfo(collection.record);
  ASSERT_EQ(1u, collection.record.vecMemory.size());
  EXPECT_EQ(16318876u, collection.record.vecMemory[0].dwCapacity);
  EXPECT_EQ("", collection.record.vecMemory[0].strName);

  for (const char* content : {"MemFree:  9512344 kB\nMemTotal: 16318876 kB\n", "MemTotal\n", "", "MemTot:1\n"}) {
    LinuxCollection other;
    other.write("mem", content);
    other.manager.loadMemInfo(other.record);
    EXPECT_TRUE(other.record.vecMemory.empty()) << content;
  }
}
