// Writes the fields of one data file in order, each encoded into one reused
// scratch buffer; the encoded fields are collected and written in large
// pieces, since a software file has tens of thousands of small fields.
#pragma once

#include "inventory/CBaseInfoManager.h"

#include <boost/filesystem/fstream.hpp>

#include <vector>

class CDataFileWriter {
 public:
  // Opens `file` for binary output, truncating it. A file that cannot be
  // opened makes every write a no-op; the caller notices when placing it.
  explicit CDataFileWriter(const boost::filesystem::path& file);

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
  // The seven bytes "QZ20EOF"; closes the file.
  void endMarker();

 private:
  void flushScratch(int length);
  void writePending();

  boost::filesystem::ofstream out_;
  std::vector<char> scratch_;
  std::string pending_;
};
