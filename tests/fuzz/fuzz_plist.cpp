// Fuzz target: the property-list reader on an arbitrary buffer (XML or, when
// it starts with the binary signature, binary). Only Plist::Error may leave it,
// and a read that keeps some keys of a report's items fails exactly as the
// full read does: at the same place, with the same error.
#include "plist/Plist.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Empty when the read succeeds; the error and its offset otherwise.
std::string failure(const std::uint8_t* data, std::size_t size, const Plist::ItemKeys* itemKeys) {
  boost::any value;
  try {
    Plist::readPlist(reinterpret_cast<const char*>(data), static_cast<long long>(size), value, itemKeys);
    return std::string();
  } catch (const Plist::Error& error) {
    return std::string(error.what()) + " at " + std::to_string(error.offset());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Plist::ItemKeys kItemKeys = {"_name", "version"};
  if (failure(data, size, nullptr) != failure(data, size, &kItemKeys)) std::abort();
  return 0;
}
