// Field encodings of the data files: little-endian numbers and counted
// Shift-JIS strings, written without separators or padding.
#include "inventory/FieldWriter.h"

#include "util/sjistable.h"
#include "util/textscan.h"
#include "util/utils.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

void appendLittleEndian(std::string& out, std::uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Plain ASCII without NUL is its own Shift-JIS form.
bool isPlainAscii(const std::string& text) { return wmi::isAscii(text) && text.find('\0') == std::string::npos; }

// The longest prefix of at most `limit` bytes that ends on a character boundary.
std::size_t shiftJisCutLength(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  std::size_t position = 0;
  while (position < limit) {
    const std::size_t width = wmi::isShiftJisLeadByte(static_cast<unsigned char>(text[position])) ? 2 : 1;
    if (position + width > limit) break;
    position += width;
  }
  return position;
}

// A counted Shift-JIS string, cut at a character boundary.
void appendCounted(std::string& out, const std::string& bytes) {
  const std::size_t n = shiftJisCutLength(bytes, CBaseInfoManager::kMaxStringBytes);
  if (n == 0) {
    out += '\0';
  } else if (n <= 254) {
    out += static_cast<char>(n);
  } else {
    out += static_cast<char>(0xFF);
    appendLittleEndian(out, n, 2);
  }
  out.append(bytes, 0, n);
}

// The adapters below hand an encoded field over to a caller's buffer.
void copyOut(const std::string& field, char* buf, int& len) {
  std::memcpy(buf, field.data(), field.size());
  len = static_cast<int>(field.size());
}

}  // namespace

namespace wmi {

void appendDword(std::string& out, unsigned int value) { appendLittleEndian(out, value, 4); }

void appendInt64(std::string& out, long long value) { appendLittleEndian(out, static_cast<std::uint64_t>(value), 8); }

void appendTime(std::string& out, long long seconds) {
  appendLittleEndian(out, static_cast<std::uint64_t>(seconds) & 0xFFFFFFFFu, 4);
}

void appendText(std::string& out, const std::string& text) {
  if (isPlainAscii(text))
    appendCounted(out, text);
  else
    appendCounted(out, UTF8toSJIS(text));
}

}  // namespace wmi

void CFieldWriter::textValueList(const char* key, const char* what, const std::vector<std::string>& texts,
                                 const std::vector<unsigned int>& values) {
  dword(key, what, static_cast<unsigned int>(texts.size()));
  for (std::size_t i = 0; i < texts.size(); ++i) {
    text(key, what, texts[i]);
    dword(key, what, i < values.size() ? values[i] : 0);
  }
}

void CBaseInfoManager::FormatDWORDData(unsigned int value, char* buf, int& len) {
  if (buf == nullptr) return;
  std::string field;
  wmi::appendDword(field, value);
  copyOut(field, buf, len);
}

void CBaseInfoManager::FormatInt64Data(long long value, char* buf, int& len) {
  if (buf == nullptr) return;
  std::string field;
  wmi::appendInt64(field, value);
  copyOut(field, buf, len);
}

void CBaseInfoManager::FormatCTimeData(long value, char* buf, int& len) {
  if (buf == nullptr) return;
  std::string field;
  wmi::appendTime(field, value);
  copyOut(field, buf, len);
}

void CBaseInfoManager::FormatCStringData(const std::string& text, char* buf, int& len, bool /*flag*/) {
  if (buf == nullptr) return;
  std::string field;
  wmi::appendText(field, text);
  copyOut(field, buf, len);
}

void CBaseInfoManager::FormatHeaderData(const tagHEADERSTRUCT& header, char* buf, int& len) {
  if (buf == nullptr) return;
  CFieldWriter writer;
  describeHeader(writer, header);
  copyOut(writer.bytes(), buf, len);
}
