// The records of the data files, each described once: its fields in file
// order, each with its name (the key of the JSON dump), what it holds in
// words (for the reader's messages) and the member that keeps it. The writer
// (FieldWriter.h), the reader (DataFileReader.cpp) and the JSON dump
// (DataFileJson.cpp) all walk these descriptions; nothing else knows the
// layout.
//
// A description calls its visitor once per field:
//   text(key, what, s)           a counted Shift-JIS text
//   dword(key, what, n)          u32
//   int64(key, what, n)          i64
//   time(key, what, t)           u32: the low 32 bits of seconds since 1970
//   list(key, what, v)           a u32 count, then each element as Layout<E>
//                                describes it; `what` names one element
//   textValueList(key, what, texts, values)
//                                a u32 count, then text i and value i (0 when
//                                `values` is shorter)
//   magic(key, what, s, m)       a text that a reader refuses unless it is m
//   fixedText / fixedDword / fixedTime(key, what, member, written)
//                                a reserved field: always written as
//                                `written`; a reader keeps what it finds
//   textWrittenAs(key, what, s, as)
//                                a text written as as(s)
//   optional(present, describe)  fields the file holds only when `present`
//   group(key, describe)         a part of a record that the file splits
//                                (the dump shows the parts as one object)
// The writer and the dump walk const records, the reader non-const ones.
#pragma once

#include "inventory/CBaseInfoManager.h"
#include "inventory/hardware/WmiStruct.h"
#include "inventory/software/ApplicationRecord.h"

#include <string>

template <typename Record>
struct Layout;

// What a visitor does unless it says otherwise: a field of fixed or derived
// value is the plain field that keeps it, optional fields are there when
// present, and a group is just its fields.
template <typename Visitor>
class CPlainFieldVisitor {
 public:
  template <typename S>
  void magic(const char* key, const char* what, S& text, const char* /*expected*/) {
    self().text(key, what, text);
  }
  template <typename S>
  void fixedText(const char* key, const char* what, S& text, const char* /*written*/) {
    self().text(key, what, text);
  }
  template <typename N>
  void fixedDword(const char* key, const char* what, N& value, unsigned int /*written*/) {
    self().dword(key, what, value);
  }
  template <typename T>
  void fixedTime(const char* key, const char* what, T& seconds, long long /*written*/) {
    self().time(key, what, seconds);
  }
  template <typename S>
  void textWrittenAs(const char* key, const char* what, S& text, std::string (*/*as*/)(const std::string&)) {
    self().text(key, what, text);
  }
  template <typename Describe>
  void optional(bool present, Describe describe) {
    if (present) describe();
  }
  template <typename Describe>
  void group(const char* /*key*/, Describe describe) {
    describe();
  }

 private:
  Visitor& self() { return static_cast<Visitor&>(*this); }
};

template <>
struct Layout<tagHEADERSTRUCT> {
  template <typename V, typename R>
  static void fields(V& v, R& header) {
    v.magic("strMagic", "header magic", header.strMagic, "QZ20");
    v.dword("dwFormatVersion", "header format version", header.dwFormatVersion);
    v.dword("dwReserved", "header reserved word", header.dwReserved);
    v.text("strComputerName", "header computer name", header.strComputerName);
    v.dword("dwFileNumber", "header file number", header.dwFileNumber);
    v.text("strAgentVersion", "header agent version", header.strAgentVersion);
    v.dword("dwKindCode", "header kind code", header.dwKindCode);
    v.time("tmStart", "header start time", header.tmStart);
    v.time("tmEnd", "header end time", header.tmEnd);
    // Format versions before 10004 end here; the extension code comes
    // before the UUID, unlike in the record.
    v.optional(header.dwFormatVersion >= 10004, [&] {
      v.dword("dwExtCode", "header extension code", header.dwExtCode);
      v.text("strUUID", "header UUID", header.strUUID);
    });
  }
};

template <>
struct Layout<tagWMIINFOSTRUCT> {
  // Group A, before the device lists.
  template <typename V, typename R>
  static void identity(V& v, R& system) {
    v.text("strComputerName", "computer name", system.strComputerName);
    v.text("strManufacturer", "manufacturer", system.strManufacturer);
    v.text("strModel", "model", system.strModel);
    v.text("strSerialNumber", "serial number", system.strSerialNumber);
    v.text("strUUID", "UUID", system.strUUID);
  }

