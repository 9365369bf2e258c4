// Config.ini: lines read by position (host, port, secure flag, login,
// password and an optional sixth, how the server is verified), each
// trimmed; later lines are ignored. Its presence turns the upload on and
// sends the data files into a fresh folder in the system temporary folder.
#include "agent/CTransferCoordinator.h"

#include "util/utils.h"

#include <boost/filesystem/fstream.hpp>
#include <boost/filesystem/operations.hpp>

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
  const fs::path dest = fs::temp_directory_path() / fs::unique_path("qz-transer%%%%-%%%%-%%%%-%%%%");
  fs::create_directories(dest);
  strDestDir = dest.string();
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
