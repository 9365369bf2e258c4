#include "plist/PlistBinary.h"

#include "plist/Plist.h"

#include <boost/locale/encoding_utf.hpp>

#include <algorithm>
#include <cstring>

namespace Plist {

namespace {

constexpr std::size_t kTrailerSize = 32;
constexpr std::size_t kSignatureSize = 8;

[[noreturn]] void fail(const std::string& message) { throw Error(message); }

// Every field read goes through this check first.
void checkRange(std::size_t total, long long index, long long size) {
  if (index < 0 || size < 0 || index > static_cast<long long>(total) ||
      size > static_cast<long long>(total) - index)
    fail("Out of bounds getRange");
}

// The low 64 bits of a big-endian number of `length` bytes.
std::uint64_t readBigEndian(const std::vector<unsigned char>& table, long long position, long long length) {
  checkRange(table.size(), position, length);
  std::uint64_t value = 0;
  for (long long i = 0; i < length; ++i) value = (value << 8) | table[static_cast<std::size_t>(position + i)];
  return value;
}

std::int32_t low32(std::uint64_t value) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(value)); }

// The object table offset of a reference, both checked against their tables.
int objectOffset(const PlistHelperData& d, int objRef) {
  if (objRef < 0 || static_cast<std::size_t>(objRef) >= d.offsetTable.size())
    fail("Plist: object reference " + std::to_string(objRef) + " outside the offset table");
  const std::int32_t offset = d.offsetTable[static_cast<std::size_t>(objRef)];
  if (offset < 0 || static_cast<std::size_t>(offset) >= d.objectTable.size())
    fail("Plist: object offset " + std::to_string(offset) + " outside the object table");
  return offset;
}

// The payload of a counted object: `count` units of `unitSize` bytes after
// the marker (and the extended count, if any). Returns its start.
long long payloadStart(const PlistHelperData& d, int position, long long& count, long long unitSize) {
  int start = 0;
  count = getCount(d, position, d.objectTable[static_cast<std::size_t>(position)], start);
  if (count < 0 || count > static_cast<long long>(d.objectTable.size()) / unitSize) fail("Out of bounds getRange");
  checkRange(d.objectTable.size(), static_cast<long long>(position) + start, count * unitSize);
  return static_cast<long long>(position) + start;
}

// Marks a container as being parsed for as long as it lives, so that a
// container reached again from inside itself, or nesting without end, is
// refused instead of recursing for ever.
class ContainerGuard {
 public:
  ContainerGuard(const PlistHelperData& d, int objRef) : d_(d) {
    if (std::find(d.activeRefs.begin(), d.activeRefs.end(), objRef) != d.activeRefs.end())
      fail("Plist: container " + std::to_string(objRef) + " contains itself");
    if (d.activeRefs.size() >= static_cast<std::size_t>(kMaxNesting)) fail("Plist: nesting deeper than 512 levels");
    d.activeRefs.push_back(objRef);
  }
  ~ContainerGuard() { d_.activeRefs.pop_back(); }
  ContainerGuard(const ContainerGuard&) = delete;
  ContainerGuard& operator=(const ContainerGuard&) = delete;

 private:
  const PlistHelperData& d_;
};

// A dictionary key: an ASCII or UTF-16 string object, read straight into a
// string rather than through a value.
std::string parseKey(const PlistHelperData& d, int objRef) {
  if (--d.valueBudget < 0) fail("Plist: more values than the data can hold");
  const int position = objectOffset(d, objRef);
  const unsigned char kind = d.objectTable[static_cast<std::size_t>(position)] >> 4;
  if (kind == 0x5) return parseBinaryString(d, position);
  if (kind == 0x6) return parseBinaryUnicode(d, position);
  parseBinary(d, objRef);  // other objects fail with their own error first
  fail("Error parsing dictionary.  Key can't be parsed as a string");
}

}  // namespace

boost::any readBinaryPlist(const char* data, long long size) {
  if (size < static_cast<long long>(kSignatureSize + kTrailerSize)) fail("Plist: binary data too short for its trailer");
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
  PlistHelperData d;
  parseTrailer(d, std::vector<unsigned char>(bytes + size - kTrailerSize, bytes + size));
  if (d.offsetByteSize < 1) fail("Plist: offset table entries of 0 bytes");
  if (d.offsetTableOffset < static_cast<long long>(kSignatureSize) ||
      d.offsetTableOffset > size - static_cast<long long>(kTrailerSize))
    fail("Plist: offset table outside the data");
  d.objectTable.assign(bytes, bytes + d.offsetTableOffset);
  parseOffsetTable(d, std::vector<unsigned char>(bytes + d.offsetTableOffset, bytes + size - kTrailerSize));
  // Without shared containers every value costs at least one byte of the
  // object table; allow generous sharing, but not an exponential expansion.
  d.valueBudget = 4 * static_cast<std::int64_t>(d.objectTable.size()) + 4096;
  return parseBinary(d, 0);
}

