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

inline std::string dict(std::initializer_list<std::pair<std::string, std::string>> entries) {
  std::string xml = "<dict>";
  for (const auto& entry : entries) xml += "<key>" + entry.first + "</key>" + entry.second;
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

// A report whose "_items" hold the given elements.
inline std::string report(const std::string& dataType, std::initializer_list<std::string> items) {
  return plist(array({dict({{"_SPCommandLineArguments", array({str("/usr/sbin/system_profiler"), str("-xml")})},
                            {"_dataType", str(dataType)},
                            {"_detailLevel", integer(-1)},
                            {"_items", array(items)},
                            {"_parentDataType", str("SPHardwareDataType")},
                            {"_properties", dict({{"_name", dict({{"_isColumn", str("NO")}})}})},
                            {"_timeStamp", "<date>2024-05-13T01:22:47Z</date>"}})}));
}

// Roots that hold no item list, whatever the collector.
inline std::vector<std::string> unusableRoots() {
  return {
      "<dict><key>_items</key><array><dict><key>_name</key><string>x</string></dict></array></dict>",
      "<array/>",
      "<array><string>_items</string></array>",
      "<array><dict><key>_items</key><dict/></dict></array>",
      "<array><dict><key>_items</key><array><dict><key>_name</key><string>x</string></dict></array>",  // cut off
  };
}

typedef std::map<std::string, std::string> Files;

// Writes `files` into a folder named `folder` and runs one collector of a
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

}  // namespace mactest
