// Reads a data file back into records: the inverse of the two managers'
// encoders, used by the qz-dump inspector and by the tests. Texts come back
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
  // The two texts and the time that close the system record's second group.
  std::string strTrailingText1;
  std::string strTrailingText2;
  unsigned int tmTrailing = 0;

  // Software file: the applications and the count that follows them.
  std::vector<tagAPPLIDATASTRUCT> applications;
  unsigned int dwTrailerCount = 0;
};

// Decodes a whole file held in memory; throws CDataFileError.
tagDECODEDFILE decodeDataFile(const std::string& bytes);

// The decoded file as an indented JSON object (UTF-8).
std::string dataFileToJson(const tagDECODEDFILE& file);
