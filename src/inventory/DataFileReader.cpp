#include "inventory/DataFileReader.h"

#include "util/utils.h"

#include <cstdint>

CDataFileError::CDataFileError(const std::string& what, std::size_t offset)
    : std::runtime_error("byte offset " + std::to_string(offset) + ": " + what), offset_(offset) {}

namespace {

constexpr char kEndMarker[] = "QZ20EOF";
constexpr std::size_t kEndMarkerSize = 7;

// Reads fields front to back, with a bounds check on every one.
class FieldReader {
 public:
  explicit FieldReader(const std::string& bytes) : bytes_(bytes) {}

  unsigned int dword(const char* what) { return static_cast<unsigned int>(number(4, what)); }
  long long int64(const char* what) { return static_cast<long long>(number(8, what)); }

  std::string text(const char* what) {
    const std::size_t start = position_;
    std::size_t length = static_cast<unsigned char>(take(1, what)[0]);
    if (length == 0xFF) length = static_cast<std::size_t>(number(2, what));
    if (length > CBaseInfoManager::kMaxStringBytes)
      throw CDataFileError(std::string(what) + ": text length " + std::to_string(length) + " exceeds 4094",
                           start);
    return wmi::SJIStoUTF8(take(length, what));
  }

  // A list count; each element needs at least `minimumElementSize` bytes, so
  // a count the rest of the file cannot hold is rejected before any allocation.
  std::size_t count(const char* what, std::size_t minimumElementSize) {
    const std::size_t start = position_;
    const std::size_t n = dword(what);
    const std::size_t remaining = bytes_.size() - position_;
    if (n > remaining / minimumElementSize)
      throw CDataFileError(std::string(what) + ": count " + std::to_string(n) + " cannot fit in the " +
                               std::to_string(remaining) + " remaining bytes",
                           start);
    return n;
  }

  void endMarker() {
    if (bytes_.size() - position_ < kEndMarkerSize ||
        bytes_.compare(position_, kEndMarkerSize, kEndMarker) != 0)
      throw CDataFileError("end marker \"QZ20EOF\" expected", position_);
    position_ += kEndMarkerSize;
    if (position_ != bytes_.size())
      throw CDataFileError(std::to_string(bytes_.size() - position_) + " trailing bytes after the end marker",
                           position_);
  }

 private:
  std::string take(std::size_t length, const char* what) {
    if (bytes_.size() - position_ < length)
      throw CDataFileError(std::string("file truncated in ") + what, position_);
    std::string field = bytes_.substr(position_, length);
    position_ += length;
    return field;
  }

  std::uint64_t number(std::size_t width, const char* what) {
    const std::string field = take(width, what);
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(field[i]);
    return value;
  }

