#include "plist/PlistBinary.h"

#include "plist/PlistBuilder.h"
#include "util/utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Plist {

namespace {

constexpr long long kTrailerSize = 32;
constexpr long long kSignatureSize = 8;

// Failures are built out of line, so that the checks that lead to them stay
// small enough to be inlined on every object.
[[noreturn]] __attribute__((noinline)) void fail(const std::string& message, long long offset) {
  throw Error(message, offset);
}
[[noreturn]] __attribute__((noinline)) void failOutOfBounds(long long offset) {
  fail("Out of bounds getRange", offset);
}
[[noreturn]] __attribute__((noinline)) void failReference(std::int32_t ref, long long offset) {
  fail("Plist: object reference " + std::to_string(ref) + " outside the offset table", offset);
}
[[noreturn]] __attribute__((noinline)) void failOffset(std::int32_t objectOffset, long long offset) {
  fail("Plist: object offset " + std::to_string(objectOffset) + " outside the object table", offset);
}

// A big-endian number of `length` bytes at `bytes`, already checked; the low
// 64 bits of a longer one.
inline std::uint64_t bigEndianAt(const unsigned char* bytes, long long length) {
  std::uint64_t value = 0;
  for (long long i = 0; i < length; ++i) value = (value << 8) | bytes[i];
  return value;
}

std::int32_t low32(std::uint64_t value) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(value)); }

double doubleOf(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

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
    out = wmi::writeUtf8(c, out);
  }
  text.assign(first, out);
  return true;
}

// Walks the objects of one binary property list for the Builder. Offsets
// count from the first byte of the data, the signature included, where the
// object table starts.
class BinaryReader {
 public:
  struct Node {
    std::int32_t ref;  // the object's index in the offset table
    long long from;    // where that reference stands; -1 for the root
  };

  explicit BinaryReader(std::vector<unsigned char>&& data);

  // The root of the tree is always object 0, whatever the trailer names.
  static Node root() { return Node{0, -1}; }

  NodeKind kind(Node node) {
    at_ = objectAt(node);
    const unsigned char type = table_[static_cast<std::size_t>(at_)] >> 4;
    return type == 0xA ? NodeKind::Array : type == 0xD ? NodeKind::Dictionary : NodeKind::Other;
  }

  boost::any scalar(Node node, bool keep);

  template <typename OnElement>
  void elements(Node node, array_type* reserve, OnElement onElement) {
    const Nesting nesting(*this, node.ref);
    const References refs(*this, at_);
    if (reserve != nullptr) reserve->reserve(refs.size());
    for (std::size_t i = 0; i < refs.size(); ++i) onElement(refs[i]);
  }

  template <typename OnEntry>
  void entries(Node node, OnEntry onEntry) {
    const Nesting nesting(*this, node.ref);
    const References refs(*this, at_);
    const std::size_t pairs = refs.size() / 2;
    for (std::size_t i = 0; i < pairs; ++i) onEntry(refs[i], refs[pairs + i]);
  }

  // A key is an ASCII or UTF-16 string object, read straight into a text.
  bool keyIsText(Node node) {
    at_ = objectAt(node);
    const unsigned char type = table_[static_cast<std::size_t>(at_)] >> 4;
    return type == 0x5 || type == 0x6;
  }
  std::string keyText(Node) const {
    return (table_[static_cast<std::size_t>(at_)] >> 4) == 0x5 ? ascii() : unicode();
  }

  [[noreturn]] void keyIsNotText(Node node) {
    fail("Error parsing dictionary.  Key can't be parsed as a string", offsetOf(node));
  }

 private:
  // The references of a container where they stand in the object table,
  // checked once as a whole.
  class References {
   public:
    References(const BinaryReader& reader, long long position);
    std::size_t size() const { return static_cast<std::size_t>(count_); }
    Node operator[](std::size_t index) const {
      const std::size_t at = index * static_cast<std::size_t>(width_);
      return Node{low32(bigEndianAt(first_ + at, width_)), start_ + static_cast<long long>(at)};
    }

   private:
    const unsigned char* first_ = nullptr;
    long long start_ = 0;
    long long count_ = 0;
    int width_;
  };

  // Marks a container as being read for as long as it lives, so that a
  // container reached again from inside itself, or nesting without end, is
  // refused instead of recursing for ever.
  class Nesting {
   public:
    Nesting(BinaryReader& reader, std::int32_t ref);
    ~Nesting() { open_.pop_back(); }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

   private:
    std::vector<std::int32_t>& open_;
  };

