// The hardware record: everything the agent knows about the machine, shaped
// after the classes of a Windows management inventory. Texts hold UTF-8; they
// become Shift-JIS only when the data file is written.
#pragma once

#include <string>
#include <vector>

// System and operating system.
struct tagWMIINFOSTRUCT {
  std::string strManufacturer;
  std::string strModel;
  std::string strSerialNumber;
  std::string strOSName;
  std::string strReserved1;
  std::string strReserved2;
  std::string strReserved3;
  std::string strReserved4;
  std::string strInstallDate;  // local time, "%Y%m%d%H%M%S"
  std::string strStateFlag;    // only "0" means anything; written as "0" or "1"
  std::string strSourceName;   // last folder of the collected files unless "result"
  std::string strDomain;
  std::string strArchitecture;
  std::string strOSVersion;
  std::string strComputerName;
  std::string strUUID;
  // Reserved: the file always holds two empty texts and a time of 0 here
  // (inventory/RecordLayout.h); only a reader of a file fills these.
  std::string strTrailingText1;
  std::string strTrailingText2;
  long long tmTrailing = 0;
};

// One physical processor package.
struct tagWMICPUSTRUCT {
  std::string strName;
  unsigned int dwClockMHz = 0;
  unsigned int dwCoreCount = 0;
};

// One memory module (Linux: the whole memory).
struct tagMEMORYSLOT {
  std::string strName;
  unsigned int dwCapacity = 0;  // KiB
};

// One physical disk.
struct tagWMIDISKSTRUCT {
  std::string strModel;
  long long llSize = 0;  // bytes
  unsigned int dwReserved = 0;
  unsigned int dwPartitionCount = 0;
  std::string strReserved1;
  std::string strReserved2;
};

// One mounted file system or volume.
struct tagWMIPATSTRUCT {
  std::string strName;  // mount point
  long long llSize = 0;
  long long llFreeSpace = 0;
  unsigned int dwDriveType = 3;  // local disk
  // Reserved: the file always holds 0xFFFFFFFF here (inventory/RecordLayout.h),
  // whatever this holds; only a reader of a file fills it.
  unsigned int dwReserved = 0xFFFFFFFF;
};

// One optical drive.
struct tagCDSTRUCT {
  std::string strDevice;
  std::string strModel;
};

// One display adapter.
struct tagMONITORSTRUCT {
  std::string strName;
  unsigned int dwVideoMemory = 0;  // KiB
  unsigned int dwHorzResolution = 0;
  unsigned int dwVertResolution = 0;
  unsigned int dwBitsPerPixel = 0;
};

// One network adapter.
struct tagWMINICSTRUCT {
  unsigned int dwEnabled = 0;
  std::string strDescription;
  std::string strMACAddress;
  std::string strIPAddress;
  std::string strSubnetMask;
  std::string strDefaultGateway;
  std::string strDHCPServer;
  std::string strDNSServer1;
  std::string strDNSServer2;
  unsigned int dwDHCPEnabled = 0;
};

// Records of the file format that no collector on macOS or Linux fills.
struct tagWMIPRTSTRUCT {
  std::string strField1;
  std::string strField2;
  std::string strField3;
  std::string strField4;
};

struct tagWMIACCOUNT {
  std::string strName;
  unsigned int dwValue = 0;
};

struct tagWMISHARE {
  std::string strName;
  std::string strPath;
  std::vector<std::string> vecTextsA;
  std::vector<unsigned int> vecValuesA;
  std::vector<std::string> vecTextsB;
  std::vector<unsigned int> vecValuesB;
  std::vector<std::string> vecTextsC;
  std::vector<unsigned int> vecValuesC;
  std::vector<std::string> vecTextsD;
  std::vector<unsigned int> vecValuesD;
};

struct tagWMISTRUCT {
  std::vector<tagWMIINFOSTRUCT> vecInfo;  // at most one element
  std::vector<tagWMICPUSTRUCT> vecCpu;
  std::vector<tagMEMORYSLOT> vecMemory;
  std::vector<tagWMIDISKSTRUCT> vecDisk;
  std::vector<tagWMIPATSTRUCT> vecPartition;
  std::vector<tagCDSTRUCT> vecCdrom;
  std::vector<tagMONITORSTRUCT> vecMonitor;
  std::vector<tagWMINICSTRUCT> vecNic;
  std::vector<tagWMIPRTSTRUCT> vecPrinter;
  std::vector<tagWMIACCOUNT> vecAccount;
  std::vector<tagWMISHARE> vecShare;
};