  const std::string& bytes_;
  std::size_t position_ = 0;
};

tagHEADERSTRUCT readHeader(FieldReader& in) {
  tagHEADERSTRUCT header;
  header.strMagic = in.text("header magic");
  if (header.strMagic != "QZ20") throw CDataFileError("magic \"QZ20\" expected", 0);
  header.dwFormatVersion = in.dword("header format version");
  header.dwReserved = in.dword("header reserved word");
  header.strComputerName = in.text("header computer name");
  header.dwFileNumber = in.dword("header file number");
  header.strAgentVersion = in.text("header agent version");
  header.dwKindCode = in.dword("header kind code");
  header.tmStart = in.dword("header start time");
  header.tmEnd = in.dword("header end time");
  if (header.dwFormatVersion >= 10004) {
    header.dwExtCode = in.dword("header extension code");
    header.strUUID = in.text("header UUID");
  }
  return header;
}

template <typename Element, typename ReadElement>
void readList(FieldReader& in, const char* what, std::size_t minimumElementSize, std::vector<Element>& list,
              ReadElement readElement) {
  const std::size_t n = in.count(what, minimumElementSize);
  for (std::size_t i = 0; i < n; ++i) {
    Element element;
    readElement(element);
    list.push_back(element);
  }
}

void readShareList(FieldReader& in, std::vector<std::string>& texts, std::vector<unsigned int>& values) {
  const std::size_t n = in.count("share list count", 5);
  for (std::size_t i = 0; i < n; ++i) {
    texts.push_back(in.text("share list text"));
    values.push_back(in.dword("share list value"));
  }
}

void readDevices(FieldReader& in, tagWMISTRUCT& record) {
  readList(in, "processor count", 9, record.vecCpu, [&](tagWMICPUSTRUCT& cpu) {
    cpu.strName = in.text("processor name");
    cpu.dwClockMHz = in.dword("processor clock");
    cpu.dwCoreCount = in.dword("processor core count");
  });
  readList(in, "memory count", 5, record.vecMemory, [&](tagMEMORYSLOT& slot) {
    slot.strName = in.text("memory slot name");
    slot.dwCapacity = in.dword("memory capacity");
  });
  readList(in, "disk count", 18, record.vecDisk, [&](tagWMIDISKSTRUCT& disk) {
    disk.strModel = in.text("disk model");
    disk.llSize = in.int64("disk size");
    disk.dwReserved = in.dword("disk reserved word");
    disk.dwPartitionCount = in.dword("disk partition count");
    disk.strReserved1 = in.text("disk reserved text");
    disk.strReserved2 = in.text("disk reserved text");
  });
  readList(in, "partition count", 25, record.vecPartition, [&](tagWMIPATSTRUCT& partition) {
    partition.strName = in.text("partition name");
    partition.llSize = in.int64("partition size");
    partition.llFreeSpace = in.int64("partition free space");
    partition.dwDriveType = in.dword("partition drive type");
    partition.dwReserved = in.dword("partition reserved word");
  });
  readList(in, "optical drive count", 2, record.vecCdrom, [&](tagCDSTRUCT& drive) {
    drive.strDevice = in.text("optical drive device");
    drive.strModel = in.text("optical drive model");
  });
  readList(in, "monitor count", 17, record.vecMonitor, [&](tagMONITORSTRUCT& monitor) {
    monitor.strName = in.text("monitor name");
    monitor.dwVideoMemory = in.dword("monitor video memory");
    monitor.dwHorzResolution = in.dword("monitor horizontal resolution");
    monitor.dwVertResolution = in.dword("monitor vertical resolution");
    monitor.dwBitsPerPixel = in.dword("monitor colour depth");
  });
  readList(in, "network adapter count", 16, record.vecNic, [&](tagWMINICSTRUCT& nic) {
    nic.dwEnabled = in.dword("adapter enabled flag");
    nic.strDescription = in.text("adapter description");
    nic.strMACAddress = in.text("adapter MAC address");
    nic.strIPAddress = in.text("adapter IP address");
    nic.strSubnetMask = in.text("adapter subnet mask");
    nic.strDefaultGateway = in.text("adapter gateway");
    nic.strDHCPServer = in.text("adapter DHCP server");
    nic.strDNSServer1 = in.text("adapter first DNS server");
    nic.strDNSServer2 = in.text("adapter second DNS server");
    nic.dwDHCPEnabled = in.dword("adapter DHCP flag");
  });
  readList(in, "printer count", 4, record.vecPrinter, [&](tagWMIPRTSTRUCT& printer) {
    printer.strField1 = in.text("printer text");
    printer.strField2 = in.text("printer text");
    printer.strField3 = in.text("printer text");
    printer.strField4 = in.text("printer text");
  });
}

void readSystemGroupB(FieldReader& in, tagDECODEDFILE& file) {
  tagWMIINFOSTRUCT& system = file.hardware.vecInfo.front();
  system.strOSName = in.text("OS name");
  system.strReserved1 = in.text("system reserved text");
  system.strReserved2 = in.text("system reserved text");
  system.strReserved3 = in.text("system reserved text");
  system.strReserved4 = in.text("system reserved text");
  system.strInstallDate = in.text("OS install date");
  system.strStateFlag = in.text("state flag");
  system.strSourceName = in.text("source name");
  system.strDomain = in.text("domain");
  system.strArchitecture = in.text("architecture");
  system.strOSVersion = in.text("OS version");
  file.strTrailingText1 = in.text("system trailing text");
  file.strTrailingText2 = in.text("system trailing text");
  file.tmTrailing = in.dword("system trailing time");
}

void readAccountsAndShares(FieldReader& in, tagWMISTRUCT& record) {
  readList(in, "account count", 5, record.vecAccount, [&](tagWMIACCOUNT& account) {
    account.strName = in.text("account name");
    account.dwValue = in.dword("account value");
  });
  readList(in, "share count", 18, record.vecShare, [&](tagWMISHARE& share) {
    share.strName = in.text("share name");
    share.strPath = in.text("share path");
    readShareList(in, share.vecTextsA, share.vecValuesA);
    readShareList(in, share.vecTextsB, share.vecValuesB);
    readShareList(in, share.vecTextsC, share.vecValuesC);
    readShareList(in, share.vecTextsD, share.vecValuesD);
  });
}

void readHardwareBody(FieldReader& in, tagDECODEDFILE& file) {
  file.hardware.vecInfo.resize(1);
  tagWMIINFOSTRUCT& system = file.hardware.vecInfo.front();
  system.strComputerName = in.text("computer name");
  system.strManufacturer = in.text("manufacturer");
  system.strModel = in.text("model");
  system.strSerialNumber = in.text("serial number");
  system.strUUID = in.text("UUID");
  readDevices(in, file.hardware);
  readSystemGroupB(in, file);
  readAccountsAndShares(in, file.hardware);
}

void readSoftwareBody(FieldReader& in, tagDECODEDFILE& file) {
  readList(in, "application count", 12, file.applications, [&](tagAPPLIDATASTRUCT& application) {
    application.tmInstall = in.dword("install time");
    application.strName = in.text("application name");
    application.strReserved1 = in.text("application reserved text");
    application.strVersion = in.text("application version");
    application.strReserved2 = in.text("application reserved text");
    application.dwReserved = in.dword("application reserved word");
  });
  file.dwTrailerCount = in.dword("trailer count");
}

}  // namespace

tagDECODEDFILE decodeDataFile(const std::string& bytes) {
  FieldReader in(bytes);
  tagDECODEDFILE file;
  file.header = readHeader(in);
  if (file.header.dwFileNumber == 12) {
    file.kind = tagDECODEDFILE::Hardware;
    readHardwareBody(in, file);
  } else if (file.header.dwFileNumber == 1) {
    file.kind = tagDECODEDFILE::Software;
    readSoftwareBody(in, file);
  } else {
    throw CDataFileError("unknown file number " + std::to_string(file.header.dwFileNumber), 0);
  }
  in.endMarker();
  return file;
}
