// macOS: display adapters from system_profiler's graphics report: its
// property-list form ("video.xml"), whose keys are the same in every system
// language, or else its text form ("video"), whose labels are English only on
// a Mac set to English.
#include "inventory/hardware/CHWInfoManager.h"

#include "plist/SystemProfiler.h"
#include "util/textscan.h"
#include "util/utils.h"

#include <boost/filesystem/fstream.hpp>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The digits from `begin` to the first non-digit as a number, saturating.
unsigned int digitsAt(const std::string& text, std::size_t begin, std::size_t& end) {
  unsigned long long number = 0;
  for (end = begin; end < text.size() && isDigit(text[end]); ++end)
    number = std::min<unsigned long long>(number * 10 + static_cast<unsigned>(text[end] - '0'), 0xFFFFFFFFull);
  return static_cast<unsigned int>(number);
}

// Matched by hand rather than with std::regex, whose recursive matcher can
// overflow the stack on a long line. Finds "(\d+) x (\d+)" as a search would.
bool findResolution(const std::string& text, unsigned int& width, unsigned int& height) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (!isDigit(text[i])) {
      ++i;
      continue;
    }
    std::size_t end;
    const unsigned int first = digitsAt(text, i, end);
    if (text.compare(end, 3, " x ") == 0 && end + 3 < text.size() && isDigit(text[end + 3])) {
      width = first;
      height = digitsAt(text, end + 3, end);
      return true;
    }
    i = end;  // a match cannot start inside this run of digits either
  }
  return false;
}

// "(\d+)-Bit Color", the leftmost occurrence preceded by a digit.
bool findColourDepth(const std::string& text, unsigned int& bits) {
  static const std::string kSuffix = "-Bit Color";
  for (std::size_t at = text.find(kSuffix); at != std::string::npos; at = text.find(kSuffix, at + 1)) {
    std::size_t begin = at;
    while (begin > 0 && isDigit(text[begin - 1])) --begin;
    if (begin == at) continue;
    std::size_t end;
    bits = digitsAt(text, begin, end);
    return true;
  }
  return false;
}

// The property list names depths after CoreGraphics' constants
// ("CGSThirtytwoBitColor"), which the text report prints as "32-Bit Color".
bool findDepthConstant(const std::string& text, unsigned int& bits) {
  static const struct {
    const char* name;
    unsigned int bits;
  } kDepths[] = {{"CGSEightBitColor", 8},   {"CGSSixteenBitColor", 16}, {"CGSTwentyfourBitColor", 24},
                 {"CGSThirtyBitColor", 30}, {"CGSThirtytwoBitColor", 32}, {"CGSSixtyfourBitColor", 64}};
  for (const auto& depth : kDepths) {
    if (text.size() != std::strlen(depth.name) ||
        !std::equal(text.begin(), text.end(), depth.name,
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(b); }))
      continue;
    bits = depth.bits;
    return true;
  }
  return findColourDepth(text, bits);
}

// The text report. Each adapter's block opens with "Chipset Model", and its
// figures are its own. An adapter that shows a display is listed once: at its
// first "Pixel Depth" (older systems) or "Framebuffer Depth" line, or, as
// Apple silicon prints neither, at the end of a block that gives a
// resolution, with 0 bits. A block without a display (the idle one of two
// GPUs) is not listed.
class DisplayReport {
 public:
  explicit DisplayReport(std::vector<tagMONITORSTRUCT>& monitors) : monitors_(monitors) {}

  void line(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return;
    const std::string key = wmi::trim(text.substr(0, colon));
    const std::string value = wmi::trim(text.substr(colon + 1));
    if (wmi::startsWith(key, "Chipset Model")) {
      end();
      pending_ = tagMONITORSTRUCT();
      pending_.strName = value;
      named_ = true;
      resolved_ = false;
    }
    if (wmi::startsWith(key, "VRAM")) pending_.dwVideoMemory = Plist::kibibytes(value);
    // An adapter driving several displays is listed with the first one's.
    if (!resolved_ && wmi::startsWith(key, "Resolution"))
      resolved_ = findResolution(value, pending_.dwHorzResolution, pending_.dwVertResolution);
    if ((wmi::startsWith(key, "Pixel Depth") || wmi::startsWith(key, "Framebuffer Depth")) &&
        findColourDepth(value, pending_.dwBitsPerPixel) && named_)
      list();
  }

  // Closes the block read last.
  void end() {
    if (named_ && resolved_) list();
  }

 private:
  void list() {
    monitors_.push_back(pending_);
    named_ = false;
  }

  std::vector<tagMONITORSTRUCT>& monitors_;
  tagMONITORSTRUCT pending_;
  bool named_ = false;     // a block is open and its adapter not yet listed
  bool resolved_ = false;  // that block gave its first display's resolution
};

void readTextReport(const boost::filesystem::path& file, std::vector<tagMONITORSTRUCT>& monitors) {
  if (!wmi::isRegularFile(file)) return;
  boost::filesystem::ifstream in(file);
  DisplayReport report(monitors);
  std::string line;
  while (std::getline(in, line)) report.line(line);
  report.end();
}

// A display's size in pixels: "_spdisplays_pixels" ("3840 x 2160"), what the
// text report calls its resolution. "_spdisplays_resolution" is the scaled
// size the desktop looks like ("1920 x 1080 @ 60.00Hz"), the text report's
// "UI Looks like"; only a report without the pixels (older systems, which
// scaled nothing) is read from it.
bool displayResolution(const Plist::Value& display, tagMONITORSTRUCT& adapter) {
  const Plist::Value pixels = display["_spdisplays_pixels"];
  const std::string text = pixels.stringOr(display["_spdisplays_resolution"].stringOr(""));
  return findResolution(text, adapter.dwHorzResolution, adapter.dwVertResolution);
}

// Each item is a GPU; those that show a display list them in
// "spdisplays_ndrvs". The same rules as the text report's: the first display's
// resolution, the first depth given (none on Apple silicon: 0 bits), the VRAM
// with its unit (Intel's integrated GPUs share theirs; Apple silicon gives
// none), and no adapter without a display.
void readXmlReport(const Plist::Value& gpus, std::vector<tagMONITORSTRUCT>& monitors) {
  for (const Plist::Value gpu : gpus.elements()) {
    tagMONITORSTRUCT adapter;
    bool resolved = false, deep = false;
    for (const Plist::Value display : gpu["spdisplays_ndrvs"].elements()) {
      if (!resolved) resolved = displayResolution(display, adapter);
      if (!deep) deep = findDepthConstant(display["spdisplays_depth"].stringOr(""), adapter.dwBitsPerPixel);
    }
    if (!resolved && !deep) continue;
    adapter.strName = gpu["sppci_model"].stringOr(gpu["_name"].stringOr(""));
    adapter.dwVideoMemory =
        Plist::kibibytes(gpu["spdisplays_vram"].stringOr(gpu["spdisplays_vram_shared"].stringOr("")));
    monitors.push_back(adapter);
  }
}

}  // namespace

void CHWInfoManager::loadVgaInfo_mac(tagWMISTRUCT& record) {
  const boost::any report = Plist::readReport(source("video.xml"));
  if (!report.empty())
    readXmlReport(Plist::itemList(report), record.vecMonitor);
  else
    readTextReport(source("video"), record.vecMonitor);
}
