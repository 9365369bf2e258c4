// The value tree that both readers build as they walk their format: the
// whole tree, or, for a report, only the wanted keys of each item
// (ItemKeys). A value that is not kept is walked and checked all the same,
// by the same code, so a filtered read fails exactly where a full one does.
// Used by PlistXml.cpp and PlistBinary.cpp only.
#pragma once

#include "plist/Plist.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>

namespace Plist {

enum class NodeKind { Array, Dictionary, Other };

// Builds the value of the root node of a `Reader`, which walks one format:
//   using Node = ...;                       a value in the data
//   NodeKind kind(Node)                     what it is; the first check of every value
//   boost::any scalar(Node, bool keep)      a value that is no container, checked
//                                           whole and built only when kept
//   void elements(Node, array_type* reserve, F onElement)
//                                           onElement(Node) for each element of an
//                                           array, the space reserved when not null
//   void entries(Node, F onEntry)           onEntry(Node key, Node value) for each
//                                           entry of a dictionary
//   bool keyIsText(Node)                    whether a key is a text, which
//   std::string keyText(Node)               then reads; otherwise keyIsNotText(Node)
//                                           reports it once the key is checked
template <typename Reader>
class Builder {
 public:
  using Node = typename Reader::Node;

  Builder(Reader& reader, const ItemKeys* itemKeys) : reader_(reader), itemKeys_(itemKeys) {}

  boost::any build(Node root) { return value(root, itemKeys_ == nullptr ? Scope::Whole : Scope::Root); }

 private:
  // Where a value stands in what the read keeps.
  enum class Scope : unsigned char {
    Whole,    // built with everything below it
    Checked,  // walked and checked, nothing built
    Root,     // the root of a filtered read: an array of reports
    Report,   // a dictionary of that array
    Items,    // its "_items" array
    Item,     // a dictionary of that array: only the wanted keys are kept
  };

  static Scope elementScope(Scope array) {
    switch (array) {
      case Scope::Root: return Scope::Report;
      case Scope::Items: return Scope::Item;
      case Scope::Checked: return Scope::Checked;
      default: return Scope::Whole;
    }
  }

  Scope entryScope(Scope dictionary, const std::string& key) const {
    switch (dictionary) {
      case Scope::Report: return key == "_items" ? Scope::Items : Scope::Whole;
      case Scope::Item:
        return std::binary_search(itemKeys_->begin(), itemKeys_->end(), key) ? Scope::Whole : Scope::Checked;
      case Scope::Checked: return Scope::Checked;
      default: return Scope::Whole;
    }
  }

  boost::any value(Node node, Scope scope) {
    switch (reader_.kind(node)) {
      case NodeKind::Array: return array(node, scope);
      case NodeKind::Dictionary: return dictionary(node, scope);
      default: return reader_.scalar(node, scope != Scope::Checked);
    }
  }

  boost::any array(Node node, Scope scope) {
    const Scope inner = elementScope(scope);
    if (scope == Scope::Checked) {
      reader_.elements(node, nullptr, [&](Node element) { value(element, inner); });
      return boost::any();
    }
    array_type array;
    reader_.elements(node, &array, [&](Node element) { array.push_back(value(element, inner)); });
    return array;
  }

  boost::any dictionary(Node node, Scope scope) {
    dictionary_type dictionary;
    reader_.entries(node, [&](Node keyNode, Node valueNode) {
      if (!reader_.keyIsText(keyNode)) {
        value(keyNode, Scope::Checked);
        reader_.keyIsNotText(keyNode);
      }
      std::string key = reader_.keyText(keyNode);
      const Scope inner = entryScope(scope, key);
      boost::any entry = value(valueNode, inner);
      if (inner != Scope::Checked) store(dictionary, std::move(key), std::move(entry));
    });
    return scope == Scope::Checked ? boost::any() : boost::any(std::move(dictionary));
  }

  // Writers usually give the keys in order, so a key after the last one is
  // appended without a search; otherwise it is inserted, a repeated key
  // replacing the earlier value.
  static void store(dictionary_type& dictionary, std::string&& key, boost::any&& value) {
    if (dictionary.empty() || keyLess(dictionary.rbegin()->first, key))
      dictionary.emplace_hint(dictionary.end(), std::move(key), std::move(value));
    else
      dictionary[key] = std::move(value);
  }

  // The ordering of std::less<std::string> (bytes compared as unsigned), done
  // inline: keys are short and usually differ in their first bytes.
  static bool keyLess(const std::string& left, const std::string& right) {
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i) {
      const unsigned char a = static_cast<unsigned char>(left[i]), b = static_cast<unsigned char>(right[i]);
      if (a != b) return a < b;
    }
    return left.size() < right.size();
  }

  Reader& reader_;
  const ItemKeys* itemKeys_;
};

}  // namespace Plist
