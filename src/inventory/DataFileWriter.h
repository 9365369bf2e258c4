// Writes one data file: the records given to it (CFieldWriter), collected and
// written in large pieces, since a software file has tens of thousands of
// small fields, then the end marker.
//
// The file is readable by its owner only, and every write is checked: a
// failure (a full disk, above all) is thrown as a
// boost::filesystem::filesystem_error naming the file, so that a data file
// is either written whole or not at all.
#pragma once

#include "inventory/FieldWriter.h"

#include <boost/filesystem/path.hpp>

class CDataFileWriter : public CFieldWriter {
 public:
  // Creates or truncates `file` for binary output.
  explicit CDataFileWriter(const boost::filesystem::path& file);
  // Closes the file if endMarker() has not.
  ~CDataFileWriter() override;
  CDataFileWriter(const CDataFileWriter&) = delete;
  CDataFileWriter& operator=(const CDataFileWriter&) = delete;

  // The seven bytes "QZ20EOF"; writes what is pending and closes the file.
  void endMarker();

 private:
  void written() override;
  void writePending();
  [[noreturn]] void fail(const char* what, int error);

  boost::filesystem::path file_;
  int fd_ = -1;
};
