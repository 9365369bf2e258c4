// The field encodings of the data files, and the visitor that writes records
// with them: little-endian numbers and counted Shift-JIS texts, appended to
// one byte string without separators or padding.
#pragma once

#include "inventory/RecordLayout.h"

#include <string>
#include <vector>

namespace wmi {

void appendDword(std::string& out, unsigned int value);
void appendInt64(std::string& out, long long value);
// The low 32 bits of a time in seconds since 1970.
void appendTime(std::string& out, long long seconds);
// A counted Shift-JIS text: 00 | n (1..254) + bytes | FF + u16 n + bytes. At
// most 4094 bytes are kept, never splitting a two-byte character.
void appendText(std::string& out, const std::string& text);

}  // namespace wmi

// Writes the records that RecordLayout.h describes into bytes().
class CFieldWriter : public CPlainFieldVisitor<CFieldWriter> {
 public:
  virtual ~CFieldWriter() = default;

  const std::string& bytes() const { return out_; }

  void text(const char*, const char*, const std::string& value) {
    wmi::appendText(out_, value);
    written();
  }
  void dword(const char*, const char*, unsigned int value) {
    wmi::appendDword(out_, value);
    written();
  }
  void int64(const char*, const char*, long long value) {
    wmi::appendInt64(out_, value);
    written();
  }
  void time(const char*, const char*, long long seconds) {
    wmi::appendTime(out_, seconds);
    written();
  }
  template <typename Element>
  void list(const char* key, const char* what, const std::vector<Element>& elements) {
    dword(key, what, static_cast<unsigned int>(elements.size()));
    for (const Element& element : elements) Layout<Element>::fields(*this, element);
  }
  void textValueList(const char* key, const char* what, const std::vector<std::string>& texts,
                     const std::vector<unsigned int>& values);

  void fixedText(const char* key, const char* what, const std::string&, const char* written) {
    text(key, what, written);
  }
  void fixedDword(const char* key, const char* what, unsigned int, unsigned int written) {
    dword(key, what, written);
  }
  void fixedTime(const char* key, const char* what, long long, long long written) { time(key, what, written); }
  void textWrittenAs(const char* key, const char* what, const std::string& value,
                     std::string (*as)(const std::string&)) {
    text(key, what, as(value));
  }

 protected:
  // Called after every field, when bytes() has grown.
  virtual void written() {}
  std::string out_;
};