  // Group B, after them.
  template <typename V, typename R>
  static void operatingSystem(V& v, R& system) {
    v.text("strOSName", "OS name", system.strOSName);
    v.text("strReserved1", "system reserved text", system.strReserved1);
    v.text("strReserved2", "system reserved text", system.strReserved2);
    v.text("strReserved3", "system reserved text", system.strReserved3);
    v.text("strReserved4", "system reserved text", system.strReserved4);
    v.text("strInstallDate", "OS install date", system.strInstallDate);
    v.textWrittenAs("strStateFlag", "state flag", system.strStateFlag, zeroOrOne);
    v.text("strSourceName", "source name", system.strSourceName);
    v.text("strDomain", "domain", system.strDomain);
    v.text("strArchitecture", "architecture", system.strArchitecture);
    v.text("strOSVersion", "OS version", system.strOSVersion);
    v.fixedText("strTrailingText1", "system trailing text", system.strTrailingText1, "");
    v.fixedText("strTrailingText2", "system trailing text", system.strTrailingText2, "");
    v.fixedTime("tmTrailing", "system trailing time", system.tmTrailing, 0);
  }

  // Only "0" means anything; every other flag, the empty one too, is "1".
  static std::string zeroOrOne(const std::string& flag) { return flag == "0" ? "0" : "1"; }
};

template <>
struct Layout<tagWMICPUSTRUCT> {
  template <typename V, typename R>
  static void fields(V& v, R& cpu) {
    v.text("strName", "processor name", cpu.strName);
    v.dword("dwClockMHz", "processor clock", cpu.dwClockMHz);
    v.dword("dwCoreCount", "processor core count", cpu.dwCoreCount);
  }
};

template <>
struct Layout<tagMEMORYSLOT> {
  template <typename V, typename R>
  static void fields(V& v, R& slot) {
    v.text("strName", "memory slot name", slot.strName);
    v.dword("dwCapacity", "memory capacity", slot.dwCapacity);
  }
};

template <>
struct Layout<tagWMIDISKSTRUCT> {
  template <typename V, typename R>
  static void fields(V& v, R& disk) {
    v.text("strModel", "disk model", disk.strModel);
    v.int64("llSize", "disk size", disk.llSize);
    v.dword("dwReserved", "disk reserved word", disk.dwReserved);
    v.dword("dwPartitionCount", "disk partition count", disk.dwPartitionCount);
    v.text("strReserved1", "disk reserved text", disk.strReserved1);
    v.text("strReserved2", "disk reserved text", disk.strReserved2);
  }
};

template <>
struct Layout<tagWMIPATSTRUCT> {
  template <typename V, typename R>
  static void fields(V& v, R& partition) {
    v.text("strName", "partition name", partition.strName);
    v.int64("llSize", "partition size", partition.llSize);
    v.int64("llFreeSpace", "partition free space", partition.llFreeSpace);
    v.dword("dwDriveType", "partition drive type", partition.dwDriveType);
    v.fixedDword("dwReserved", "partition reserved word", partition.dwReserved, 0xFFFFFFFFu);
  }
};

template <>
struct Layout<tagCDSTRUCT> {
  template <typename V, typename R>
  static void fields(V& v, R& drive) {
    v.text("strDevice", "optical drive device", drive.strDevice);
    v.text("strModel", "optical drive model", drive.strModel);
  }
};

template <>
struct Layout<tagMONITORSTRUCT> {
  template <typename V, typename R>
  static void fields(V& v, R& monitor) {
    v.text("strName", "monitor name", monitor.strName);
    v.dword("dwVideoMemory", "monitor video memory", monitor.dwVideoMemory);
    v.dword("dwHorzResolution", "monitor horizontal resolution", monitor.dwHorzResolution);
    v.dword("dwVertResolution", "monitor vertical resolution", monitor.dwVertResolution);
    v.dword("dwBitsPerPixel", "monitor colour depth", monitor.dwBitsPerPixel);
  }
};

