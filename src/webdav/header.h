// A list of request header lines in the form libcurl takes them.
#pragma once

#include <curl/curl.h>

#include <initializer_list>
#include <string>

namespace WebDAV {

class Header {
 public:
  Header() = default;
  Header(std::initializer_list<std::string> lines);
  ~Header();
  Header(const Header&) = delete;
  Header& operator=(const Header&) = delete;

  void append(const std::string& line);
  // The list to hand to CURLOPT_HTTPHEADER; null while empty.
  curl_slist* handle() const { return list_; }

 private:
  curl_slist* list_ = nullptr;
};

}  // namespace WebDAV
