#include "webdav/listing.h"

#include "webdav/libcurl.h"

#include <pugixml.hpp>

#include <cctype>
#include <cstring>

namespace WebDAV {

namespace {

// The element's name without its namespace prefix.
const char* localName(const pugi::xml_node& node) {
  const char* name = node.name();
  const char* colon = std::strrchr(name, ':');
  return colon == nullptr ? name : colon + 1;
}

// The first descendant with the local name, or an empty node.
pugi::xml_node descendant(const pugi::xml_node& node, const char* name) {
  for (const pugi::xml_node& child : node.children()) {
    if (std::strcmp(localName(child), name) == 0) return child;
    if (const pugi::xml_node found = descendant(child, name)) return found;
  }
  return pugi::xml_node();
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string percentDecoded(const std::string& text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int high = i + 2 < text.size() && text[i] == '%' ? hexValue(text[i + 1]) : -1;
    const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
    if (low >= 0) {
      decoded += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

// The path of an href that may be a whole address.
std::string pathOf(const std::string& href) {
  const std::string::size_type scheme = href.find("://");
  if (scheme == std::string::npos) return href;
  const std::string::size_type path = href.find('/', scheme + 3);
  return path == std::string::npos ? "/" : href.substr(path);
}

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

long long modifiedOf(const pugi::xml_node& response) {
  const std::string text = descendant(response, "getlastmodified").text().get();
  const CurlApi* api = curl();
  if (text.empty() || api == nullptr) return -1;
  const time_t seconds = api->getdate(text.c_str(), nullptr);
  return seconds < 0 ? -1 : static_cast<long long>(seconds);
}

}  // namespace

std::vector<Entry> members(const std::string& body, const std::string& folder_path) {
  pugi::xml_document document;
  if (!document.load_buffer(body.data(), body.size())) return {};
  const std::string folder = withoutTrailingSlashes(folder_path);
  std::vector<Entry> entries;
  for (const pugi::xml_node& response : descendant(document, "multistatus").children()) {
    if (std::strcmp(localName(response), "response") != 0) continue;
    const std::string path = withoutTrailingSlashes(percentDecoded(pathOf(descendant(response, "href").text().get())));
    if (path == folder || path.empty()) continue;
    Entry entry;
    entry.name = path.substr(path.rfind('/') + 1);
    entry.directory = static_cast<bool>(descendant(descendant(response, "resourcetype"), "collection"));
    entry.modified = modifiedOf(response);
    entries.push_back(entry);
  }
  return entries;
}

}  // namespace WebDAV
