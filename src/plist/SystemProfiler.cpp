#include "plist/SystemProfiler.h"

#include <boost/filesystem/operations.hpp>
#include <boost/system/error_code.hpp>

#include <algorithm>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <iostream>
#include <string>

namespace Plist {

namespace {

struct Unit {
  const char* name;
  unsigned long long factor;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The leading figure of `text` ("2.6", blanks before it allowed) times the
// factor of the unit that follows it, saturated to 32 bits; 0 without a
// figure or a known unit. Macs set to a language that writes a decimal comma
// print "3,1 GHz"; the reports group no thousands, so a comma is a decimal
// comma.
unsigned int scaledFigure(const std::string& text, std::initializer_list<Unit> units) {
  constexpr unsigned long long kMax = 0xFFFFFFFFull;
  std::size_t i = text.find_first_not_of(" \t");
  if (i == std::string::npos || !isDigit(text[i])) return 0;
  // Whole part capped just past 32 bits, so times any factor it stays in 64.
  unsigned long long whole = 0;
  for (; i < text.size() && isDigit(text[i]); ++i)
    whole = std::min(whole * 10 + static_cast<unsigned>(text[i] - '0'), kMax + 1);
  unsigned long long fraction = 0, denominator = 1;
  if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
    for (++i; i < text.size() && isDigit(text[i]); ++i) {
      if (denominator < 1000000) {  // finer digits change no KiB or MHz
        fraction = fraction * 10 + static_cast<unsigned>(text[i] - '0');
        denominator *= 10;
      }
    }
  }
  while (i < text.size() && text[i] == ' ') ++i;
  for (const Unit& unit : units) {
    if (text.compare(i, std::strlen(unit.name), unit.name) != 0) continue;
    return static_cast<unsigned int>(std::min(whole * unit.factor + fraction * unit.factor / denominator, kMax));
  }
  return 0;
}

// A report that is there but cannot be read is named on standard error with
// the reader's complaint; a missing or empty one is not: the collection
// script names a source that failed, and one with nothing to say is no fault.
void reportLost(const boost::filesystem::path& file, const std::exception& error) {
  boost::system::error_code ec;
  if (!boost::filesystem::exists(file, ec) ||
      (boost::filesystem::is_regular_file(file, ec) && boost::filesystem::file_size(file, ec) == 0))
    return;
  std::string line = "qz-agent: a report could not be read, so left out of the data files: " +
                     file.filename().string() + " (" + error.what();
  const Error* plistError = dynamic_cast<const Error*>(&error);
  if (plistError != nullptr && plistError->offset() >= 0) line += ", at byte " + std::to_string(plistError->offset());
  std::cerr << line + ")\n";
}

}  // namespace

boost::any readReport(const boost::filesystem::path& file) { return readReport(file, ItemKeys()); }

boost::any readReport(const boost::filesystem::path& file, const ItemKeys& itemKeys) {
  boost::any report;
  try {
    readPlist(file.string().c_str(), report, itemKeys.empty() ? nullptr : &itemKeys);
  } catch (const std::exception& error) {
    // Missing, malformed, truncated or too large for memory: the report is
    // unusable and its collector takes nothing from it (a failed read leaves
    // the value empty).
    reportLost(file, error);
  }
  return report;
}

Value itemList(const Value& root) { return root.at(0)["_items"]; }

unsigned int kibibytes(const std::string& text) {
  return scaledFigure(text, {{"KB", 1}, {"MB", 1ull << 10}, {"GB", 1ull << 20}, {"TB", 1ull << 30}});
}

unsigned int megahertz(const std::string& text) { return scaledFigure(text, {{"MHz", 1}, {"GHz", 1000}}); }

}  // namespace Plist
