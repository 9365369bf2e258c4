#include "util/CLinuxVersionParser.h"

CLinuxVersionParser::CLinuxVersionParser() = default;
CLinuxVersionParser::~CLinuxVersionParser() = default;

void CLinuxVersionParser::parse(const boost::filesystem::path& /*file*/) {
  strDistribution.clear();
  strRelease.clear();
}

std::string CLinuxVersionParser::extractVersion(const std::string& /*text*/) { return std::string(); }
