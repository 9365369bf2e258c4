#include "plist/Plist.h"

#include "plist/PlistBinary.h"
#include "plist/base64.h"

#include <boost/filesystem/operations.hpp>
#include <pugixml.hpp>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace Plist {

namespace {

// Counts the dictionaries and arrays being parsed on this thread; it is back
// to zero whenever no read is running.
class NestingGuard {
 public:
  NestingGuard() {
    if (depth_ >= kMaxNesting) throw Error("Plist: XML nesting deeper than 512 levels");
    ++depth_;
  }
  ~NestingGuard() { --depth_; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;

 private:
  static thread_local int depth_;
};

thread_local int NestingGuard::depth_ = 0;

// pugixml's defaults, plus text kept inside its element instead of in a node
// of its own: a report's DOM then takes about half the nodes. What a reader
// sees is unchanged: text() and strayText() below give what the first child
// node would have held.
constexpr unsigned int kParseOptions = pugi::parse_default | pugi::parse_embed_pcdata;

// The value of an element's first child (text or CDATA); empty without one.
const char* textOf(const pugi::xml_node& node) {
  const char* embedded = node.value();
  if (*embedded != '\0') return embedded;
  // An element child has no text of its own, even when its text is embedded.
  const pugi::xml_node first = node.first_child();
  return first.type() == pugi::node_pcdata || first.type() == pugi::node_cdata ? first.value() : "";
}

bool isKey(const pugi::xml_node& node) {
  const char* name = node.name();
  return name[0] == 'k' && name[1] == 'e' && name[2] == 'y' && name[3] == '\0';
}

// Text standing first inside a container, where an element is due.
bool hasStrayText(const pugi::xml_node& node) { return *node.value() != '\0'; }

boost::any parseReport(pugi::xml_node& node, const ItemKeys& itemKeys);

boost::any parseDocument(const pugi::xml_document& document, const pugi::xml_parse_result& result,
                         const ItemKeys* itemKeys) {
  if (!result) throw Error(std::string("Plist: XML parsed with error ") + result.description());
  const pugi::xml_node plist = document.child("plist");
  pugi::xml_node top = hasStrayText(plist) ? pugi::xml_node() : plist.first_child();
  return itemKeys == nullptr ? parse(top) : parseReport(top, *itemKeys);
}

boost::any readXml(const char* data, long long size, const ItemKeys* itemKeys) {
  pugi::xml_document document;
  const pugi::xml_parse_result result =
      document.load_buffer(data, static_cast<std::size_t>(size), kParseOptions, pugi::encoding_auto);
  return parseDocument(document, result, itemKeys);
}

// The same on a buffer of our own, which pugixml may parse in place instead
// of copying it first: a large report is then held once, not twice.
boost::any readXmlInPlace(char* data, long long size, const ItemKeys* itemKeys) {
  pugi::xml_document document;
  const pugi::xml_parse_result result =
      document.load_buffer_inplace(data, static_cast<std::size_t>(size), kParseOptions, pugi::encoding_auto);
  return parseDocument(document, result, itemKeys);
}

bool isElement(const pugi::xml_node& node, const char* name) { return std::strcmp(node.name(), name) == 0; }

// Calls `onElement` for each child of an array element.
template <typename OnElement>
void forEachElement(pugi::xml_node& node, OnElement onElement) {
  NestingGuard guard;
  if (hasStrayText(node)) throw Error("Plist: XML unknown node type ");
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) onElement(child);
}

// An array element, each child made a value by `valueOf`.
template <typename ValueOf>
array_type readArray(pugi::xml_node& node, ValueOf valueOf) {
  array_type array;
  std::size_t count = 0;
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) ++count;
  array.reserve(count);
  forEachElement(node, [&](pugi::xml_node& child) { array.push_back(valueOf(child)); });
  return array;
}

// A dict element: `store(dictionary, key, value node)` for each entry.
template <typename Store>
dictionary_type readDictionary(pugi::xml_node& node, Store store) {
  NestingGuard guard;
  if (hasStrayText(node)) throw Error("Plist: XML dictionary key expected but not found");
  dictionary_type dictionary;
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (!isKey(child)) throw Error("Plist: XML dictionary key expected but not found");
    std::string key = textOf(child);
    child = child.next_sibling();
    if (!child) throw Error("Plist: XML dictionary value expected for key " + key + "but not found");
    if (isKey(child))
      throw Error("Plist: XML dictionary value expected for key " + key + "but found another key node");
    store(dictionary, std::move(key), child);
  }
  return dictionary;
}

void storeParsed(dictionary_type& dictionary, std::string&& key, pugi::xml_node& value) {
  storeEntry(dictionary, std::move(key), parse(value));
}

// Everything that parse checks of a value, without building its containers
// and texts.
void check(pugi::xml_node& node) {
  if (isElement(node, "dict")) {
    readDictionary(node, [](dictionary_type&, std::string&&, pugi::xml_node& value) { check(value); });
  } else if (isElement(node, "array")) {
    forEachElement(node, check);
  } else if (!isElement(node, "string")) {
    parse(node);
  }
}

