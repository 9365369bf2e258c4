#include "inventory/DataFileReader.h"

#include "inventory/RecordLayout.h"
#include "util/utils.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

CDataFileError::CDataFileError(const std::string& what, std::size_t offset)
    : std::runtime_error("byte offset " + std::to_string(offset) + ": " + what), offset_(offset) {}

namespace {

constexpr char kEndMarker[] = "QZ20EOF";
constexpr std::size_t kEndMarkerSize = 7;

// The fewest bytes a record can take in a file, by its description.
class CMinimumSize : public CPlainFieldVisitor<CMinimumSize> {
 public:
  static constexpr std::size_t kText = 1, kDword = 4;

  template <typename S>
  void text(const char*, const char*, S&) { bytes += kText; }
  template <typename N>
  void dword(const char*, const char*, N&) { bytes += kDword; }
  template <typename N>
  void int64(const char*, const char*, N&) { bytes += 8; }
  template <typename T>
  void time(const char*, const char*, T&) { bytes += 4; }
  template <typename L>
  void list(const char*, const char*, L&) { bytes += kDword; }
  template <typename T, typename V>
  void textValueList(const char*, const char*, T&, V&) { bytes += kDword; }

  std::size_t bytes = 0;
};

template <typename Record>
std::size_t minimumSize() {
  CMinimumSize size;
  const Record record{};
  Layout<Record>::fields(size, record);
  return size.bytes;
}

// Reads fields front to back, with a bounds check on every one.
class CFieldReader : public CPlainFieldVisitor<CFieldReader> {
 public:
  explicit CFieldReader(const std::string& bytes) : bytes_(bytes) {}

  void text(const char*, const char* what, std::string& value) { value = readText(what); }
  void dword(const char*, const char* what, unsigned int& value) { value = readDword(what); }
  void int64(const char*, const char* what, long long& value) { value = static_cast<long long>(number(8, what)); }
  void time(const char*, const char* what, long long& seconds) { seconds = readDword(what); }

  template <typename Element>
  void list(const char*, const char* what, std::vector<Element>& elements) {
    const std::size_t n = count((std::string(what) + " count").c_str(), minimumSize<Element>());
    for (std::size_t i = 0; i < n; ++i) {
      Element element;
      Layout<Element>::fields(*this, element);
      elements.push_back(std::move(element));
    }
  }

  void textValueList(const char*, const char* what, std::vector<std::string>& texts,
                     std::vector<unsigned int>& values) {
    const std::string name(what);
    const std::size_t n = count((name + " count").c_str(), CMinimumSize::kText + CMinimumSize::kDword);
    for (std::size_t i = 0; i < n; ++i) {
      texts.push_back(readText((name + " text").c_str()));
      values.push_back(readDword((name + " value").c_str()));
    }
  }

  void magic(const char*, const char* what, std::string& value, const char* expected) {
    const std::size_t start = position_;
    value = readText(what);
    if (value != expected) throw CDataFileError("magic \"" + std::string(expected) + "\" expected", start);
  }

  void endMarker() {
    if (bytes_.size() - position_ < kEndMarkerSize || bytes_.compare(position_, kEndMarkerSize, kEndMarker) != 0)
      throw CDataFileError("end marker \"QZ20EOF\" expected", position_);
    position_ += kEndMarkerSize;
    if (position_ != bytes_.size())
      throw CDataFileError(std::to_string(bytes_.size() - position_) + " trailing bytes after the end marker",
                           position_);
  }

 private:
  unsigned int readDword(const char* what) { return static_cast<unsigned int>(number(4, what)); }

  std::string readText(const char* what) {
    const std::size_t start = position_;
    std::size_t length = static_cast<unsigned char>(take(1, what)[0]);
    if (length == 0xFF) length = static_cast<std::size_t>(number(2, what));
    if (length > CBaseInfoManager::kMaxStringBytes)
      throw CDataFileError(std::string(what) + ": text length " + std::to_string(length) + " exceeds 4094", start);
    return wmi::SJIStoUTF8(take(length, what));
  }

  // A list count; each element needs at least `minimumElementSize` bytes, so
  // a count the rest of the file cannot hold is rejected before any allocation.
  std::size_t count(const char* what, std::size_t minimumElementSize) {
    const std::size_t start = position_;
    const std::size_t n = readDword(what);
    const std::size_t remaining = bytes_.size() - position_;
    if (n > remaining / minimumElementSize)
      throw CDataFileError(std::string(what) + ": count " + std::to_string(n) + " cannot fit in the " +
                               std::to_string(remaining) + " remaining bytes",
                           start);
    return n;
  }

  std::string take(std::size_t length, const char* what) {
    if (bytes_.size() - position_ < length) throw CDataFileError(std::string("file truncated in ") + what, position_);
    std::string field = bytes_.substr(position_, length);
    position_ += length;
    return field;
  }

  std::uint64_t number(std::size_t width, const char* what) {
    const std::string field = take(width, what);
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(field[i]);
    return value;
  }

  const std::string& bytes_;
  std::size_t position_ = 0;
};

}  // namespace

tagDECODEDFILE decodeDataFile(const std::string& bytes) {
  CFieldReader in(bytes);
  tagDECODEDFILE file;
  describeHeader(in, file.header);
  if (file.header.dwFileNumber == 12) {
    file.kind = tagDECODEDFILE::Hardware;
    file.hardware.vecInfo.resize(1);
    describeHardwareBody(in, file.hardware, file.hardware.vecInfo.front());
  } else if (file.header.dwFileNumber == 1) {
    file.kind = tagDECODEDFILE::Software;
    describeSoftwareBody(in, file.applications, file.dwTrailerCount);
  } else {
    throw CDataFileError("unknown file number " + std::to_string(file.header.dwFileNumber), 0);
  }
  in.endMarker();
  return file;
}
