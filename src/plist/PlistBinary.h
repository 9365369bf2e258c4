// The binary property-list reader ("bplist00": header, object table, offset
// table and a 32-byte trailer). Used by Plist.cpp.
#pragma once

#include "plist/Plist.h"

#include <vector>

namespace Plist {

// Reads data that starts with the signature "bplist00"; the data becomes the
// reader's object table instead of being copied. Keeps only `itemKeys` of a
// report's items when not null.
boost::any readBinary(std::vector<unsigned char>&& data, const ItemKeys* itemKeys);

}  // namespace Plist
