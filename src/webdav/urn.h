// Remote resource names: a normalised path under the server's root, and its
// percent-encoded form for a request address.
#pragma once

#include <curl/curl.h>

#include <string>
#include <vector>

namespace WebDAV {

// Percent-encodes every byte except ASCII letters, digits and "-._~".
std::string escape(CURL* handle, const std::string& text);

// The maximal runs of characters that are not delimiters, in order.
std::vector<std::string> split(const std::string& text, const std::string& delimiters);

class Urn {
 public:
  static const std::string separate;

  // Normalises: never empty, starts with "/", no "//", and a directory ends
  // with "/".
  Urn(std::string path, bool directory = false);

  const std::string& path() const { return path_; }
  bool is_root() const { return path_ == separate; }
  bool is_directory() const { return path_.back() == separate.back(); }

  // The resource inside this directory; a file name ignores the resource.
  Urn operator+(const std::string& resource) const;

  // The path with each segment percent-encoded.
  std::string quote(CURL* handle) const;

 private:
  std::string path_;
};

}  // namespace WebDAV
