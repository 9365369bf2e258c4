// The decoded data file as JSON, with the record field names as keys.
#include "inventory/DataFileReader.h"

#include <cstdio>
#include <sstream>

namespace {

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

// Builds one JSON document with two-blank indentation.
class JsonWriter {
 public:
  void beginObject(const char* key = nullptr) { open(key, '{'); }
  void endObject() { close('}'); }
  void beginArray(const char* key) { open(key, '['); }
  void endArray() { close(']'); }
  void field(const char* key, const std::string& value) { item(key) << quoted(value); }
  void field(const char* key, long long value) { item(key) << value; }
  std::string text() const { return out_.str() + "\n"; }

 private:
  std::ostream& item(const char* key) {
    if (!first_) out_ << ",";
    first_ = false;
    out_ << "\n" << std::string(2 * depth_, ' ');
    if (key != nullptr) out_ << quoted(key) << ": ";
    return out_;
  }
  void open(const char* key, char bracket) {
    if (depth_ == 0 && key == nullptr && out_.tellp() == 0)
      out_ << bracket;
    else
      item(key) << bracket;
    ++depth_;
    first_ = true;
  }
  void close(char bracket) {
    --depth_;
    if (!first_) out_ << "\n" << std::string(2 * depth_, ' ');
    out_ << bracket;
    first_ = false;
  }

  std::ostringstream out_;
  int depth_ = 0;
  bool first_ = true;
};

template <typename Element, typename WriteElement>
void writeList(JsonWriter& json, const char* key, const std::vector<Element>& list, WriteElement writeElement) {
  json.beginArray(key);
  for (const Element& element : list) {
    json.beginObject();
    writeElement(element);
    json.endObject();
  }
  json.endArray();
}

void writeHeader(JsonWriter& json, const tagHEADERSTRUCT& header) {
  json.beginObject("header");
  json.field("strMagic", header.strMagic);
  json.field("dwFormatVersion", header.dwFormatVersion);
  json.field("dwReserved", header.dwReserved);
  json.field("strComputerName", header.strComputerName);
  json.field("dwFileNumber", header.dwFileNumber);
  json.field("strAgentVersion", header.strAgentVersion);
  json.field("dwKindCode", header.dwKindCode);
  json.field("tmStart", header.tmStart);
  json.field("tmEnd", header.tmEnd);
  json.field("dwExtCode", header.dwExtCode);
  json.field("strUUID", header.strUUID);
  json.endObject();
}

void writeSystem(JsonWriter& json, const tagDECODEDFILE& file) {
  const tagWMIINFOSTRUCT& system = file.hardware.vecInfo.front();
  json.beginObject("system");
  json.field("strComputerName", system.strComputerName);
  json.field("strManufacturer", system.strManufacturer);
  json.field("strModel", system.strModel);
  json.field("strSerialNumber", system.strSerialNumber);
  json.field("strUUID", system.strUUID);
  json.field("strOSName", system.strOSName);
  json.field("strReserved1", system.strReserved1);
  json.field("strReserved2", system.strReserved2);
  json.field("strReserved3", system.strReserved3);
  json.field("strReserved4", system.strReserved4);
  json.field("strInstallDate", system.strInstallDate);
  json.field("strStateFlag", system.strStateFlag);
  json.field("strSourceName", system.strSourceName);
  json.field("strDomain", system.strDomain);
  json.field("strArchitecture", system.strArchitecture);
  json.field("strOSVersion", system.strOSVersion);
  json.field("strTrailingText1", file.strTrailingText1);
  json.field("strTrailingText2", file.strTrailingText2);
  json.field("tmTrailing", file.tmTrailing);
  json.endObject();
}

void writeTextValueList(JsonWriter& json, const char* key, const std::vector<std::string>& texts,
                        const std::vector<unsigned int>& values) {
  json.beginArray(key);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    json.beginObject();
    json.field("text", texts[i]);
    json.field("value", i < values.size() ? values[i] : 0);
    json.endObject();
  }
  json.endArray();
}

