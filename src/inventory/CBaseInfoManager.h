// The life of one inventory data file: collect (load), encode into a
// temporary file (encodeInfo), name it (targetFileName) and hand it over to
// the destination folder (encrypt). The two managers supply collection,
// encoding and their file number.
#pragma once

#include "inventory/hardware/WmiStruct.h"

#include <boost/filesystem/path.hpp>

#include <string>
#include <vector>

// The record that opens every data file.
struct tagHEADERSTRUCT {
  std::string strMagic;
  unsigned int dwFormatVersion = 0;  // hardware 10008, software 10004
  unsigned int dwReserved = 0;
  std::string strComputerName;
  unsigned int dwFileNumber = 0;  // hardware 12, software 1
  std::string strAgentVersion;
  unsigned int dwKindCode = 0;  // hardware 5, software 1
  long long tmStart = 0;        // when collection began
  long long tmEnd = 0;          // when collection ended
  std::string strUUID;
  unsigned int dwExtCode = 0;
};

class CBaseInfoManager {
 public:
  CBaseInfoManager(const std::string& srcDir, const std::string& destDir, tagWMISTRUCT* record);
  virtual ~CBaseInfoManager();

  // Collects, encodes, names and places the data file, unless a source it
  // cannot do without was not collected (WithheldReason). Filesystem
  // failures are thrown as boost::filesystem::filesystem_error.
  virtual void start();
  virtual bool load() = 0;
  virtual bool encodeInfo(const boost::filesystem::path& file) = 0;
  // Copies `from` to `to` (which must not exist yet), then deletes `from`.
  virtual bool encrypt(const boost::filesystem::path& from, const boost::filesystem::path& to);
  // "QZ-0-<file number, two digits><local time %Y%m%d%H%M%S>.dat"
  virtual std::string targetFileName();
  virtual int qzFileNumber() = 0;

  void SetVersion(const std::string& version);
  // Empty when no data file was made.
  std::string OutFileName() const;
  // The sources the data file cannot do without; known after load().
  const std::vector<std::string>& EssentialSources() const { return vecEssentialSources; }
  // Which of them the collection script could not collect, and why
  // ("app (timed out after 600 s)"); empty when the file was made.
  const std::string& WithheldReason() const { return strWithheld; }

  // The field encoders of FieldWriter.h over a caller's buffer, for callers
  // that hold one: each writes one field at the start of `buf` and stores
  // the number of bytes written in `len`. A null `buf` writes nothing and
  // leaves `len` as it was.
  static void FormatDWORDData(unsigned int value, char* buf, int& len);
  static void FormatInt64Data(long long value, char* buf, int& len);
  // The low 32 bits of a time in seconds since 1970.
  static void FormatCTimeData(long value, char* buf, int& len);
  // A counted Shift-JIS string (wmi::appendText); `buf` must hold
  // kStringFieldSize bytes. `flag` is ignored.
  static void FormatCStringData(const std::string& text, char* buf, int& len, bool flag = true);
  // The whole header record; `buf` must hold kHeaderFieldSize bytes.
  static void FormatHeaderData(const tagHEADERSTRUCT& header, char* buf, int& len);

  static constexpr int kStringFieldSize = 4097;
  static constexpr int kMaxStringBytes = 4094;
  static constexpr int kHeaderFieldSize = 4 * kStringFieldSize + 28;

 protected:
  // A collected file of the source folder.
  boost::filesystem::path source(const char* name) const;
  // The system record whose names go into the header: the first collected
  // one, or an empty one when there is none (the file then keeps its normal
  // shape with every system text empty).
  const tagWMIINFOSTRUCT& systemRecord() const;
  // Fills the header of this run's file: its format version and kind, the
  // names of the system record, the file number and the agent's version.
  void fillHeader(unsigned int formatVersion, unsigned int kindCode);

  tagWMISTRUCT* pWmiStruct;
  std::string strSrcDir;
  std::string strDestDir;
  std::string strOutFile;
  tagHEADERSTRUCT header;
  std::string strVersion;
  // A list that failed to be collected must not reach the spool as "nothing
  // there", which would replace the machine's inventory: load() names the
  // sources the file needs, start() those of them that failed.
  std::vector<std::string> vecEssentialSources;
  std::string strWithheld;
};
