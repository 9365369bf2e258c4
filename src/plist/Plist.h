// Property lists read into a tree of boost::any values. A value holds exactly
// one of: dictionary_type, array_type, std::string, long long, double, bool,
// Plist::Date, data_type. Dictionaries iterate in byte order of their keys.
// Malformed input of any kind is reported as a Plist::Error.
#pragma once

#include "plist/PlistDate.h"

#include <boost/any.hpp>

#include <istream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace pugi {
class xml_node;
}

namespace Plist {

typedef std::map<std::string, boost::any> dictionary_type;
typedef std::vector<boost::any> array_type;
typedef std::vector<char> data_type;

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Deeper nesting of dictionaries and arrays is rejected: a corrupt or crafted
// file must not exhaust the stack of the recursive readers.
constexpr int kMaxNesting = 512;

// Reads a regular file; anything else (missing, a folder, a pipe) fails with
// "Can't open file.". In every entry point a failed read leaves `message` as
// it was.
template <typename T>
void readPlist(const char* fileName, T& message);
template <>
void readPlist<boost::any>(const char* fileName, boost::any& message);

// The keys that a read keeps of each item of a report as system_profiler
// writes it: the dictionaries in the "_items" array of each dictionary of the
// root array. The other values of an item are checked as a full read checks
// them, but not kept, so that a large report is never held whole and a read
// fails exactly where a full one would. Sorted.
using ItemKeys = std::vector<std::string>;

// The same, keeping only `itemKeys` of the items when not null.
void readPlist(const char* fileName, boost::any& message, const ItemKeys* itemKeys);

// The rest of the stream, from its current position.
void readPlist(std::istream& stream, boost::any& message, const ItemKeys* itemKeys = nullptr);

// XML, or binary when the data starts with "bplist00".
void readPlist(const char* byteArray, long long size, boost::any& message, const ItemKeys* itemKeys = nullptr);

// Stores a value under its key, as both readers do: writers usually give the
// keys in order, so a key after the last one is appended without a search;
// otherwise it is inserted, a repeated key replacing the earlier value.
void storeEntry(dictionary_type& dictionary, std::string&& key, boost::any&& value);

// The XML reader over pugixml's DOM; one element each.
boost::any parse(pugi::xml_node& node);
dictionary_type parseDictionary(pugi::xml_node& node);
array_type parseArray(pugi::xml_node& node);
Date parseDate(pugi::xml_node& node);

}  // namespace Plist