void writeDevices(JsonWriter& json, const tagWMISTRUCT& record) {
  writeList(json, "vecCpu", record.vecCpu, [&](const tagWMICPUSTRUCT& cpu) {
    json.field("strName", cpu.strName);
    json.field("dwClockMHz", cpu.dwClockMHz);
    json.field("dwCoreCount", cpu.dwCoreCount);
  });
  writeList(json, "vecMemory", record.vecMemory, [&](const tagMEMORYSLOT& slot) {
    json.field("strName", slot.strName);
    json.field("dwCapacity", slot.dwCapacity);
  });
  writeList(json, "vecDisk", record.vecDisk, [&](const tagWMIDISKSTRUCT& disk) {
    json.field("strModel", disk.strModel);
    json.field("llSize", disk.llSize);
    json.field("dwReserved", disk.dwReserved);
    json.field("dwPartitionCount", disk.dwPartitionCount);
    json.field("strReserved1", disk.strReserved1);
    json.field("strReserved2", disk.strReserved2);
  });
  writeList(json, "vecPartition", record.vecPartition, [&](const tagWMIPATSTRUCT& partition) {
    json.field("strName", partition.strName);
    json.field("llSize", partition.llSize);
    json.field("llFreeSpace", partition.llFreeSpace);
    json.field("dwDriveType", partition.dwDriveType);
    json.field("dwReserved", partition.dwReserved);
  });
  writeList(json, "vecCdrom", record.vecCdrom, [&](const tagCDSTRUCT& drive) {
    json.field("strDevice", drive.strDevice);
    json.field("strModel", drive.strModel);
  });
  writeList(json, "vecMonitor", record.vecMonitor, [&](const tagMONITORSTRUCT& monitor) {
    json.field("strName", monitor.strName);
    json.field("dwVideoMemory", monitor.dwVideoMemory);
    json.field("dwHorzResolution", monitor.dwHorzResolution);
    json.field("dwVertResolution", monitor.dwVertResolution);
    json.field("dwBitsPerPixel", monitor.dwBitsPerPixel);
  });
  writeList(json, "vecNic", record.vecNic, [&](const tagWMINICSTRUCT& nic) {
    json.field("dwEnabled", nic.dwEnabled);
    json.field("strDescription", nic.strDescription);
    json.field("strMACAddress", nic.strMACAddress);
    json.field("strIPAddress", nic.strIPAddress);
    json.field("strSubnetMask", nic.strSubnetMask);
    json.field("strDefaultGateway", nic.strDefaultGateway);
    json.field("strDHCPServer", nic.strDHCPServer);
    json.field("strDNSServer1", nic.strDNSServer1);
    json.field("strDNSServer2", nic.strDNSServer2);
    json.field("dwDHCPEnabled", nic.dwDHCPEnabled);
  });
  writeList(json, "vecPrinter", record.vecPrinter, [&](const tagWMIPRTSTRUCT& printer) {
    json.field("strField1", printer.strField1);
    json.field("strField2", printer.strField2);
    json.field("strField3", printer.strField3);
    json.field("strField4", printer.strField4);
  });
}

void writeAccountsAndShares(JsonWriter& json, const tagWMISTRUCT& record) {
  writeList(json, "vecAccount", record.vecAccount, [&](const tagWMIACCOUNT& account) {
    json.field("strName", account.strName);
    json.field("dwValue", account.dwValue);
  });
  writeList(json, "vecShare", record.vecShare, [&](const tagWMISHARE& share) {
    json.field("strName", share.strName);
    json.field("strPath", share.strPath);
    writeTextValueList(json, "listA", share.vecTextsA, share.vecValuesA);
    writeTextValueList(json, "listB", share.vecTextsB, share.vecValuesB);
    writeTextValueList(json, "listC", share.vecTextsC, share.vecValuesC);
    writeTextValueList(json, "listD", share.vecTextsD, share.vecValuesD);
  });
}

void writeApplications(JsonWriter& json, const tagDECODEDFILE& file) {
  writeList(json, "vecApplications", file.applications, [&](const tagAPPLIDATASTRUCT& application) {
    json.field("tmInstall", application.tmInstall);
    json.field("strName", application.strName);
    json.field("strReserved1", application.strReserved1);
    json.field("strVersion", application.strVersion);
    json.field("strReserved2", application.strReserved2);
    json.field("dwReserved", application.dwReserved);
  });
  json.field("dwTrailerCount", file.dwTrailerCount);
}

}  // namespace

std::string dataFileToJson(const tagDECODEDFILE& file) {
  JsonWriter json;
  json.beginObject();
  json.field("kind", file.kind == tagDECODEDFILE::Hardware ? "hardware" : "software");
  writeHeader(json, file.header);
  if (file.kind == tagDECODEDFILE::Hardware) {
    writeSystem(json, file);
    writeDevices(json, file.hardware);
    writeAccountsAndShares(json, file.hardware);
  } else {
    writeApplications(json, file);
  }
  json.endObject();
  return json.text();
}
