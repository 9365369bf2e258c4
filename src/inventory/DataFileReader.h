// Reads a data file back into records, by the descriptions of
// RecordLayout.h, for the qz-dump inspector and the tests. Texts come back
// as UTF-8.
#pragma once

#include "inventory/CBaseInfoManager.h"
#include "inventory/software/ApplicationRecord.h"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

// A malformed data file; `offset` is the byte where reading failed.
class CDataFileError : public std::runtime_error {
 public:
  CDataFileError(const std::string& what, std::size_t offset);
  std::size_t offset() const { return offset_; }

 private:
  std::size_t offset_;
};

struct tagDECODEDFILE {
  enum Kind { Hardware, Software };
  Kind kind = Hardware;
  tagHEADERSTRUCT header;

  // Hardware file: the system record in vecInfo[0] (both groups) and the lists.
  tagWMISTRUCT hardware;

  // Software file: the applications and the reserved count that follows them.
  std::vector<tagAPPLIDATASTRUCT> applications;
  unsigned int dwTrailerCount = 0;
};

// Decodes a whole file held in memory; throws CDataFileError.
tagDECODEDFILE decodeDataFile(const std::string& bytes);

// The decoded file as an indented JSON object (UTF-8).
std::string dataFileToJson(const tagDECODEDFILE& file);
