// Writes the fields of one data file in order, each encoded into one reused
// scratch buffer; the encoded fields are collected and written in large
// pieces, since a software file has tens of thousands of small fields.
//
// The file is readable by its owner only, and every write is checked: a
// failure (a full disk, above all) is thrown as a
// boost::filesystem::filesystem_error naming the file, so that a data file
// is either written whole or not at all.
#pragma once

#include "inventory/CBaseInfoManager.h"

#include <boost/filesystem/path.hpp>

#include <string>
#include <vector>

class CDataFileWriter {
 public:
  // Creates or truncates `file` for binary output.
  explicit CDataFileWriter(const boost::filesystem::path& file);
  // Closes the file if endMarker() has not.
  ~CDataFileWriter();
  CDataFileWriter(const CDataFileWriter&) = delete;
  CDataFileWriter& operator=(const CDataFileWriter&) = delete;

  void header(const tagHEADERSTRUCT& record);
  void dword(unsigned int value);
  void int64(long long value);
  void time(long long value);
  void text(const std::string& value);
  // A u32 element count, then each element through `writeElement`.
  template <typename Element, typename WriteElement>
  void list(const std::vector<Element>& elements, WriteElement writeElement) {
    dword(static_cast<unsigned int>(elements.size()));
    for (const Element& element : elements) writeElement(element);
  }
  // The seven bytes "QZ20EOF"; writes what is pending and closes the file.
  void endMarker();

 private:
  void flushScratch(int length);
  void writePending();
  [[noreturn]] void fail(const char* what, int error);

  boost::filesystem::path file_;
  int fd_ = -1;
  std::vector<char> scratch_;
  std::string pending_;
};
