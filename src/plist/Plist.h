// Property lists (XML and binary) read into a tree of boost::any values:
// dictionary std::map<std::string, boost::any>, array std::vector<boost::any>,
// std::string, long long, double, bool, Plist::Date, std::vector<char>.
#pragma once

#include "plist/PlistDate.h"

#include <boost/any.hpp>

#include <istream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace Plist {

typedef std::map<std::string, boost::any> dictionary_type;
typedef std::vector<boost::any> array_type;
typedef std::vector<char> data_type;

// Every malformed input is reported with this exception.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

template <typename T>
void readPlist(const char* fileName, T& message);
template <>
void readPlist<boost::any>(const char* fileName, boost::any& message);

void readPlist(std::istream& stream, boost::any& message);
void readPlist(const char* byteArray, long long size, boost::any& message);

}  // namespace Plist
