#include "inventory/CBaseInfoManager.h"

#include "inventory/FailedSources.h"
#include "util/utils.h"

#include <boost/filesystem/exception.hpp>
#include <boost/filesystem/fstream.hpp>
#include <boost/filesystem/operations.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <algorithm>

CBaseInfoManager::CBaseInfoManager(const std::string& srcDir, const std::string& destDir,
                                   tagWMISTRUCT* record)
    : pWmiStruct(record), strSrcDir(srcDir), strDestDir(destDir) {}

CBaseInfoManager::~CBaseInfoManager() = default;

void CBaseInfoManager::start() {
  namespace fs = boost::filesystem;
  load();
  strWithheld = wmi::describeFailures(wmi::readFailedSources(strSrcDir), vecEssentialSources);
  if (!strWithheld.empty()) return;
  // Named like the run's folder, so that a later run removes it when this
  // run is killed before it could.
  const fs::path temporary = fs::temp_directory_path() / fs::unique_path("qz-transer-%%%%-%%%%-%%%%-%%%%.part");
  try {
    encodeInfo(temporary);
    strOutFile = (fs::path(strDestDir) / targetFileName()).string();
    encrypt(temporary, strOutFile);
  } catch (...) {
    boost::system::error_code ignored;
    fs::remove(temporary, ignored);  // never leave a temporary file behind
    throw;
  }
}

namespace {

[[noreturn]] void copyFailed(const boost::filesystem::path& from, const boost::filesystem::path& to, int error) {
  throw boost::filesystem::filesystem_error("cannot copy the data file", from, to,
                                            boost::system::error_code(error, boost::system::system_category()));
}

// Copies `from` into a new file `to`; an existing `to` is an error. Unlike
// boost::filesystem::copy it does not force the copy to disk: a data file
// lives only until it is uploaded, and the flush cost more than the rest of
// a run.
void copyToNewFile(const boost::filesystem::path& from, const boost::filesystem::path& to) {
  boost::filesystem::ifstream in(from, std::ios::binary);
  if (!in) copyFailed(from, to, ENOENT);
  in.seekg(0, std::ios::end);
  const std::streamoff size = std::max<std::streamoff>(in.tellg(), 0);
  in.seekg(0);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  in.read(&bytes[0], size);
  if (in.gcount() != size) copyFailed(from, to, EIO);
  const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) copyFailed(from, to, errno);
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = errno;
      ::close(fd);
      boost::system::error_code ignored;
      boost::filesystem::remove(to, ignored);
      copyFailed(from, to, error);
    }
    written += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) {
    const int error = errno;
    boost::system::error_code ignored;
    boost::filesystem::remove(to, ignored);
    copyFailed(from, to, error);
  }
}

}  // namespace

bool CBaseInfoManager::encrypt(const boost::filesystem::path& from, const boost::filesystem::path& to) {
  copyToNewFile(from, to);
  boost::filesystem::remove(from);
  return true;
}

std::string CBaseInfoManager::targetFileName() {
  return wmi::format("QZ-%d-%02d%s.dat", 0, qzFileNumber(), wmi::currentTime("%Y%m%d%H%M%S").c_str());
}

void CBaseInfoManager::SetVersion(const std::string& version) { strVersion = version; }

std::string CBaseInfoManager::OutFileName() const { return strOutFile; }

boost::filesystem::path CBaseInfoManager::source(const char* name) const {
  return boost::filesystem::path(strSrcDir) / name;
}

const tagWMIINFOSTRUCT& CBaseInfoManager::systemRecord() const {
  static const tagWMIINFOSTRUCT empty;
  return pWmiStruct->vecInfo.empty() ? empty : pWmiStruct->vecInfo.front();
}

void CBaseInfoManager::fillHeader(unsigned int formatVersion, unsigned int kindCode) {
  const tagWMIINFOSTRUCT& system = systemRecord();
  header.strMagic = "QZ20";
  header.dwFormatVersion = formatVersion;
  header.dwReserved = 0;
  header.strComputerName = system.strComputerName;
  header.dwFileNumber = static_cast<unsigned int>(qzFileNumber());
  header.strAgentVersion = strVersion;
  header.dwKindCode = kindCode;
  header.dwExtCode = 1;
  header.strUUID = system.strUUID;
}
