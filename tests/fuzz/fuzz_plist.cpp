// Fuzz target: the property-list reader on an arbitrary buffer (XML or, when
// it starts with the binary signature, binary). Only Plist::Error may leave it.
#include "plist/Plist.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  boost::any value;
  try {
    Plist::readPlist(reinterpret_cast<const char*>(data), static_cast<long long>(size), value);
  } catch (const Plist::Error&) {
  }
  return 0;
}
