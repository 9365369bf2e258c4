// Reports laid out as `system_profiler -xml` prints them, and a way to run
// one Mac collector over a folder of such files.
#pragma once

#include "inventory/hardware/WmiStruct.h"
#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>

#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace mactest {

inline std::string str(const std::string& text) { return "<string>" + text + "</string>"; }
inline std::string integer(long long number) { return "<integer>" + std::to_string(number) + "</integer>"; }

// Entries with an empty value are left out.
inline std::string dict(std::initializer_list<std::pair<std::string, std::string>> entries) {
  std::string xml = "<dict>";
  for (const auto& entry : entries)
    if (!entry.second.empty()) xml += "<key>" + entry.first + "</key>" + entry.second;
  return xml + "</dict>";
}

inline std::string array(std::initializer_list<std::string> elements) {
  std::string xml = "<array>";
  for (const std::string& element : elements) xml += element;
  return xml + "</array>";
}

inline std::string plist(const std::string& root) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n" + root + "\n</plist>\n";
}

// A report of one data type whose "_items" hold the given elements.
inline std::string report(std::initializer_list<std::string> items) {
  return plist(array({dict({{"_dataType", str("SPHardwareDataType")}, {"_detailLevel", integer(-1)},
                            {"_items", array(items)}, {"_properties", dict({})},
                            {"_timeStamp", "<date>2024-05-13T01:22:47Z</date>"}})}));
}

typedef std::map<std::string, std::string> Files;

// Writes `files` into a folder named `folder`, then runs one collector of a
// manager made on it.
template <typename Manager, typename Result>
Result collect(void (Manager::*collector)(Result&), const Files& files, const std::string& folder = "result") {
  qztest::ScratchDir dir;
  boost::filesystem::create_directories(dir.path() / folder);
  for (const auto& file : files) dir.write(folder + "/" + file.first, file.second);
  tagWMISTRUCT record;
  Manager manager((dir.path() / folder).string(), dir.path().string(), record);
  Result result{};
  (manager.*collector)(result);
  return result;
}

// Reports that hold no item list: every collector takes nothing from them.
inline std::vector<std::string> unusableReports() {
  const std::string item = dict({{"_name", str("x")}, {"platform_UUID", str("x")}, {"_items", array({dict({})})}});
  return {plist(dict({{"_items", array({item})}})),
          plist("<array/>"),
          report({}),
          plist(array({str("_items"), dict({{"_items", array({item})}})})),
          plist(array({dict({{"_items", dict({{"x", item}})}})})),
          plist(array({dict({{"_items", array({item})}})})).substr(0, 300),  // cut off
          "bplist00" + std::string(40, '\0'),
          ""};
}

}  // namespace mactest
