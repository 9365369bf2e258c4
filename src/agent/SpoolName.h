// Names of the data files on the spool: "QZ-0-<nn><yyyymmddhhmmss>.dat",
// the file number and the local time stamp of the collection. The spool's
// reader relies on this pattern.
#pragma once

#include <string>

namespace wmi {

// The name of the same pattern whose time stamp lies `seconds` later on the
// calendar; empty when `name` does not follow the pattern.
std::string laterSpoolName(const std::string& name, long long seconds);

}  // namespace wmi
