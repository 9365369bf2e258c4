// Fuzz target: the property-list reader on an arbitrary buffer (XML or, when
// it starts with the binary signature, binary). Only Plist::Error may leave it,
// and a read that keeps some keys of a report's items fails exactly when the
// full read does.
#include "plist/Plist.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool reads(const std::uint8_t* data, std::size_t size, const Plist::ItemKeys* itemKeys) {
  boost::any value;
  try {
    Plist::readPlist(reinterpret_cast<const char*>(data), static_cast<long long>(size), value, itemKeys);
    return true;
  } catch (const Plist::Error&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Plist::ItemKeys kItemKeys = {"_name", "version"};
  if (reads(data, size, nullptr) != reads(data, size, &kItemKeys)) std::abort();
  return 0;
}