void parseTrailer(PlistHelperData& d, const std::vector<unsigned char>& trailer) {
  checkRange(trailer.size(), 0, static_cast<long long>(kTrailerSize));
  d.offsetByteSize = trailer[6];
  d.objRefSize = trailer[7];
  d.objectCount = low32(readBigEndian(trailer, 12, 4));
  d.offsetTableOffset = static_cast<std::int64_t>(readBigEndian(trailer, 24, 8));
}

void parseOffsetTable(PlistHelperData& d, const std::vector<unsigned char>& offsetTableBytes) {
  d.offsetTable.clear();
  if (d.offsetByteSize < 1) return;
  d.offsetTable.reserve(offsetTableBytes.size() / static_cast<std::size_t>(d.offsetByteSize));
  for (std::size_t position = 0; position < offsetTableBytes.size(); position += d.offsetByteSize)
    d.offsetTable.push_back(low32(readBigEndian(offsetTableBytes, static_cast<long long>(position), d.offsetByteSize)));
}

boost::any parseBinary(const PlistHelperData& d, int objRef) {
  if (--d.valueBudget < 0) fail("Plist: more values than the data can hold");
  const int position = objectOffset(d, objRef);
  const unsigned char marker = d.objectTable[static_cast<std::size_t>(position)];
  int width = 0;
  switch (marker >> 4) {
    case 0x0:
      if (marker == 0x00) fail("Plist: null byte encountered, unsure how to parse");
      if (marker == 0x0F) fail("Plist: fill byte encountered, unsure how to parse");
      if (marker == 0x08 || marker == 0x09) return parseBinaryBool(d, position);
      fail(std::string("Plist: unknown header ") + static_cast<char>(marker));
    case 0x1: return parseBinaryInt(d, position, width);
    case 0x2: return parseBinaryReal(d, position);
    case 0x3: return parseBinaryDate(d, position);
    case 0x4: return parseBinaryByteArray(d, position);
    case 0x5: return parseBinaryString(d, position);
    case 0x6: return parseBinaryUnicode(d, position);
    case 0xA: return parseBinaryArray(d, objRef);
    case 0xD: return parseBinaryDictionary(d, objRef);
    default: fail("This type is not supported");
  }
}

bool parseBinaryBool(const PlistHelperData& d, int headerPosition) {
  return d.objectTable.at(static_cast<std::size_t>(headerPosition)) == 0x09;
}

long long parseBinaryInt(const PlistHelperData& d, int headerPosition, int& intByteCount) {
  checkRange(d.objectTable.size(), headerPosition, 1);
  intByteCount = 1 << (d.objectTable[static_cast<std::size_t>(headerPosition)] & 0x0F);
  return static_cast<long long>(readBigEndian(d.objectTable, static_cast<long long>(headerPosition) + 1, intByteCount));
}

double parseBinaryReal(const PlistHelperData& d, int headerPosition) {
  const int width = 1 << (d.objectTable[static_cast<std::size_t>(headerPosition)] & 0x0F);
  const std::uint64_t bits = readBigEndian(d.objectTable, static_cast<long long>(headerPosition) + 1, width);
  if (width == 8) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  if (width == 4) {
    const std::uint32_t narrow = static_cast<std::uint32_t>(bits);
    float value;
    std::memcpy(&value, &narrow, sizeof value);
    return value;
  }
  fail("Plist: real of " + std::to_string(width) + " bytes");
}

Date parseBinaryDate(const PlistHelperData& d, int headerPosition) {
  checkRange(d.objectTable.size(), static_cast<long long>(headerPosition) + 1, 8);
  const double seconds = bytesToDouble(&d.objectTable[static_cast<std::size_t>(headerPosition) + 1], false);
  Date date;
  date.setTimeFromAppleEpoch(seconds);
  return date;
}

std::vector<char> parseBinaryByteArray(const PlistHelperData& d, int headerPosition) {
  long long count = 0;
  const long long start = payloadStart(d, headerPosition, count, 1);
  const char* first = reinterpret_cast<const char*>(d.objectTable.data()) + start;
  return std::vector<char>(first, first + count);
}

std::string parseBinaryString(const PlistHelperData& d, int headerPosition) {
  long long count = 0;
  const long long start = payloadStart(d, headerPosition, count, 1);
  return std::string(reinterpret_cast<const char*>(d.objectTable.data()) + start, static_cast<std::size_t>(count));
}

