#include "plist/SystemProfiler.h"

#include <boost/filesystem/operations.hpp>

#include <climits>
#include <cstdlib>

namespace Plist {

boost::any readReport(const boost::filesystem::path& file) { return readReport(file, ItemKeys()); }

boost::any readReport(const boost::filesystem::path& file, const ItemKeys& itemKeys) {
  boost::any report;
  try {
    readPlist(file.string().c_str(), report, itemKeys.empty() ? nullptr : &itemKeys);
  } catch (const std::exception&) {
    // Missing, malformed, truncated or too large for memory: the report is
    // unusable and its collector takes nothing from it (a failed read leaves
    // the value empty).
  }
  return report;
}

Value itemList(const Value& root) { return root.at(0)["_items"]; }

long long leadingInteger(const std::string& text) {
  const long number = std::strtol(text.c_str(), nullptr, 10);
  if (number > INT_MAX) return INT_MAX;
  if (number < INT_MIN) return INT_MIN;
  return number;
}

}  // namespace Plist
