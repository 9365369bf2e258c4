#include "support/TestFiles.h"

#include <boost/filesystem/fstream.hpp>
#include <boost/filesystem/operations.hpp>

#include <cstdio>
#include <ctime>
#include <iterator>
#include <stdexcept>
#include <sys/wait.h>

namespace qztest {

namespace fs = boost::filesystem;

ScratchDir::ScratchDir() : path_(fs::temp_directory_path() / fs::unique_path("qz-test-%%%%-%%%%-%%%%")) {
  fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  boost::system::error_code ignored;
  fs::remove_all(path_, ignored);
}

fs::path ScratchDir::write(const std::string& name, const std::string& content) const {
  const fs::path file = path_ / name;
  fs::create_directories(file.parent_path());
  fs::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
  return file;
}

std::string readFile(const fs::path& file) {
  fs::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

long long mktimeOf(int year, int month, int day, int hour, int minute, int second) {
  std::tm broken{};
  broken.tm_year = year - 1900;
  broken.tm_mon = month - 1;
  broken.tm_mday = day;
  broken.tm_hour = hour;
  broken.tm_min = minute;
  broken.tm_sec = second;
  broken.tm_isdst = -1;
  return static_cast<long long>(std::mktime(&broken));
}

const char kCollectionMessages[] =
    "start\n"
    "実行開始...\n"
    "UPDATE_PROGRESS\n"
    "ハードウェア情報読込み中...\n"
    "ハードウェア情報作成完了\n"
    "ソフトウェア情報読込み中...\n"
    "ソフトウェア情報作成完了\n";

CommandResult runIn(const fs::path& directory, const std::string& command) {
  const std::string full = "cd '" + directory.string() + "' && " + command;
  CommandResult result;
  FILE* pipe = popen(full.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace qztest