std::string parseBinaryUnicode(const PlistHelperData& d, int headerPosition) {
  long long count = 0;
  const long long start = payloadStart(d, headerPosition, count, 2);
  std::u16string units(static_cast<std::size_t>(count), u'\0');
  for (long long i = 0; i < count; ++i) {
    const std::size_t at = static_cast<std::size_t>(start + 2 * i);
    units[static_cast<std::size_t>(i)] = static_cast<char16_t>((d.objectTable[at] << 8) | d.objectTable[at + 1]);
  }
  try {
    return boost::locale::conv::utf_to_utf<char>(units.data(), units.data() + units.size(), boost::locale::conv::stop);
  } catch (const boost::locale::conv::conversion_error& error) {
    // A lone surrogate: a damaged file, reported like any other.
    fail(std::string("Plist: invalid UTF-16 string: ") + error.what());
  }
}

std::vector<boost::any> parseBinaryArray(const PlistHelperData& d, int objRef) {
  ContainerGuard guard(d, objRef);
  const std::vector<std::int32_t> refs = getRefsForContainers(d, objRef);
  std::vector<boost::any> array;
  array.reserve(refs.size());
  for (std::int32_t ref : refs) array.push_back(parseBinary(d, ref));
  return array;
}

std::map<std::string, boost::any> parseBinaryDictionary(const PlistHelperData& d, int objRef) {
  ContainerGuard guard(d, objRef);
  const std::vector<std::int32_t> refs = getRefsForContainers(d, objRef);
  const std::size_t pairs = refs.size() / 2;
  std::map<std::string, boost::any> dictionary;
  for (std::size_t i = 0; i < pairs; ++i) {
    std::string key = parseKey(d, refs[i]);
    boost::any value = parseBinary(d, refs[pairs + i]);
    // Writers usually sort the keys: then append without a search. A
    // repeated key replaces the earlier value.
    if (dictionary.empty() || dictionary.rbegin()->first < key)
      dictionary.emplace_hint(dictionary.end(), std::move(key), std::move(value));
    else
      dictionary[key] = std::move(value);
  }
  return dictionary;
}

std::vector<std::int32_t> getRefsForContainers(const PlistHelperData& d, int objRef) {
  const int position = objectOffset(d, objRef);
  int start = 0;
  long long count = getCount(d, position, d.objectTable[static_cast<std::size_t>(position)], start);
  if ((d.objectTable[static_cast<std::size_t>(position)] >> 4) == 0xD) count = count > (1LL << 61) ? -1 : count * 2;
  std::vector<std::int32_t> refs;
  if (d.objRefSize < 1 || count == 0) return refs;
  if (count < 0 || count > static_cast<long long>(d.objectTable.size()) / d.objRefSize) fail("Out of bounds getRange");
  refs.reserve(static_cast<std::size_t>(count));
  long long at = static_cast<long long>(position) + start;
  for (long long i = 0; i < count; ++i, at += d.objRefSize)
    refs.push_back(low32(readBigEndian(d.objectTable, at, d.objRefSize)));
  return refs;
}

long long getCount(const PlistHelperData& d, int bytePosition, unsigned char headerByte, int& startOffset) {
  startOffset = 1;
  long long count = headerByte & 0x0F;
  if (count != 15) return count;
  // Fifteen and more: an integer object right after the marker holds the count.
  const long long intPosition = static_cast<long long>(bytePosition) + 1;
  checkRange(d.objectTable.size(), intPosition, 1);
  if ((d.objectTable[static_cast<std::size_t>(intPosition)] >> 4) != 0x1) fail("Plist: count is not an integer");
  int width = 0;
  count = parseBinaryInt(d, static_cast<int>(intPosition), width);
  startOffset = 2 + width;
  return count;
}

std::vector<unsigned char> getRange(const std::vector<unsigned char>& origBytes, long long index, long long size) {
  checkRange(origBytes.size(), index, size);
  return std::vector<unsigned char>(origBytes.begin() + index, origBytes.begin() + index + size);
}

std::vector<unsigned char> regulateNullBytes(const std::vector<unsigned char>& origBytes, unsigned int minBytes) {
  std::vector<unsigned char> bytes = origBytes;
  while (bytes.size() > minBytes && bytes.back() == 0) bytes.pop_back();
  while (bytes.size() < minBytes) bytes.push_back(0);
  return bytes;
}

double bytesToDouble(const unsigned char* bytes, bool littleEndian) {
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) {
    const unsigned char byte = littleEndian ? bytes[7 - i] : bytes[i];
    bits = (bits << 8) | byte;
  }
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace Plist
