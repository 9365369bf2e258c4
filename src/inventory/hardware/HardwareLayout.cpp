// The hardware data file, item by item.
#include "inventory/hardware/CHWInfoManager.h"

#include "inventory/DataFileWriter.h"

namespace {

void writeSystemGroupA(CDataFileWriter& out, const tagWMIINFOSTRUCT& system) {
  out.text(system.strComputerName);
  out.text(system.strManufacturer);
  out.text(system.strModel);
  out.text(system.strSerialNumber);
  out.text(system.strUUID);
}

void writeSystemGroupB(CDataFileWriter& out, const tagWMIINFOSTRUCT& system) {
  out.text(system.strOSName);
  out.text(system.strReserved1);
  out.text(system.strReserved2);
  out.text(system.strReserved3);
  out.text(system.strReserved4);
  out.text(system.strInstallDate);
  out.text(system.strStateFlag == "0" ? "0" : "1");
  out.text(system.strSourceName);
  out.text(system.strDomain);
  out.text(system.strArchitecture);
  out.text(system.strOSVersion);
  out.text("");
  out.text("");
  out.time(0);
}

void writeShareList(CDataFileWriter& out, const std::vector<std::string>& texts,
                    const std::vector<unsigned int>& values) {
  out.dword(static_cast<unsigned int>(texts.size()));
  for (std::size_t i = 0; i < texts.size(); ++i) {
    out.text(texts[i]);
    out.dword(i < values.size() ? values[i] : 0);
  }
}

void writeDevices(CDataFileWriter& out, const tagWMISTRUCT& record) {
  out.list(record.vecCpu, [&](const tagWMICPUSTRUCT& cpu) {
    out.text(cpu.strName);
    out.dword(cpu.dwClockMHz);
    out.dword(cpu.dwCoreCount);
  });
  out.list(record.vecMemory, [&](const tagMEMORYSLOT& slot) {
    out.text(slot.strName);
    out.dword(slot.dwCapacity);
  });
  out.list(record.vecDisk, [&](const tagWMIDISKSTRUCT& disk) {
    out.text(disk.strModel);
    out.int64(disk.llSize);
    out.dword(disk.dwReserved);
    out.dword(disk.dwPartitionCount);
    out.text(disk.strReserved1);
    out.text(disk.strReserved2);
  });
  out.list(record.vecPartition, [&](const tagWMIPATSTRUCT& partition) {
    out.text(partition.strName);
    out.int64(partition.llSize);
    out.int64(partition.llFreeSpace);
    out.dword(partition.dwDriveType);
    out.dword(0xFFFFFFFF);
  });
  out.list(record.vecCdrom, [&](const tagCDSTRUCT& drive) {
    out.text(drive.strDevice);
    out.text(drive.strModel);
  });
  out.list(record.vecMonitor, [&](const tagMONITORSTRUCT& monitor) {
    out.text(monitor.strName);
    out.dword(monitor.dwVideoMemory);
    out.dword(monitor.dwHorzResolution);
    out.dword(monitor.dwVertResolution);
    out.dword(monitor.dwBitsPerPixel);
  });
  out.list(record.vecNic, [&](const tagWMINICSTRUCT& nic) {
    out.dword(nic.dwEnabled);
    out.text(nic.strDescription);
    out.text(nic.strMACAddress);
    out.text(nic.strIPAddress);
    out.text(nic.strSubnetMask);
    out.text(nic.strDefaultGateway);
    out.text(nic.strDHCPServer);
    out.text(nic.strDNSServer1);
    out.text(nic.strDNSServer2);
    out.dword(nic.dwDHCPEnabled);
  });
  out.list(record.vecPrinter, [&](const tagWMIPRTSTRUCT& printer) {
    out.text(printer.strField1);
    out.text(printer.strField2);
    out.text(printer.strField3);
    out.text(printer.strField4);
  });
}

void writeAccountsAndShares(CDataFileWriter& out, const tagWMISTRUCT& record) {
  out.list(record.vecAccount, [&](const tagWMIACCOUNT& account) {
    out.text(account.strName);
    out.dword(account.dwValue);
  });
  out.list(record.vecShare, [&](const tagWMISHARE& share) {
    out.text(share.strName);
    out.text(share.strPath);
    writeShareList(out, share.vecTextsA, share.vecValuesA);
    writeShareList(out, share.vecTextsB, share.vecValuesB);
    writeShareList(out, share.vecTextsC, share.vecValuesC);
    writeShareList(out, share.vecTextsD, share.vecValuesD);
  });
}

}  // namespace

bool CHWInfoManager::encodeInfo(const boost::filesystem::path& file) {
  CDataFileWriter out(file);
  buildHeader();
  out.header(header);
  const tagWMIINFOSTRUCT& system = systemRecord();
  writeSystemGroupA(out, system);
  writeDevices(out, *pWmiStruct);
  writeSystemGroupB(out, system);
  writeAccountsAndShares(out, *pWmiStruct);
  out.endMarker();
  return true;
}
