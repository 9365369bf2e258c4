// One installed application (macOS) or package (Linux).
#pragma once

#include <string>

struct tagAPPLIDATASTRUCT {
  long long tmInstall = 0;  // seconds since 1970; 0 when unknown
  std::string strName;
  std::string strReserved1;
  std::string strVersion;
  std::string strReserved2;
  unsigned int dwReserved = 0;
  unsigned int dwHas64BitIntelCode = 0;  // macOS only; not written to the file
  std::string strReserved3;              // not written to the file
};
