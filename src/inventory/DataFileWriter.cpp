#include "inventory/DataFileWriter.h"

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
  out_.write("QZ20EOF", 7);
  out_.close();
}

void CDataFileWriter::flushScratch(int length) { out_.write(scratch_.data(), length); }
