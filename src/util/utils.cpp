#include "util/utils.h"

#include <boost/filesystem/operations.hpp>
#include <boost/filesystem/fstream.hpp>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace wmi {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr std::size_t kMapLineLimit = 511;

// Reads one line into `line`, keeping at most kMapLineLimit bytes and skipping
// the remainder of a longer line. Returns false when nothing was read.
bool readMapLine(std::istream& in, std::string& line) {
  line.clear();
  char c;
  bool any = false;
  while (in.get(c)) {
    any = true;
    if (c == '\n') return true;
    if (line.size() < kMapLineLimit) line.push_back(c);
  }
  return any;
}

}  // namespace

std::map<std::string, std::string> parseMap(const boost::filesystem::path& file) {
  std::map<std::string, std::string> pairs;
  if (!isRegularFile(file)) return pairs;
  boost::filesystem::ifstream in(file);
  std::string line;
  while (readMapLine(in, line)) {
    // The line ends at its first NUL, as a C string would.
    const std::size_t nul = line.find('\0');
    if (nul != std::string::npos) line.resize(nul);
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    pairs[trim(line.substr(0, colon))] = trim(line.substr(colon + 1));
  }
  return pairs;
}

std::string singleLine(const boost::filesystem::path& file) {
  if (!isRegularFile(file)) return std::string();
  boost::filesystem::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return trim(line);
}

std::string trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::string format(const char* fmt, ...) {
  char buffer[512];
  va_list args;
  va_start(args, fmt);
  const int written = std::vsnprintf(buffer, sizeof buffer, fmt, args);
  va_end(args);
  if (written < 0) return std::string();
  return std::string(buffer);
}

std::string currentTime(const std::string& fmt) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return std::string();
  char buffer[80];
  const std::size_t length = std::strftime(buffer, sizeof buffer, fmt.c_str(), &local);
  return std::string(buffer, length);
}

void forEachTerminatedLine(const boost::filesystem::path& file,
                           const std::function<void(const std::string&)>& onLine) {
  if (!isRegularFile(file)) return;
  boost::filesystem::ifstream in(file);
  std::string line;
  while (std::getline(in, line) && !in.eof()) onLine(line);
}

std::string fileContents(const boost::filesystem::path& file) {
  if (!isRegularFile(file)) return std::string();
  boost::system::error_code ec;
  const boost::uintmax_t size = boost::filesystem::file_size(file, ec);
  boost::filesystem::ifstream in(file, std::ios::binary);
  if (ec || !in) return std::string();
  std::string contents(static_cast<std::size_t>(size), '\0');
  in.read(&contents[0], static_cast<std::streamsize>(size));
  contents.resize(static_cast<std::size_t>(in.gcount()));
  return contents;
}

std::vector<std::string> splitAtBlanks(const std::string& text) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t blank = text.find(' ', start);
    if (blank == std::string::npos) {
      fields.push_back(text.substr(start));
      return fields;
    }
    fields.push_back(text.substr(start, blank - start));
    start = blank + 1;
  }
}

bool isRegularFile(const boost::filesystem::path& path) {
  boost::system::error_code ec;
  return boost::filesystem::is_regular_file(path, ec);
}

bool entryExists(const boost::filesystem::path& path) {
  boost::system::error_code ec;
  const boost::filesystem::file_status status = boost::filesystem::status(path, ec);
  if (ec) return false;
  return boost::filesystem::exists(status);
}

}  // namespace wmi
