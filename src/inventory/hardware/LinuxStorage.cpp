// Linux disks and optical drives (lsblk pairs), mounted file systems (df)
// and the video adapter (lspci).
#include "inventory/hardware/CHWInfoManager.h"

#include "util/textscan.h"
#include "util/utils.h"

#include <boost/algorithm/string/predicate.hpp>

#include <array>

namespace {

// The literal texts around the four values of a block-device line.
const std::array<std::string, 5> kPairLiterals = {"TYPE=\"", "\" MODEL=\"", "\" SIZE=\"", "\" KNAME=\"", "\""};

using PairValues = std::array<std::string, 4>;

// Searches [begin, end) of `line` as the expression
// TYPE="(.*)" MODEL="(.*)" SIZE="(.*)" KNAME="(.*)" would: leftmost start,
// every group as long as the rest still allows. Each literal therefore sits at
// its last occurrence that leaves room for the literals after it.
bool matchPairsIn(const std::string& line, std::size_t begin, std::size_t end, PairValues& values) {
  std::array<std::size_t, 5> at{};
  std::size_t limit = end;  // the literal being placed must end by here
  for (std::size_t i = kPairLiterals.size(); i-- > 1;) {
    const std::string& literal = kPairLiterals[i];
    if (limit < begin + literal.size()) return false;
    at[i] = line.rfind(literal, limit - literal.size());
    if (at[i] == std::string::npos || at[i] < begin) return false;
    limit = at[i];
  }
  at[0] = line.find(kPairLiterals[0], begin);
  if (at[0] == std::string::npos || at[0] + kPairLiterals[0].size() > at[1]) return false;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::size_t from = at[i] + kPairLiterals[i].size();
    values[i] = line.substr(from, at[i + 1] - from);
  }
  return true;
}

// The expression's "." stops at a carriage return, so no match crosses one.
bool matchPairs(const std::string& line, PairValues& values) {
  std::size_t begin = 0;
  for (;;) {
    const std::size_t cr = line.find('\r', begin);
    const std::size_t end = cr == std::string::npos ? line.size() : cr;
    if (matchPairsIn(line, begin, end, values)) return true;
    if (cr == std::string::npos) return false;
    begin = cr + 1;
  }
}

void readBlockDevice(const std::string& line, tagWMISTRUCT& record) {
  PairValues values;  // type, model, size, kernel name
  if (!matchPairs(line, values)) return;
  if (boost::iequals(values[0], "disk")) {
    tagWMIDISKSTRUCT disk;
    disk.strModel = values[1];
    disk.llSize = wmi::leadingInteger(values[2]);  // lsblk -b: bytes, no unit suffix
    disk.dwPartitionCount = 1;
    record.vecDisk.push_back(disk);
  } else if (boost::iequals(values[0], "rom")) {
    tagCDSTRUCT drive;
    drive.strDevice = values[3];
    drive.strModel = values[1];
    record.vecCdrom.push_back(drive);
  }
}

// Columns of `df -P -T`: file system, type, size, used, available, use%, mount point.
void readFileSystem(const std::string& line, tagWMISTRUCT& record) {
  const std::vector<std::string> fields = wmi::splitAtBlanks(line);
  if (fields.size() != 7) return;
  tagWMIPATSTRUCT partition;
  partition.strName = fields[6];
  partition.llSize = wmi::leadingInteger(fields[2]);
  partition.llFreeSpace = wmi::leadingInteger(fields[4]);
  partition.dwDriveType = 3;
  record.vecPartition.push_back(partition);
}

}  // namespace

void CHWInfoManager::loadDiskInfo(tagWMISTRUCT& record) {
  wmi::forEachTerminatedLine(source("physical_disk"), [&](const std::string& line) { readBlockDevice(line, record); });
}

void CHWInfoManager::loadPartitionInfo(tagWMISTRUCT& record) {
  bool heading = true;
  wmi::forEachTerminatedLine(source("logical_disk"), [&](const std::string& line) {
    if (!heading) readFileSystem(line, record);
    heading = false;
  });
}

void CHWInfoManager::loadVgaInfo(tagWMISTRUCT& record) {
  const std::string line = wmi::singleLine(source("video"));
  if (line.size() < 8) return;
  // Start after the bus address (00:02.0), whose colons are not the separator.
  const std::size_t colon = line.find(':', 8);
  if (colon == std::string::npos) return;
  tagMONITORSTRUCT monitor;
  monitor.strName = wmi::trim(line.substr(colon + 1));
  record.vecMonitor.push_back(monitor);
}
