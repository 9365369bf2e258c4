#include "webdav/urn.h"

#include "webdav/libcurl.h"

namespace WebDAV {

const std::string Urn::separate = "/";

std::string escape(CURL* handle, const std::string& text) {
  const CurlApi* api = curl();
  char* escaped = api == nullptr ? nullptr : api->easy_escape(handle, text.c_str(), static_cast<int>(text.size()));
  if (escaped == nullptr) return std::string();
  std::string result(escaped);
  api->free(escaped);
  return result;
}

std::vector<std::string> split(const std::string& text, const std::string& delimiters) {
  std::vector<std::string> parts;
  std::string::size_type start = text.find_first_not_of(delimiters);
  while (start != std::string::npos) {
    const std::string::size_type end = text.find_first_of(delimiters, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    start = text.find_first_not_of(delimiters, end);
  }
  return parts;
}

Urn::Urn(std::string path, bool directory) : path_(std::move(path)) {
  if (path_.empty()) path_ = separate;
  if (path_.compare(0, separate.size(), separate) != 0) path_ = separate + path_;
  if (directory && !is_directory()) path_ += separate;
  const std::string doubled = separate + separate;
  for (std::string::size_type at = path_.find(doubled); at != std::string::npos; at = path_.find(doubled, at))
    path_.replace(at, doubled.size(), separate);
}

Urn Urn::operator+(const std::string& resource) const {
  if (!is_directory()) return *this;
  return Urn(path_ + resource, false);
}

std::string Urn::quote(CURL* handle) const {
  if (is_root()) return path_;
  std::string quoted;
  for (const std::string& segment : split(path_, separate)) quoted += separate + escape(handle, segment);
  if (is_directory()) quoted += separate;
  return quoted;
}

}  // namespace WebDAV