template <>
struct Layout<tagWMINICSTRUCT> {
  template <typename V, typename R>
  static void fields(V& v, R& nic) {
    v.dword("dwEnabled", "adapter enabled flag", nic.dwEnabled);
    v.text("strDescription", "adapter description", nic.strDescription);
    v.text("strMACAddress", "adapter MAC address", nic.strMACAddress);
    v.text("strIPAddress", "adapter IP address", nic.strIPAddress);
    v.text("strSubnetMask", "adapter subnet mask", nic.strSubnetMask);
    v.text("strDefaultGateway", "adapter gateway", nic.strDefaultGateway);
    v.text("strDHCPServer", "adapter DHCP server", nic.strDHCPServer);
    v.text("strDNSServer1", "adapter first DNS server", nic.strDNSServer1);
    v.text("strDNSServer2", "adapter second DNS server", nic.strDNSServer2);
    v.dword("dwDHCPEnabled", "adapter DHCP flag", nic.dwDHCPEnabled);
  }
};

template <>
struct Layout<tagWMIPRTSTRUCT> {
  template <typename V, typename R>
  static void fields(V& v, R& printer) {
    v.text("strField1", "printer text", printer.strField1);
    v.text("strField2", "printer text", printer.strField2);
    v.text("strField3", "printer text", printer.strField3);
    v.text("strField4", "printer text", printer.strField4);
  }
};

template <>
struct Layout<tagWMIACCOUNT> {
  template <typename V, typename R>
  static void fields(V& v, R& account) {
    v.text("strName", "account name", account.strName);
    v.dword("dwValue", "account value", account.dwValue);
  }
};

template <>
struct Layout<tagWMISHARE> {
  template <typename V, typename R>
  static void fields(V& v, R& share) {
    v.text("strName", "share name", share.strName);
    v.text("strPath", "share path", share.strPath);
    v.textValueList("listA", "share list", share.vecTextsA, share.vecValuesA);
    v.textValueList("listB", "share list", share.vecTextsB, share.vecValuesB);
    v.textValueList("listC", "share list", share.vecTextsC, share.vecValuesC);
    v.textValueList("listD", "share list", share.vecTextsD, share.vecValuesD);
  }
};

// dwHas64BitIntelCode and strReserved3 are not part of the file.
template <>
struct Layout<tagAPPLIDATASTRUCT> {
  template <typename V, typename R>
  static void fields(V& v, R& application) {
    v.time("tmInstall", "install time", application.tmInstall);
    v.text("strName", "application name", application.strName);
    v.text("strReserved1", "application reserved text", application.strReserved1);
    v.text("strVersion", "application version", application.strVersion);
    v.text("strReserved2", "application reserved text", application.strReserved2);
    v.dword("dwReserved", "application reserved word", application.dwReserved);
  }
};

// The header record that opens both files.
template <typename V, typename Header>
void describeHeader(V& v, Header& header) {
  v.group("header", [&] { Layout<tagHEADERSTRUCT>::fields(v, header); });
}

// The hardware file after its header: the one system record, split around
// the device lists.
template <typename V, typename Record, typename System>
void describeHardwareBody(V& v, Record& record, System& system) {
  v.group("system", [&] { Layout<tagWMIINFOSTRUCT>::identity(v, system); });
  v.list("vecCpu", "processor", record.vecCpu);
  v.list("vecMemory", "memory", record.vecMemory);
  v.list("vecDisk", "disk", record.vecDisk);
  v.list("vecPartition", "partition", record.vecPartition);
  v.list("vecCdrom", "optical drive", record.vecCdrom);
  v.list("vecMonitor", "monitor", record.vecMonitor);
  v.list("vecNic", "network adapter", record.vecNic);
  v.list("vecPrinter", "printer", record.vecPrinter);
  v.group("system", [&] { Layout<tagWMIINFOSTRUCT>::operatingSystem(v, system); });
  v.list("vecAccount", "account", record.vecAccount);
  v.list("vecShare", "share", record.vecShare);
}

// The software file after its header.
template <typename V, typename Applications, typename Count>
void describeSoftwareBody(V& v, Applications& applications, Count& trailerCount) {
  v.list("vecApplications", "application", applications);
  v.fixedDword("dwTrailerCount", "trailer count", trailerCount, 0u);
}
