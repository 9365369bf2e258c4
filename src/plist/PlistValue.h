// Typed, never-throwing access to a value tree, in the manner of pugixml's
// empty nodes: asking a missing value, or one of another type, for a key, an
// element or a text gives an empty answer instead of a bad_any_cast.
#pragma once

#include "plist/Plist.h"

#include <cstddef>
#include <string>

namespace Plist {

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
