// The binary property-list reader ("bplist00"): header, object table, offset
// table and a 32-byte trailer. Produces the same value tree as the XML reader.
#pragma once

#include "plist/Plist.h"

#include <boost/any.hpp>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Plist {

class Date;

// The working state of one read.
struct PlistHelperData {
  std::vector<std::int32_t> offsetTable;   // byte offset of each object, by reference
  std::vector<unsigned char> objectTable;  // the data up to the offset table
  std::int32_t offsetByteSize = 0;         // width of one offset table entry
  std::int64_t offsetTableOffset = 0;      // where the offset table starts
  std::int32_t objRefSize = 0;             // width of one object reference
  std::int32_t objectCount = 0;            // from the trailer; not needed to read

  // Guards against malformed object graphs: the references being parsed
  // (a container met again inside itself is a cycle), and how many more
  // values may be produced (a small file must not expand without bound
  // through shared containers).
  mutable std::vector<std::int32_t> activeRefs;
  mutable std::int64_t valueBudget = 0;
};

// Reads `size` bytes that start with the signature "bplist00".
boost::any readBinaryPlist(const char* data, long long size, const ItemKeys* itemKeys = nullptr);
// The same on data of its own, which then serves as the object table
// instead of a copy; keeping only `itemKeys` of a report's items when not
// null (see ItemKeys).
boost::any readBinaryPlist(std::vector<unsigned char>&& data, const ItemKeys* itemKeys = nullptr);

void parseTrailer(PlistHelperData& d, const std::vector<unsigned char>& trailer);
void parseOffsetTable(PlistHelperData& d, const std::vector<unsigned char>& offsetTableBytes);
boost::any parseBinary(const PlistHelperData& d, int objRef);
// The report at `objRef`, keeping only `itemKeys` of its items.
boost::any parseBinaryReport(const PlistHelperData& d, int objRef, const ItemKeys& itemKeys);
bool parseBinaryBool(const PlistHelperData& d, int headerPosition);
long long parseBinaryInt(const PlistHelperData& d, int headerPosition, int& intByteCount);
double parseBinaryReal(const PlistHelperData& d, int headerPosition);
Date parseBinaryDate(const PlistHelperData& d, int headerPosition);
std::vector<char> parseBinaryByteArray(const PlistHelperData& d, int headerPosition);
std::string parseBinaryString(const PlistHelperData& d, int headerPosition);
std::string parseBinaryUnicode(const PlistHelperData& d, int headerPosition);
std::vector<boost::any> parseBinaryArray(const PlistHelperData& d, int objRef);
std::map<std::string, boost::any> parseBinaryDictionary(const PlistHelperData& d, int objRef);
std::vector<std::int32_t> getRefsForContainers(const PlistHelperData& d, int objRef);
long long getCount(const PlistHelperData& d, int bytePosition, unsigned char headerByte, int& startOffset);
std::vector<unsigned char> getRange(const std::vector<unsigned char>& origBytes, long long index, long long size);
std::vector<unsigned char> regulateNullBytes(const std::vector<unsigned char>& origBytes, unsigned int minBytes);
double bytesToDouble(const unsigned char* bytes, bool littleEndian);

}  // namespace Plist
