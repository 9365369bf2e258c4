#include "plist/PlistBinary.h"

#include "plist/Plist.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace Plist {

namespace {

constexpr std::size_t kTrailerSize = 32;
constexpr std::size_t kSignatureSize = 8;

[[noreturn]] void fail(const std::string& message) { throw Error(message); }

// The failures of the checks below are built out of line, so that the checks
// themselves stay small enough to be inlined on every object.
[[noreturn]] __attribute__((noinline)) void failOutOfBounds() { fail("Out of bounds getRange"); }
[[noreturn]] __attribute__((noinline)) void failReference(int objRef) {
  fail("Plist: object reference " + std::to_string(objRef) + " outside the offset table");
}
[[noreturn]] __attribute__((noinline)) void failOffset(std::int32_t offset) {
  fail("Plist: object offset " + std::to_string(offset) + " outside the object table");
}
[[noreturn]] __attribute__((noinline)) void failBudget() { fail("Plist: more values than the data can hold"); }

// Every field read goes through this check first.
inline void checkRange(std::size_t total, long long index, long long size) {
  if (index < 0 || size < 0 || index > static_cast<long long>(total) ||
      size > static_cast<long long>(total) - index)
    failOutOfBounds();
}

// A big-endian number of `length` bytes at `bytes`, already checked.
inline std::uint64_t bigEndianAt(const unsigned char* bytes, long long length) {
  std::uint64_t value = 0;
  for (long long i = 0; i < length; ++i) value = (value << 8) | bytes[i];
  return value;
}

// The low 64 bits of a big-endian number of `length` bytes.
std::uint64_t readBigEndian(const std::vector<unsigned char>& table, long long position, long long length) {
  checkRange(table.size(), position, length);
  return bigEndianAt(table.data() + position, length);
}

std::int32_t low32(std::uint64_t value) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(value)); }

// Each value read counts against the budget of the whole read.
inline void spendBudget(const PlistHelperData& d) {
  if (--d.valueBudget < 0) failBudget();
}

// The object table offset of a reference, both checked against their tables.
inline int objectOffset(const PlistHelperData& d, int objRef) {
  if (objRef < 0 || static_cast<std::size_t>(objRef) >= d.offsetTable.size()) failReference(objRef);
  const std::int32_t offset = d.offsetTable[static_cast<std::size_t>(objRef)];
  if (offset < 0 || static_cast<std::size_t>(offset) >= d.objectTable.size()) failOffset(offset);
  return offset;
}

// The count of a counted object: the low four bits of its marker, or for
// fifteen and more the integer object after the marker.
inline long long countOf(const PlistHelperData& d, int position, int& start) {
  const unsigned char marker = d.objectTable[static_cast<std::size_t>(position)];
  start = 1;
  if ((marker & 0x0F) != 0x0F) return marker & 0x0F;
  return getCount(d, position, marker, start);
}

// The payload of a counted object: `count` units of `unitSize` bytes after
// the marker (and the extended count, if any). Returns its start.
inline long long payloadStart(const PlistHelperData& d, int position, long long& count, long long unitSize) {
  int start = 0;
  count = countOf(d, position, start);
  if (count < 0 || count > static_cast<long long>(d.objectTable.size()) / unitSize) failOutOfBounds();
  checkRange(d.objectTable.size(), static_cast<long long>(position) + start, count * unitSize);
  return static_cast<long long>(position) + start;
}

// The object references of a container where they stand in the object
// table, checked once as a whole.
class ContainerRefs {
 public:
  ContainerRefs(const PlistHelperData& d, int objRef) : width_(d.objRefSize) {
    const int position = objectOffset(d, objRef);
    int start = 0;
    count_ = countOf(d, position, start);
    if ((d.objectTable[static_cast<std::size_t>(position)] >> 4) == 0xD) count_ = count_ > (1LL << 61) ? -1 : count_ * 2;
    if (width_ < 1 || count_ == 0) {
      count_ = 0;
      return;
    }
    if (count_ < 0 || count_ > static_cast<long long>(d.objectTable.size()) / width_) failOutOfBounds();
    const long long at = static_cast<long long>(position) + start;
    checkRange(d.objectTable.size(), at, count_ * width_);
    first_ = d.objectTable.data() + at;
  }

  std::size_t size() const { return static_cast<std::size_t>(count_); }
  std::int32_t operator[](std::size_t index) const {
    return low32(bigEndianAt(first_ + index * static_cast<std::size_t>(width_), width_));
  }

 private:
  const unsigned char* first_ = nullptr;
  long long count_ = 0;
  int width_;
};

