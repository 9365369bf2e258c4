// The decoded data file as JSON, by the descriptions of RecordLayout.h: each
// field under its record name, the records in file order, and the two parts
// of the system record shown as one object.
#include "inventory/DataFileReader.h"

#include "inventory/RecordLayout.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

// One JSON value under its key: a scalar's text, or an object's or an
// array's members.
struct JsonValue {
  std::string key;  // empty in arrays
  std::string scalar;
  char open = 0;  // '{' or '[' for a container
  std::vector<JsonValue> members;

  JsonValue& add(const char* name, char bracket = 0) {
    members.emplace_back();
    JsonValue& added = members.back();
    if (name != nullptr) added.key = name;
    added.open = bracket;
    return added;
  }

  // Two-blank indentation, as a person would write it.
  void print(std::string& out, int depth) const {
    if (open == 0) {
      out += scalar;
      return;
    }
    out += open;
    const std::string indent(2 * (depth + 1), ' ');
    for (std::size_t i = 0; i < members.size(); ++i) {
      out += i == 0 ? "\n" : ",\n";
      out += indent;
      if (open == '{') out += quoted(members[i].key) + ": ";
      members[i].print(out, depth + 1);
    }
    if (!members.empty()) out += "\n" + std::string(2 * depth, ' ');
    out += open == '{' ? '}' : ']';
  }
};

// Builds the JSON of the records it is shown.
class CJsonDump : public CPlainFieldVisitor<CJsonDump> {
 public:
  CJsonDump() { root_.open = '{'; }

  void text(const char* key, const char*, const std::string& value) { current().add(key).scalar = quoted(value); }
  void dword(const char* key, const char*, unsigned int value) { number(key, value); }
  void int64(const char* key, const char*, long long value) { number(key, value); }
  void time(const char* key, const char*, long long seconds) { number(key, seconds); }

  template <typename Element>
  void list(const char* key, const char*, const std::vector<Element>& elements) {
    JsonValue& array = current().add(key, '[');
    for (const Element& element : elements)
      within(array.add(nullptr, '{'), [&] { Layout<Element>::fields(*this, element); });
  }

  void textValueList(const char* key, const char*, const std::vector<std::string>& texts,
                     const std::vector<unsigned int>& values) {
    JsonValue& array = current().add(key, '[');
    for (std::size_t i = 0; i < texts.size(); ++i) {
      within(array.add(nullptr, '{'), [&] {
        text("text", nullptr, texts[i]);
        number("value", i < values.size() ? values[i] : 0);
      });
    }
  }

  // Every field of a record is shown, also those its file version lacks.
  template <typename Describe>
  void optional(bool, Describe describe) {
    describe();
  }

  // The parts of one record go into one object, where its first part stood.
  template <typename Describe>
  void group(const char* key, Describe describe) {
    for (JsonValue& member : current().members) {
      if (member.key == key) return within(member, describe);
    }
    within(current().add(key, '{'), describe);
  }

  std::string json() const {
    std::string out;
    root_.print(out, 0);
    return out + "\n";
  }

 private:
  JsonValue& current() { return stack_.empty() ? root_ : *stack_.back(); }

  void number(const char* key, long long value) { current().add(key).scalar = std::to_string(value); }

  template <typename Describe>
  void within(JsonValue& value, Describe describe) {
    stack_.push_back(&value);
    describe();
    stack_.pop_back();
  }

  JsonValue root_;
  std::vector<JsonValue*> stack_;
};

}  // namespace

std::string dataFileToJson(const tagDECODEDFILE& file) {
  CJsonDump json;
  const bool hardware = file.kind == tagDECODEDFILE::Hardware;
  json.text("kind", nullptr, hardware ? "hardware" : "software");
  describeHeader(json, file.header);
  if (hardware)
    describeHardwareBody(json, file.hardware, file.hardware.vecInfo.front());
  else
    describeSoftwareBody(json, file.applications, file.dwTrailerCount);
  return json.json();
}
