#include "plist/PlistValue.h"

namespace Plist {

namespace {

const array_type kNoElements;

}  // namespace

Value Value::operator[](const std::string& key) const {
  const dictionary_type* dictionary = get<dictionary_type>();
  if (dictionary == nullptr) return Value();
  const dictionary_type::const_iterator found = dictionary->find(key);
  return found == dictionary->end() ? Value() : Value(found->second);
}

const array_type& Value::elements() const {
  const array_type* array = get<array_type>();
  return array == nullptr ? kNoElements : *array;
}

Value Value::at(std::size_t index) const {
  const array_type& array = elements();
  return index < array.size() ? Value(array[index]) : Value();
}

std::string Value::stringOr(const std::string& fallback) const {
  const std::string* text = get<std::string>();
  return text == nullptr ? fallback : *text;
}

long long Value::integerOr(long long fallback) const {
  const long long* number = get<long long>();
  return number == nullptr ? fallback : *number;
}

}  // namespace Plist
