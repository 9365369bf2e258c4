// The value model of property lists, shared by both readers and by the
// collectors: a tree of boost::any values, each holding exactly one of
// dictionary_type, array_type, std::string, long long, double, bool,
// Plist::Date, data_type. Dictionaries iterate in byte order of their keys.
//
// Value gives typed, never-throwing access to such a tree, in the manner of
// pugixml's empty nodes: asking a missing value, or one of another type, for
// a key, an element or a text gives an empty answer instead of a
// bad_any_cast.
#pragma once

#include "plist/PlistDate.h"

#include <boost/any.hpp>

#include <cstddef>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace Plist {

typedef std::map<std::string, boost::any> dictionary_type;
typedef std::vector<boost::any> array_type;
typedef std::vector<char> data_type;

// Malformed input of any kind. The text says what was wrong; offset() says
// where, when the reader knows it.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  Error(const std::string& what, long long offset) : std::runtime_error(what), offset_(offset) {}

  // The byte of the data where the fault was found; -1 when not known.
  long long offset() const { return offset_; }

 private:
  long long offset_ = -1;
};

// Deeper nesting of dictionaries and arrays is rejected: a corrupt or crafted
// file must not exhaust the stack of the recursive readers.
constexpr int kMaxNesting = 512;

// Refers into a tree that must outlive it.
class Value {
 public:
  Value() = default;
  Value(const boost::any& value) : value_(&value) {}  // implicit on purpose
  Value(const boost::any&& value) = delete;           // would dangle

  // The held value when it is exactly of type T, else null.
  template <typename T>
  const T* get() const {
    return value_ == nullptr ? nullptr : boost::any_cast<T>(value_);
  }

  bool isDictionary() const { return get<dictionary_type>() != nullptr; }

  // The value under `key` of a dictionary; empty for anything else.
  Value operator[](const std::string& key) const;
  // The elements of an array; none for anything else.
  const array_type& elements() const;
  Value at(std::size_t index) const;

  std::string stringOr(const std::string& fallback) const;
  long long integerOr(long long fallback) const;

 private:
  const boost::any* value_ = nullptr;
};

}  // namespace Plist
