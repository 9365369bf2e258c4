#include "inventory/DataFileWriter.h"

namespace {

constexpr std::size_t kPendingLimit = 64 * 1024;

}  // namespace

CDataFileWriter::CDataFileWriter(const boost::filesystem::path& file)
    : out_(file, std::ios::binary | std::ios::trunc), scratch_(CBaseInfoManager::kHeaderFieldSize) {}

void CDataFileWriter::header(const tagHEADERSTRUCT& record) {
  int length = 0;
  CBaseInfoManager::FormatHeaderData(record, scratch_.data(), length);
  flushScratch(length);
}

void CDataFileWriter::dword(unsigned int value) {
  int length = 0;
  CBaseInfoManager::FormatDWORDData(value, scratch_.data(), length);
  flushScratch(length);
}

void CDataFileWriter::int64(long long value) {
  int length = 0;
  CBaseInfoManager::FormatInt64Data(value, scratch_.data(), length);
  flushScratch(length);
}

void CDataFileWriter::time(long long value) {
  int length = 0;
  CBaseInfoManager::FormatCTimeData(static_cast<long>(value), scratch_.data(), length);
  flushScratch(length);
}

void CDataFileWriter::text(const std::string& value) {
  int length = 0;
  CBaseInfoManager::FormatCStringData(value, scratch_.data(), length);
  flushScratch(length);
}

void CDataFileWriter::endMarker() {
  pending_.append("QZ20EOF", 7);
  writePending();
  out_.close();
}

void CDataFileWriter::flushScratch(int length) {
  pending_.append(scratch_.data(), static_cast<std::size_t>(length));
  if (pending_.size() >= kPendingLimit) writePending();
}

void CDataFileWriter::writePending() {
  out_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
  pending_.clear();
}
