#include "inventory/FailedSources.h"

#include "util/utils.h"

#include <boost/filesystem/fstream.hpp>

#include <algorithm>
#include <sstream>

namespace wmi {

namespace {

const char kFailedSourcesFile[] = "failed";

// The script writes a score of short lines; anything far beyond is not its.
constexpr std::streamsize kMaxMarkerBytes = 64 * 1024;
constexpr std::size_t kMaxFailedSources = 256;
constexpr std::size_t kMaxTextBytes = 200;

std::string printable(const std::string& text) {
  std::string shown = trim(text).substr(0, kMaxTextBytes);
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return shown;
}

std::string markerText(const boost::filesystem::path& file) {
  if (!isRegularFile(file)) return std::string();
  boost::filesystem::ifstream in(file, std::ios::binary);
  std::string text(static_cast<std::size_t>(kMaxMarkerBytes), '\0');
  in.read(&text[0], kMaxMarkerBytes);
  text.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return text;
}

bool listed(const std::vector<tagFAILEDSOURCE>& failed, const std::string& name) {
  return std::any_of(failed.begin(), failed.end(), [&](const tagFAILEDSOURCE& f) { return f.strName == name; });
}

}  // namespace

std::vector<tagFAILEDSOURCE> readFailedSources(const boost::filesystem::path& folder) {
  std::vector<tagFAILEDSOURCE> failed;
  std::istringstream lines(markerText(folder / kFailedSourcesFile));
  for (std::string line; failed.size() < kMaxFailedSources && std::getline(lines, line);) {
    const std::size_t tab = line.find('\t');
    tagFAILEDSOURCE source;
    source.strName = printable(line.substr(0, tab));
    if (tab != std::string::npos) source.strReason = printable(line.substr(tab + 1));
    if (!source.strName.empty() && !listed(failed, source.strName)) failed.push_back(source);
  }
  return failed;
}

std::string describeFailure(const tagFAILEDSOURCE& failed) {
  return failed.strReason.empty() ? failed.strName : failed.strName + " (" + failed.strReason + ")";
}

std::string describeFailures(const std::vector<tagFAILEDSOURCE>& failed, const std::vector<std::string>& names) {
  std::string described;
  for (const tagFAILEDSOURCE& source : failed) {
    if (std::find(names.begin(), names.end(), source.strName) == names.end()) continue;
    described += (described.empty() ? "" : ", ") + describeFailure(source);
  }
  return described;
}

}  // namespace wmi
