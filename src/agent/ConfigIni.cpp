// Config.ini: lines read by position (host, port, secure flag, login,
// password and an optional sixth, how the server is verified), each
// trimmed; later lines are ignored. Its presence turns the upload on and
// sends the data files into a fresh folder in the system temporary folder.
#include "agent/CTransferCoordinator.h"

#include "util/utils.h"

#include <boost/filesystem/directory.hpp>
#include <boost/filesystem/fstream.hpp>
#include <boost/filesystem/operations.hpp>

#include <ctime>

namespace {

boost::filesystem::path configFile(const std::string& configDir) {
  return boost::filesystem::path(configDir) / "Config.ini";
}

// The next line, trimmed; empty once the file has no more lines.
std::string nextLine(std::istream& in) {
  std::string line;
  if (!std::getline(in, line)) return std::string();
  return wmi::trim(line);
}

// A run that was killed leaves its folder (and perhaps a part-written file)
// in the temporary folder; a later run removes those older than a day.
// Links are removed, never followed.
void removeLeftovers(const boost::filesystem::path& temporary) {
  namespace fs = boost::filesystem;
  const std::time_t dayAgo = std::time(nullptr) - 24 * 60 * 60;
  boost::system::error_code ec;
  for (fs::directory_iterator it(temporary, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().filename().string().compare(0, 10, "qz-transer") != 0) continue;
    boost::system::error_code ignored;
    const std::time_t modified = fs::last_write_time(it->path(), ignored);
    if (!ignored && modified < dayAgo) fs::remove_all(it->path(), ignored);
  }
}

}  // namespace

void CTransferCoordinator::loadConfigIni() {
  namespace fs = boost::filesystem;
  const fs::path file = configFile(strConfigDir);
  if (!fs::exists(file)) return;
  {
    fs::ifstream in(file);
    strHost = nextLine(in);
    strPort = nextLine(in);
    bSecure = nextLine(in) == "1";
    strLogin = nextLine(in);
    strPassword = nextLine(in);
    strVerify = nextLine(in);
  }
  const fs::path temporary = fs::temp_directory_path();
  removeLeftovers(temporary);
  const fs::path dest = temporary / fs::unique_path("qz-transer%%%%-%%%%-%%%%-%%%%");
  fs::create_directory(dest);
  fs::permissions(dest, fs::owner_all);  // the data files are for this user only
  strDestDir = dest.string();
  bOwnDestDir = true;
}

std::map<std::string, std::string> CTransferCoordinator::verifyOptions() const {
  if (strVerify.empty()) return {};
  if (strVerify.compare(0, 8, "sha256//") == 0) return {{"pinned_public_key", strVerify}};
  boost::filesystem::path authorities(strVerify);
  if (authorities.is_relative()) authorities = boost::filesystem::path(strConfigDir) / authorities;
  return {{"ca_file", authorities.string()}};
}

bool CTransferCoordinator::isDestDirRequired() const {
  boost::system::error_code ec;
  return !boost::filesystem::exists(configFile(strConfigDir), ec);
}

bool CTransferCoordinator::isValidSourceFolder() const {
  boost::system::error_code ec;
  const boost::filesystem::path source(strSrcDir);
  return boost::filesystem::exists(source, ec) && boost::filesystem::exists(source / "os", ec);
}

bool CTransferCoordinator::isValidDestFolder() const {
  boost::system::error_code ec;
  return boost::filesystem::exists(strDestDir, ec);
}
