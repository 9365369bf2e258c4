// Helpers for the reports that the collection script gathers on macOS with
// system_profiler and friends.
#pragma once

#include "plist/Plist.h"

#include <boost/filesystem/path.hpp>

namespace Plist {

// The property list in `file`; an empty value when the file is missing or
// cannot be read for whatever reason. A file that is there, not empty, and
// cannot be read is named on standard error, with the reader's error and the
// byte where it was found.
boost::any readReport(const boost::filesystem::path& file);
// The same, keeping only `itemKeys` of each item (sorted; see ItemKeys).
boost::any readReport(const boost::filesystem::path& file, const ItemKeys& itemKeys);

// The "_items" array of a report: the root is an array whose first element is
// a dictionary holding it. Any other shape has no elements.
Value itemList(const Value& root);

// A size as the reports print it ("16 GB", "1536 MB", "1.5 TB", "1,5 TB") in
// KiB: KB, MB, GB and TB are powers of 1024 and a fraction, after a decimal
// point or comma, counts down to the KiB.
// A text without one of these units after its figure gives 0; a size past
// 32 bits of KiB (4 TB) gives 0xFFFFFFFF.
unsigned int kibibytes(const std::string& text);

// A clock speed as the reports print it ("2.6 GHz", "3,1 GHz", "800 MHz") in
// MHz, read as sizes are.
unsigned int megahertz(const std::string& text);

}  // namespace Plist
