#include "webdav/header.h"

namespace WebDAV {

Header::Header(std::initializer_list<std::string> lines) {
  for (const std::string& line : lines) append(line);
}

Header::~Header() { curl_slist_free_all(list_); }

void Header::append(const std::string& line) {
  // On failure libcurl leaves the list as it was; the line is then missing.
  curl_slist* grown = curl_slist_append(list_, line.c_str());
  if (grown != nullptr) list_ = grown;
}

}  // namespace WebDAV