  void readTrailer(const std::vector<unsigned char>& data);
  void readOffsetTable(const std::vector<unsigned char>& data);

  // Where an object starts, both tables checked; each object read counts
  // against the budget of the whole read.
  long long objectAt(Node node) {
    if (--budget_ < 0) fail("Plist: more values than the data can hold", node.from);
    return offsetOf(node);
  }
  long long offsetOf(Node node) const {
    if (node.ref < 0 || static_cast<std::size_t>(node.ref) >= offsets_.size()) failReference(node.ref, node.from);
    const std::int32_t offset = offsets_[static_cast<std::size_t>(node.ref)];
    if (offset < 0 || static_cast<std::size_t>(offset) >= table_.size())
      failOffset(offset, offsetTableStart_ + static_cast<long long>(node.ref) * offsetWidth_);
    return offset;
  }

  void checkRange(long long index, long long size) const {
    if (index < 0 || size < 0 || index > static_cast<long long>(table_.size()) ||
        size > static_cast<long long>(table_.size()) - index)
      failOutOfBounds(at_);
  }
  std::uint64_t bigEndian(long long position, long long length) const {
    checkRange(position, length);
    return bigEndianAt(table_.data() + position, length);
  }

  long long integerAt(long long position, int& width) const;

  // The count of a counted object: the low four bits of its marker, or for
  // fifteen and more the integer object after the marker. `start` is where
  // the payload starts, counted from the marker.
  long long countAt(long long position, long long& start) const {
    const unsigned char marker = table_[static_cast<std::size_t>(position)];
    start = 1;
    return (marker & 0x0F) != 0x0F ? marker & 0x0F : extendedCountAt(position, start);
  }
  long long extendedCountAt(long long position, long long& start) const;

  // The payload of the counted object being read: `count` units of
  // `unitSize` bytes after the marker (and the extended count, if any).
  // Returns its start.
  long long payload(long long& count, long long unitSize) const {
    long long start = 0;
    count = countAt(at_, start);
    if (count < 0 || count > static_cast<long long>(table_.size()) / unitSize) failOutOfBounds(at_);
    checkRange(at_ + start, count * unitSize);
    return at_ + start;
  }

  double real() const;
  Date date() const;
  std::string ascii() const;
  std::string unicode() const;

  std::vector<std::int32_t> offsets_;  // where each object starts, by reference
  std::vector<unsigned char> table_;   // the data up to the offset table
  int offsetWidth_ = 0;
  int refWidth_ = 0;
  long long offsetTableStart_ = 0;
  // Without shared containers every value costs at least one byte of the
  // object table; generous sharing is allowed, an exponential expansion not.
  std::int64_t budget_ = 0;
  std::vector<std::int32_t> open_;  // the containers being read
  long long at_ = 0;                // the object being read
};

BinaryReader::BinaryReader(std::vector<unsigned char>&& data) {
  if (static_cast<long long>(data.size()) < kSignatureSize + kTrailerSize)
    fail("Plist: binary data too short for its trailer", -1);
  readTrailer(data);
  readOffsetTable(data);
  data.resize(static_cast<std::size_t>(offsetTableStart_));
  table_ = std::move(data);
  budget_ = 4 * static_cast<std::int64_t>(table_.size()) + 4096;
}

void BinaryReader::readTrailer(const std::vector<unsigned char>& data) {
  const long long size = static_cast<long long>(data.size());
  const long long trailer = size - kTrailerSize;
  offsetWidth_ = data[static_cast<std::size_t>(trailer + 6)];
  refWidth_ = data[static_cast<std::size_t>(trailer + 7)];
  offsetTableStart_ = static_cast<long long>(bigEndianAt(data.data() + trailer + 24, 8));
  if (offsetWidth_ < 1) fail("Plist: offset table entries of 0 bytes", trailer + 6);
  if (offsetTableStart_ < kSignatureSize || offsetTableStart_ > trailer)
    fail("Plist: offset table outside the data", trailer + 24);
}

void BinaryReader::readOffsetTable(const std::vector<unsigned char>& data) {
  const long long end = static_cast<long long>(data.size()) - kTrailerSize;
  offsets_.reserve(static_cast<std::size_t>((end - offsetTableStart_) / offsetWidth_));
  long long position = offsetTableStart_;
  for (; position + offsetWidth_ <= end; position += offsetWidth_)
    offsets_.push_back(low32(bigEndianAt(data.data() + position, offsetWidth_)));
  // A last entry cut short by the end of the table is out of bounds.
  if (position < end) failOutOfBounds(position);
}

