// Reads property lists, XML or binary ("bplist00"), into the value tree of
// PlistValue.h. Malformed input of any kind is reported as a Plist::Error; a
// failed read leaves the caller's value as it was.
#pragma once

#include "plist/PlistValue.h"

#include <istream>
#include <string>
#include <vector>

namespace Plist {

// The keys that a read keeps of each item of a report as system_profiler
// writes it: the dictionaries in the "_items" array of each dictionary of the
// root array. The other values of an item are read and checked all the same,
// but not kept, so that a large report is never held whole and a read fails
// exactly where a full one would. Sorted.
using ItemKeys = std::vector<std::string>;

// A regular file; anything else (missing, a folder, a pipe) fails with
// "Can't open file.". Keeps only `itemKeys` of a report's items when not null.
void readPlist(const char* fileName, boost::any& message, const ItemKeys* itemKeys = nullptr);

// The rest of the stream, from its current position.
void readPlist(std::istream& stream, boost::any& message, const ItemKeys* itemKeys = nullptr);

// XML, or binary when the data starts with "bplist00".
void readPlist(const char* byteArray, long long size, boost::any& message, const ItemKeys* itemKeys = nullptr);

}  // namespace Plist
