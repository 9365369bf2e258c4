// qz-dump FILE...: prints inventory data files as JSON, one object per file.
// A malformed file is reported with the byte offset where reading failed,
// and the exit status is then 1.
#include "inventory/DataFileReader.h"

#include <fstream>
#include <iostream>
#include <iterator>

namespace {

bool dumpFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << "qz-dump: " << path << ": cannot open file\n";
    return false;
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  try {
    std::cout << dataFileToJson(decodeDataFile(bytes));
    return true;
  } catch (const CDataFileError& error) {
    std::cerr << "qz-dump: " << path << ": " << error.what() << "\n";
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: qz-dump FILE...\n";
    return 2;
  }
  bool allGood = true;
  for (int i = 1; i < argc; ++i) allGood = dumpFile(argv[i]) && allGood;
  return allGood ? 0 : 1;
}
