#include "plist/PlistXml.h"

#include "plist/PlistBuilder.h"
#include "plist/base64.h"

#include <pugixml.hpp>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

namespace Plist {

namespace {

// pugixml's defaults, plus text kept inside its element instead of in a node
// of its own: a report's DOM then takes about half the nodes. What the reader
// sees is unchanged: textOf() and hasStrayText() give what the first child
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

Date dateOf(const pugi::xml_node& node) {
  Date date;
  date.setTimeFromXMLConvention(textOf(node));
  return date;
}

// Walks the elements of one document for the Builder.
class XmlReader {
 public:
  using Node = pugi::xml_node;

  NodeKind kind(Node node) const {
    const char* name = node.name();
    if (name[0] == 'd' && std::strcmp(name + 1, "ict") == 0) return NodeKind::Dictionary;
    if (name[0] == 'a' && std::strcmp(name + 1, "rray") == 0) return NodeKind::Array;
    return NodeKind::Other;
  }

  // Nothing of a scalar but its element's name can be wrong, so one that is
  // not kept is not read further.
  boost::any scalar(Node node, bool keep) const {
    const char* name = node.name();
    const auto is = [name](const char* element) { return std::strcmp(name + 1, element + 1) == 0; };
    switch (name[0]) {  // one comparison per element instead of a chain
      case 'd':
        if (is("data")) return keep ? boost::any(base64Decode(textOf(node))) : boost::any();
        if (is("date")) return keep ? boost::any(dateOf(node)) : boost::any();
        break;
      case 's':
        if (is("string")) return keep ? boost::any(std::string(textOf(node))) : boost::any();
        break;
      case 'i':
        if (is("integer")) return keep ? boost::any(std::strtoll(textOf(node), nullptr, 10)) : boost::any();
        break;
      case 'r':
        if (is("real")) return keep ? boost::any(std::strtod(textOf(node), nullptr)) : boost::any();
        break;
      case 'f':
        if (is("false")) return false;
        break;
      case 't':
        if (is("true")) return true;
        break;
    }
    fail(std::string("Plist: XML unknown node type ") + name, node);
  }

  template <typename OnElement>
  void elements(Node node, array_type* reserve, OnElement onElement) {
    const Nesting nesting(*this, node);
    if (hasStrayText(node)) fail("Plist: XML unknown node type ", node);
    if (reserve != nullptr) {
      std::size_t count = 0;
      for (Node child = node.first_child(); child; child = child.next_sibling()) ++count;
      reserve->reserve(count);
    }
    for (Node child = node.first_child(); child; child = child.next_sibling()) onElement(child);
  }

  template <typename OnEntry>
  void entries(Node node, OnEntry onEntry) {
    const Nesting nesting(*this, node);
    if (hasStrayText(node)) fail("Plist: XML dictionary key expected but not found", node);
    for (Node key = node.first_child(); key; key = key.next_sibling()) {
      if (!isKey(key)) fail("Plist: XML dictionary key expected but not found", key);
      const Node value = key.next_sibling();
      const char* expected = "Plist: XML dictionary value expected for key ";
      if (!value) fail(expected + std::string(textOf(key)) + "but not found", key);
      if (isKey(value)) fail(expected + std::string(textOf(key)) + "but found another key node", value);
      onEntry(key, value);
      key = value;
    }
  }

  // entries() gives key elements only.
  bool keyIsText(Node) const { return true; }
  std::string keyText(Node node) const { return textOf(node); }
  [[noreturn]] void keyIsNotText(Node node) const { fail("Plist: XML dictionary key expected but not found", node); }

 private:
  // Counts the dictionaries and arrays being read, one level each.
  class Nesting {
   public:
    Nesting(XmlReader& reader, Node node) : depth_(reader.depth_) {
      if (depth_ >= kMaxNesting) fail("Plist: XML nesting deeper than 512 levels", node);
      ++depth_;
    }
    ~Nesting() { --depth_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

   private:
    int& depth_;
  };

  [[noreturn]] static void fail(const std::string& message, Node node) { throw Error(message, node.offset_debug()); }

  int depth_ = 0;
};

boost::any readDocument(const pugi::xml_document& document, const pugi::xml_parse_result& result,
                        const ItemKeys* itemKeys) {
  if (!result) throw Error(std::string("Plist: XML parsed with error ") + result.description(), result.offset);
  const pugi::xml_node plist = document.child("plist");
  XmlReader reader;
  return Builder<XmlReader>(reader, itemKeys).build(hasStrayText(plist) ? pugi::xml_node() : plist.first_child());
}

}  // namespace

boost::any readXml(const char* data, std::size_t size, const ItemKeys* itemKeys) {
  pugi::xml_document document;
  return readDocument(document, document.load_buffer(data, size, kParseOptions, pugi::encoding_auto), itemKeys);
}

boost::any readXmlInPlace(char* data, std::size_t size, const ItemKeys* itemKeys) {
  pugi::xml_document document;
  return readDocument(document, document.load_buffer_inplace(data, size, kParseOptions, pugi::encoding_auto),
                      itemKeys);
}

}  // namespace Plist
