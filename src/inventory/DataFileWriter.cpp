#include "inventory/DataFileWriter.h"

#include <boost/filesystem/exception.hpp>
#include <boost/system/error_code.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr std::size_t kPendingLimit = 64 * 1024;

}  // namespace

CDataFileWriter::CDataFileWriter(const boost::filesystem::path& file) : file_(file) {
  fd_ = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd_ < 0) fail("cannot create the data file", errno);
}

CDataFileWriter::~CDataFileWriter() {
  if (fd_ >= 0) ::close(fd_);
}

void CDataFileWriter::endMarker() {
  out_.append("QZ20EOF", 7);
  writePending();
  const int fd = fd_;
  fd_ = -1;
  // Some file systems (network ones) report a failed write only here.
  if (::close(fd) != 0) fail("cannot close the data file", errno);
}

void CDataFileWriter::written() {
  if (out_.size() >= kPendingLimit) writePending();
}

void CDataFileWriter::writePending() {
  std::size_t sent = 0;
  while (sent < out_.size()) {
    const ssize_t n = ::write(fd_, out_.data() + sent, out_.size() - sent);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("cannot write the data file", n < 0 ? errno : ENOSPC);
    sent += static_cast<std::size_t>(n);
  }
  out_.clear();
}

void CDataFileWriter::fail(const char* what, int error) {
  throw boost::filesystem::filesystem_error(what, file_,
                                            boost::system::error_code(error, boost::system::system_category()));
}