// A report's root array, its dictionaries' "_items" cut to `itemKeys`.
boost::any parseReport(pugi::xml_node& node, const ItemKeys& itemKeys) {
  const auto storeField = [&itemKeys](dictionary_type& fields, std::string&& key, pugi::xml_node& value) {
    if (std::binary_search(itemKeys.begin(), itemKeys.end(), key))
      storeParsed(fields, std::move(key), value);
    else
      check(value);
  };
  const auto item = [&storeField](pugi::xml_node& element) -> boost::any {
    return isElement(element, "dict") ? readDictionary(element, storeField) : parse(element);
  };
  const auto storeEntryOfReport = [&item](dictionary_type& report, std::string&& key, pugi::xml_node& value) {
    if (key == "_items" && isElement(value, "array"))
      storeEntry(report, std::move(key), readArray(value, item));
    else
      storeParsed(report, std::move(key), value);
  };
  if (!isElement(node, "array")) return parse(node);
  return readArray(node, [&storeEntryOfReport](pugi::xml_node& element) -> boost::any {
    return isElement(element, "dict") ? readDictionary(element, storeEntryOfReport) : parse(element);
  });
}

// The ordering of std::less<std::string> (bytes compared as unsigned), done
// inline: keys are short and usually differ in their first bytes.
bool keyLess(const std::string& left, const std::string& right) {
  const std::size_t common = std::min(left.size(), right.size());
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char a = static_cast<unsigned char>(left[i]), b = static_cast<unsigned char>(right[i]);
    if (a != b) return a < b;
  }
  return left.size() < right.size();
}

bool isBinary(const char* data, long long size) { return size >= 8 && std::memcmp(data, "bplist00", 8) == 0; }

// Reads `length` bytes; whatever a short read leaves is zeroed.
void readInto(std::istream& stream, char* buffer, long long length) {
  stream.read(buffer, static_cast<std::streamsize>(length));
  const std::streamsize got = std::max<std::streamsize>(stream.gcount(), 0);
  std::fill(buffer + got, buffer + length, '\0');
}

}  // namespace

template <>
void readPlist<boost::any>(const char* fileName, boost::any& message) {
  readPlist(fileName, message, nullptr);
}

void readPlist(const char* fileName, boost::any& message, const ItemKeys* itemKeys) {
  // Opening a folder "succeeds" on some systems and a pipe blocks: only a
  // regular file is read.
  boost::system::error_code ec;
  if (fileName == nullptr || !boost::filesystem::is_regular_file(fileName, ec)) throw Error("Can't open file.");
  std::ifstream stream(fileName, std::ios::in | std::ios::binary);
  if (!stream) throw Error("Can't open file.");
  readPlist(stream, message, itemKeys);
}

void readPlist(std::istream& stream, boost::any& message, const ItemKeys* itemKeys) {
  const std::streampos start = stream.tellg();
  stream.seekg(0, std::ios::end);
  const std::streampos end = stream.tellg();
  const long long length = (start == std::streampos(-1) || end == std::streampos(-1))
                               ? 0
                               : static_cast<long long>(end - start);
  if (length <= 0) throw Error("Can't read zero length data");
  if (length > INT32_MAX) throw Error("Plist: data larger than 2 GiB");
  stream.seekg(start);
  char signature[8] = {};
  stream.read(signature, std::min<long long>(length, 8));
  stream.clear();
  stream.seekg(start);
  boost::any result;
  if (isBinary(signature, length)) {
    // Read into the vector that becomes the reader's object table.
    std::vector<unsigned char> bytes(static_cast<std::size_t>(length));
    readInto(stream, reinterpret_cast<char*>(bytes.data()), length);
    result = readBinaryPlist(std::move(bytes), itemKeys);
  } else {
    // Not zero-filled first: only what a short read leaves is zeroed.
    const std::unique_ptr<char[]> buffer(new char[static_cast<std::size_t>(length)]);
    readInto(stream, buffer.get(), length);
    result = readXmlInPlace(buffer.get(), length, itemKeys);
  }
  message.swap(result);
}

void readPlist(const char* byteArray, long long size, boost::any& message, const ItemKeys* itemKeys) {
  if (byteArray == nullptr || size <= 0) throw Error("Plist: Empty plist data");
  boost::any result = isBinary(byteArray, size) ? readBinaryPlist(byteArray, size, itemKeys)
                                                : readXml(byteArray, size, itemKeys);
  message.swap(result);
}

boost::any parse(pugi::xml_node& node) {
  const char* name = node.name();
  const auto is = [name](const char* element) { return std::strcmp(name + 1, element + 1) == 0; };
  switch (name[0]) {  // one comparison per element instead of a chain
    case 'd':
      if (is("dict")) return parseDictionary(node);
      if (is("data")) return base64Decode(textOf(node));
      if (is("date")) return parseDate(node);
      break;
    case 'a':
      if (is("array")) return parseArray(node);
      break;
    case 's':
      if (is("string")) return std::string(textOf(node));
      break;
    case 'i':
      if (is("integer")) return static_cast<long long>(std::strtoll(textOf(node), nullptr, 10));
      break;
    case 'r':
      if (is("real")) return std::strtod(textOf(node), nullptr);
      break;
    case 'f':
      if (is("false")) return false;
      break;
    case 't':
      if (is("true")) return true;
      break;
  }
  throw Error(std::string("Plist: XML unknown node type ") + name);
}

dictionary_type parseDictionary(pugi::xml_node& node) { return readDictionary(node, storeParsed); }

void storeEntry(dictionary_type& dictionary, std::string&& key, boost::any&& value) {
  if (dictionary.empty() || keyLess(dictionary.rbegin()->first, key))
    dictionary.emplace_hint(dictionary.end(), std::move(key), std::move(value));
  else
    dictionary[key] = std::move(value);
}

array_type parseArray(pugi::xml_node& node) { return readArray(node, parse); }

Date parseDate(pugi::xml_node& node) {
  Date date;
  date.setTimeFromXMLConvention(textOf(node));
  return date;
}

}  // namespace Plist
