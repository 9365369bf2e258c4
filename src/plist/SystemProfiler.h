// Helpers for the reports that the collection script gathers on macOS with
// system_profiler and friends.
#pragma once

#include "plist/PlistValue.h"

#include <boost/filesystem/path.hpp>

namespace Plist {

// The property list in `file`; an empty value when the file is missing or
// cannot be read for whatever reason.
boost::any readReport(const boost::filesystem::path& file);
// The same, keeping only `itemKeys` of each item (sorted; see ItemKeys).
boost::any readReport(const boost::filesystem::path& file, const ItemKeys& itemKeys);

// The "_items" array of a report: the root is an array whose first element is
// a dictionary holding it. Any other shape has no elements.
Value itemList(const Value& root);

// The leading integer of a figure such as "16 GB" or "2.6 GHz", read as atoi
// reads it (so 2.6 gives 2), clamped to the range of int.
long long leadingInteger(const std::string& text);

}  // namespace Plist
