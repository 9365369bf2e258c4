#include "inventory/DataFileWriter.h"

#include <boost/filesystem/exception.hpp>
#include <boost/system/error_code.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr std::size_t kPendingLimit = 64 * 1024;

}  // namespace

CDataFileWriter::CDataFileWriter(const boost::filesystem::path& file)
    : file_(file), scratch_(CBaseInfoManager::kHeaderFieldSize) {
  fd_ = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd_ < 0) fail("cannot create the data file", errno);
}

CDataFileWriter::~CDataFileWriter() {
  if (fd_ >= 0) ::close(fd_);
}

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
  const int fd = fd_;
  fd_ = -1;
  // Some file systems (network ones) report a failed write only here.
  if (::close(fd) != 0) fail("cannot close the data file", errno);
}

void CDataFileWriter::flushScratch(int length) {
  pending_.append(scratch_.data(), static_cast<std::size_t>(length));
  if (pending_.size() >= kPendingLimit) writePending();
}

void CDataFileWriter::writePending() {
  std::size_t written = 0;
  while (written < pending_.size()) {
    const ssize_t n = ::write(fd_, pending_.data() + written, pending_.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("cannot write the data file", n < 0 ? errno : ENOSPC);
    written += static_cast<std::size_t>(n);
  }
  pending_.clear();
}

void CDataFileWriter::fail(const char* what, int error) {
  throw boost::filesystem::filesystem_error(what, file_,
                                            boost::system::error_code(error, boost::system::system_category()));
}
