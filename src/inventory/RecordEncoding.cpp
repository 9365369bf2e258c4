// Field encodings of the data files: little-endian numbers and counted
// Shift-JIS strings, written without separators or padding.
#include "inventory/CBaseInfoManager.h"

#include "util/utils.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

void putLittleEndian(std::uint64_t value, int width, char* buf) {
  for (int i = 0; i < width; ++i) buf[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Plain ASCII without NUL is its own Shift-JIS form.
bool isPlainAscii(const std::string& text) {
  for (unsigned char c : text)
    if (c >= 0x80 || c == 0) return false;
  return true;
}

bool isShiftJisLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The longest prefix of at most `limit` bytes that ends on a character boundary.
std::size_t shiftJisCutLength(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  std::size_t position = 0;
  while (position < limit) {
    const std::size_t width = isShiftJisLeadByte(static_cast<unsigned char>(text[position])) ? 2 : 1;
    if (position + width > limit) break;
    position += width;
  }
  return position;
}

}  // namespace

void CBaseInfoManager::FormatDWORDData(unsigned int value, char* buf, int& len) {
  if (buf == nullptr) return;
  putLittleEndian(value, 4, buf);
  len = 4;
}

void CBaseInfoManager::FormatInt64Data(long long value, char* buf, int& len) {
  if (buf == nullptr) return;
  putLittleEndian(static_cast<std::uint64_t>(value), 8, buf);
  len = 8;
}

void CBaseInfoManager::FormatFloatData(float value, char* buf, int& len) {
  if (buf == nullptr) return;
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  putLittleEndian(bits, 4, buf);
  len = 4;
}

void CBaseInfoManager::FormatCTimeData(long value, char* buf, int& len) {
  if (buf == nullptr) return;
  putLittleEndian(static_cast<std::uint64_t>(value) & 0xFFFFFFFFu, 4, buf);
  len = 4;
}

void CBaseInfoManager::FormatCStringData(const std::string& text, char* buf, int& len, bool /*flag*/) {
  if (buf == nullptr) return;
  const bool ascii = isPlainAscii(text);
  const std::string converted = ascii ? std::string() : wmi::UTF8toSJIS(text);
  const std::string& bytes = ascii ? text : converted;
  const std::size_t n = shiftJisCutLength(bytes, kMaxStringBytes);
  int prefix;
  if (n == 0) {
    buf[0] = 0;
    prefix = 1;
  } else if (n <= 254) {
    buf[0] = static_cast<char>(n);
    prefix = 1;
  } else {
    buf[0] = static_cast<char>(0xFF);
    putLittleEndian(n, 2, buf + 1);
    prefix = 3;
  }
  std::memcpy(buf + prefix, bytes.data(), n);
  len = prefix + static_cast<int>(n);
}

void CBaseInfoManager::FormatHeaderData(const tagHEADERSTRUCT& header, char* buf, int& len) {
  if (buf == nullptr) return;
  std::vector<char> scratch(kStringFieldSize);
  int total = 0;
  const auto appendString = [&](const std::string& text) {
    int fieldLength = 0;
    FormatCStringData(text, scratch.data(), fieldLength);
    std::memcpy(buf + total, scratch.data(), fieldLength);
    total += fieldLength;
  };
  const auto appendDword = [&](unsigned int value) {
    int fieldLength = 0;
    FormatDWORDData(value, buf + total, fieldLength);
    total += fieldLength;
  };
  const auto appendTime = [&](long long value) {
    int fieldLength = 0;
    FormatCTimeData(static_cast<long>(value), buf + total, fieldLength);
    total += fieldLength;
  };
  appendString(header.strMagic);
  appendDword(header.dwFormatVersion);
  appendDword(header.dwReserved);
  appendString(header.strComputerName);
  appendDword(header.dwFileNumber);
  appendString(header.strAgentVersion);
  appendDword(header.dwKindCode);
  appendTime(header.tmStart);
  appendTime(header.tmEnd);
  if (header.dwFormatVersion >= 10004) {
    appendDword(header.dwExtCode);
    appendString(header.strUUID);
  }
  len = total;
}
