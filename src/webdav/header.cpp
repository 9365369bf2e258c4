#include "webdav/header.h"

#include "webdav/libcurl.h"

namespace WebDAV {

Header::Header(std::initializer_list<std::string> lines) {
  for (const std::string& line : lines) append(line);
}

Header::~Header() {
  if (list_ != nullptr) curl()->slist_free_all(list_);
}

void Header::append(const std::string& line) {
  // On failure libcurl leaves the list as it was; the line is then missing.
  const CurlApi* api = curl();
  curl_slist* grown = api == nullptr ? nullptr : api->slist_append(list_, line.c_str());
  if (grown != nullptr) list_ = grown;
}

}  // namespace WebDAV