// UTF-16 code units, big-endian, to UTF-8. False on a lone surrogate.
bool utf8FromUtf16BigEndian(const unsigned char* units, std::size_t count, std::string& text) {
  // At most three bytes per unit; the usual short text is built on the stack.
  char local[768];
  std::unique_ptr<char[]> large;
  if (3 * count > sizeof local) large.reset(new char[3 * count]);
  char* const first = large ? large.get() : local;
  char* out = first;
  for (std::size_t i = 0; i < count; ++i) {
    // ASCII, most of many texts: four units at a time while they last.
    while (i + 4 <= count) {
      const unsigned char* u = units + 2 * i;
      if ((u[0] | u[2] | u[4] | u[6]) != 0 || ((u[1] | u[3] | u[5] | u[7]) & 0x80) != 0) break;
      out[0] = static_cast<char>(u[1]);
      out[1] = static_cast<char>(u[3]);
      out[2] = static_cast<char>(u[5]);
      out[3] = static_cast<char>(u[7]);
      out += 4;
      i += 4;
    }
    if (i == count) break;
    if (units[2 * i] == 0 && units[2 * i + 1] < 0x80) {
      *out++ = static_cast<char>(units[2 * i + 1]);
      continue;
    }
    char32_t c = static_cast<char32_t>((units[2 * i] << 8) | units[2 * i + 1]);
    if (c >= 0xD800 && c <= 0xDFFF) {
      if (c >= 0xDC00 || i + 1 == count) return false;
      const char32_t low = static_cast<char32_t>((units[2 * i + 2] << 8) | units[2 * i + 3]);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    }
    if (c < 0x800) {
      *out++ = static_cast<char>(0xC0 | (c >> 6));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      *out++ = static_cast<char>(0xE0 | (c >> 12));
      *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *out++ = static_cast<char>(0xF0 | (c >> 18));
      *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  text.assign(first, out);
  return true;
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
  spendBudget(d);
  const int position = objectOffset(d, objRef);
  const unsigned char kind = d.objectTable[static_cast<std::size_t>(position)] >> 4;
  if (kind == 0x5) return parseBinaryString(d, position);
  if (kind == 0x6) return parseBinaryUnicode(d, position);
  parseBinary(d, objRef);  // other objects fail with their own error first
  fail("Error parsing dictionary.  Key can't be parsed as a string");
}

// The kind of object a reference leads to: the high four bits of its marker.
unsigned char kindOf(const PlistHelperData& d, int objRef) {
  return d.objectTable[static_cast<std::size_t>(objectOffset(d, objRef))] >> 4;
}

// An array object, each element made a value by `valueOf(reference)`.
template <typename ValueOf>
std::vector<boost::any> readArray(const PlistHelperData& d, int objRef, ValueOf valueOf) {
  ContainerGuard guard(d, objRef);
  const ContainerRefs refs(d, objRef);
  std::vector<boost::any> array;
  array.reserve(refs.size());
  for (std::size_t i = 0; i < refs.size(); ++i) array.push_back(valueOf(refs[i]));
  return array;
}

// A dictionary object: `store(dictionary, key, value reference)` for each entry.
template <typename Store>
std::map<std::string, boost::any> readDictionary(const PlistHelperData& d, int objRef, Store store) {
  ContainerGuard guard(d, objRef);
  const ContainerRefs refs(d, objRef);
  const std::size_t pairs = refs.size() / 2;
  std::map<std::string, boost::any> dictionary;
  for (std::size_t i = 0; i < pairs; ++i) store(dictionary, parseKey(d, refs[i]), refs[pairs + i]);
  return dictionary;
}

void storeParsed(const PlistHelperData& d, std::map<std::string, boost::any>& dictionary, std::string&& key,
                 int valueRef) {
  storeEntry(dictionary, std::move(key), parseBinary(d, valueRef));
}

// Everything that parseBinary checks of a value, without building its
// containers and texts.
void check(const PlistHelperData& d, int objRef) {
  const unsigned char kind = kindOf(d, objRef);
  if (kind == 0xA || kind == 0xD) {
    spendBudget(d);
    ContainerGuard guard(d, objRef);
    const ContainerRefs refs(d, objRef);
    const std::size_t keys = kind == 0xD ? refs.size() / 2 : 0;
    for (std::size_t i = 0; i < keys; ++i) parseKey(d, refs[i]);
    for (std::size_t i = keys; i < refs.size(); ++i) check(d, refs[i]);
  } else if (kind == 0x4 || kind == 0x5) {
    spendBudget(d);
    long long count = 0;
    payloadStart(d, objectOffset(d, objRef), count, 1);
  } else {
    parseBinary(d, objRef);
  }
}

}  // namespace

boost::any parseBinaryReport(const PlistHelperData& d, int objRef, const ItemKeys& itemKeys) {
  const auto storeField = [&](std::map<std::string, boost::any>& fields, std::string&& key, int valueRef) {
    if (std::binary_search(itemKeys.begin(), itemKeys.end(), key))
      storeParsed(d, fields, std::move(key), valueRef);
    else
      check(d, valueRef);
  };
  const auto item = [&](int ref) -> boost::any {
    if (kindOf(d, ref) != 0xD) return parseBinary(d, ref);
    spendBudget(d);
    return readDictionary(d, ref, storeField);
  };
  const auto storeEntryOfReport = [&](std::map<std::string, boost::any>& report, std::string&& key, int valueRef) {
    if (key == "_items" && kindOf(d, valueRef) == 0xA) {
      spendBudget(d);
      storeEntry(report, std::move(key), readArray(d, valueRef, item));
    } else {
      storeParsed(d, report, std::move(key), valueRef);
    }
  };
  if (kindOf(d, objRef) != 0xA) return parseBinary(d, objRef);
  spendBudget(d);
  return readArray(d, objRef, [&](int ref) -> boost::any {
    if (kindOf(d, ref) != 0xD) return parseBinary(d, ref);
    spendBudget(d);
    return readDictionary(d, ref, storeEntryOfReport);
  });
}

boost::any readBinaryPlist(const char* data, long long size, const ItemKeys* itemKeys) {
  if (size < static_cast<long long>(kSignatureSize + kTrailerSize)) fail("Plist: binary data too short for its trailer");
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
  return readBinaryPlist(std::vector<unsigned char>(bytes, bytes + size), itemKeys);
}

boost::any readBinaryPlist(std::vector<unsigned char>&& data, const ItemKeys* itemKeys) {
  const long long size = static_cast<long long>(data.size());
  if (size < static_cast<long long>(kSignatureSize + kTrailerSize)) fail("Plist: binary data too short for its trailer");
  PlistHelperData d;
  parseTrailer(d, std::vector<unsigned char>(data.end() - kTrailerSize, data.end()));
  if (d.offsetByteSize < 1) fail("Plist: offset table entries of 0 bytes");
  if (d.offsetTableOffset < static_cast<long long>(kSignatureSize) ||
      d.offsetTableOffset > size - static_cast<long long>(kTrailerSize))
    fail("Plist: offset table outside the data");
  parseOffsetTable(d, std::vector<unsigned char>(data.begin() + d.offsetTableOffset, data.end() - kTrailerSize));
  // The data up to the offset table becomes the object table where it lies.
  data.resize(static_cast<std::size_t>(d.offsetTableOffset));
  d.objectTable = std::move(data);
  // Without shared containers every value costs at least one byte of the
  // object table; allow generous sharing, but not an exponential expansion.
  d.valueBudget = 4 * static_cast<std::int64_t>(d.objectTable.size()) + 4096;
  return itemKeys == nullptr ? parseBinary(d, 0) : parseBinaryReport(d, 0, *itemKeys);
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
  const std::size_t width = static_cast<std::size_t>(d.offsetByteSize);
  d.offsetTable.reserve(offsetTableBytes.size() / width);
  std::size_t position = 0;
  for (; position + width <= offsetTableBytes.size(); position += width)
    d.offsetTable.push_back(low32(bigEndianAt(offsetTableBytes.data() + position, d.offsetByteSize)));
  // A last entry cut short by the end of the table is out of bounds.
  if (position < offsetTableBytes.size()) failOutOfBounds();
}

boost::any parseBinary(const PlistHelperData& d, int objRef) {
  spendBudget(d);
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
  std::string text;
  if (!utf8FromUtf16BigEndian(d.objectTable.data() + start, static_cast<std::size_t>(count), text))
    fail("Plist: invalid UTF-16 string: a lone surrogate");  // a damaged file
  return text;
}

std::vector<boost::any> parseBinaryArray(const PlistHelperData& d, int objRef) {
  return readArray(d, objRef, [&d](int ref) { return parseBinary(d, ref); });
}

std::map<std::string, boost::any> parseBinaryDictionary(const PlistHelperData& d, int objRef) {
  return readDictionary(d, objRef, [&d](std::map<std::string, boost::any>& dictionary, std::string&& key,
                                        int valueRef) { storeParsed(d, dictionary, std::move(key), valueRef); });
}

std::vector<std::int32_t> getRefsForContainers(const PlistHelperData& d, int objRef) {
  const ContainerRefs refs(d, objRef);
  std::vector<std::int32_t> list(refs.size());
  for (std::size_t i = 0; i < refs.size(); ++i) list[i] = refs[i];
  return list;
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
