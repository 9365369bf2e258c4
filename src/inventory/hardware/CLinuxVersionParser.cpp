#include "inventory/hardware/CLinuxVersionParser.h"

#include "util/textscan.h"
#include "util/utils.h"

#include <boost/filesystem/fstream.hpp>

#include <vector>

namespace {

enum DistributionKind {
  kUnknown,
  kUbuntu,
  kDebian,
  kFedora,
  kRedHat,
  kOracle,
  kArch,
  kTurbo,
  kSuse,
  kMandriva,
  kVine,
  kGentoo,
};

struct FamilyKeyword {
  const char* keyword;
  DistributionKind kind;
};

// Order matters: Ubuntu's files also say Debian, and Oracle's also say Red Hat.
const FamilyKeyword kFamilyKeywords[] = {
    {"Ubuntu", kUbuntu}, {"Debian", kDebian}, {"Fedora", kFedora},  {"Oracle", kOracle},
    {"Red Hat", kRedHat}, {"CentOS", kRedHat}, {"Arch", kArch},      {"Turbo", kTurbo},
    {"SUSE", kSuse},     {"Mandriva", kMandriva}, {"Vine", kVine},   {"Gentoo", kGentoo},
};

// Every line of the file, the last one even without a line feed.
std::vector<std::string> readLines(const boost::filesystem::path& file) {
  std::vector<std::string> lines;
  if (!wmi::isRegularFile(file)) return lines;
  boost::filesystem::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

DistributionKind classify(const std::vector<std::string>& lines) {
  for (const std::string& line : lines)
    for (const FamilyKeyword& family : kFamilyKeywords)
      if (wmi::contains(line, family.keyword)) return family.kind;
  return kUnknown;
}

// Length of `DISTRIB_DESCRIPTION="`: the value starts there and loses its closing quote.
constexpr std::size_t kDescriptionStart = 21;

}  // namespace

CLinuxVersionParser::CLinuxVersionParser() = default;
CLinuxVersionParser::~CLinuxVersionParser() = default;

void CLinuxVersionParser::parse(const boost::filesystem::path& file) {
  strDistribution.clear();
  strRelease.clear();
  const std::vector<std::string> lines = readLines(file);
  const std::string first = lines.empty() ? std::string() : lines.front();
  switch (classify(lines)) {
    case kUbuntu:
      for (const std::string& line : lines) {
        if (!wmi::contains(line, "DISTRIB_DESCRIPTION")) {
          strDistribution = "Ubuntu";
          strRelease.clear();
        } else {
          strDistribution = line.size() > kDescriptionStart
                                ? line.substr(kDescriptionStart, line.size() - kDescriptionStart - 1)
                                : "Ubuntu";
          strRelease = extractVersion(line);
        }
      }
      break;
    case kDebian:
      strDistribution = "Debian " + first;
      strRelease = first;
      break;
    case kSuse:
      for (const std::string& line : lines) {
        if (wmi::contains(line, "SUSE")) strDistribution = line;
        if (wmi::contains(line, "VERSION")) {
          const std::size_t equals = line.find('=');
          strRelease = equals == std::string::npos ? line : line.substr(equals + 1);
        }
      }
      break;
    case kMandriva:
      strDistribution = first;
      strRelease = first;
      break;
    default:
      strDistribution = first;
      strRelease = extractVersion(first);
      break;
  }
}

std::string CLinuxVersionParser::extractVersion(const std::string& text) {
  std::string joined;
  for (const std::string& piece : wmi::splitAtBlanks(text)) {
    std::string numeric;
    for (const char c : piece)
      if (c == '.' || (c >= '0' && c <= '9')) numeric.push_back(c);
    if (numeric.empty()) continue;
    if (!joined.empty()) joined.push_back(' ');
    joined += numeric;
  }
  return joined;
}
