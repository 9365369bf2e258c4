// The XML reader of property lists, over pugixml's DOM. Used by Plist.cpp.
#pragma once

#include "plist/Plist.h"

#include <cstddef>

namespace Plist {

// Parses `size` bytes at `data`; keeps only `itemKeys` of a report's items
// when not null.
boost::any readXml(const char* data, std::size_t size, const ItemKeys* itemKeys);

// The same in place, on bytes of the caller's that it changes: a large
// report is then held once, not twice. pugixml tells some malformed endings
// apart differently here.
boost::any readXmlInPlace(char* data, std::size_t size, const ItemKeys* itemKeys);

}  // namespace Plist