BinaryReader::Nesting::Nesting(BinaryReader& reader, std::int32_t ref) : open_(reader.open_) {
  if (std::find(open_.begin(), open_.end(), ref) != open_.end())
    fail("Plist: container " + std::to_string(ref) + " contains itself", reader.at_);
  if (open_.size() >= static_cast<std::size_t>(kMaxNesting)) fail("Plist: nesting deeper than 512 levels", reader.at_);
  open_.push_back(ref);
}

BinaryReader::References::References(const BinaryReader& reader, long long position) : width_(reader.refWidth_) {
  long long start = 0;
  count_ = reader.countAt(position, start);
  const std::vector<unsigned char>& table = reader.table_;
  if ((table[static_cast<std::size_t>(position)] >> 4) == 0xD) count_ = count_ > (1LL << 61) ? -1 : count_ * 2;
  if (width_ < 1 || count_ == 0) {
    count_ = 0;
    return;
  }
  if (count_ < 0 || count_ > static_cast<long long>(table.size()) / width_) failOutOfBounds(position);
  start_ = position + start;
  reader.checkRange(start_, count_ * width_);
  first_ = table.data() + start_;
}

boost::any BinaryReader::scalar(Node, bool keep) {
  const unsigned char marker = table_[static_cast<std::size_t>(at_)];
  long long count = 0;
  int width = 0;
  switch (marker >> 4) {
    case 0x0:
      if (marker == 0x00) fail("Plist: null byte encountered, unsure how to parse", at_);
      if (marker == 0x0F) fail("Plist: fill byte encountered, unsure how to parse", at_);
      if (marker == 0x08 || marker == 0x09) return marker == 0x09;
      fail(std::string("Plist: unknown header ") + static_cast<char>(marker), at_);
    case 0x1: return integerAt(at_, width);
    case 0x2: return real();
    case 0x3: return date();
    case 0x4: {
      const long long start = payload(count, 1);
      if (!keep) return boost::any();
      const char* first = reinterpret_cast<const char*>(table_.data()) + start;
      return data_type(first, first + count);
    }
    case 0x5:
      if (keep) return ascii();
      payload(count, 1);
      return boost::any();
    case 0x6: return unicode();
    default: fail("This type is not supported", at_);
  }
}

long long BinaryReader::integerAt(long long position, int& width) const {
  checkRange(position, 1);
  width = 1 << (table_[static_cast<std::size_t>(position)] & 0x0F);
  return static_cast<long long>(bigEndian(position + 1, width));
}

long long BinaryReader::extendedCountAt(long long position, long long& start) const {
  const long long intPosition = position + 1;
  checkRange(intPosition, 1);
  if ((table_[static_cast<std::size_t>(intPosition)] >> 4) != 0x1) fail("Plist: count is not an integer", at_);
  int width = 0;
  const long long count = integerAt(intPosition, width);
  start = 2 + width;
  return count;
}

double BinaryReader::real() const {
  const int width = 1 << (table_[static_cast<std::size_t>(at_)] & 0x0F);
  const std::uint64_t bits = bigEndian(at_ + 1, width);
  if (width == 8) return doubleOf(bits);
  if (width == 4) {
    const std::uint32_t narrow = static_cast<std::uint32_t>(bits);
    float value;
    std::memcpy(&value, &narrow, sizeof value);
    return value;
  }
  fail("Plist: real of " + std::to_string(width) + " bytes", at_);
}

Date BinaryReader::date() const {
  Date date;
  date.setTimeFromAppleEpoch(doubleOf(bigEndian(at_ + 1, 8)));
  return date;
}

std::string BinaryReader::ascii() const {
  long long count = 0;
  const long long start = payload(count, 1);
  return std::string(reinterpret_cast<const char*>(table_.data()) + start, static_cast<std::size_t>(count));
}

std::string BinaryReader::unicode() const {
  long long count = 0;
  const long long start = payload(count, 2);
  std::string text;
  if (!utf8FromUtf16BigEndian(table_.data() + start, static_cast<std::size_t>(count), text))
    fail("Plist: invalid UTF-16 string: a lone surrogate", at_);  // a damaged file
  return text;
}

}  // namespace

boost::any readBinary(std::vector<unsigned char>&& data, const ItemKeys* itemKeys) {
  BinaryReader reader(std::move(data));
  return Builder<BinaryReader>(reader, itemKeys).build(BinaryReader::root());
}

}  // namespace Plist
