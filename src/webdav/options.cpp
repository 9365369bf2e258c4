#include "webdav/options.h"

namespace WebDAV {

const std::vector<std::string>& option_keys() {
  static const std::vector<std::string> keys{
      "webdav_hostname", "webdav_root",    "webdav_login",    "webdav_password", "proxy_hostname",
      "proxy_login",     "proxy_password", "cert_path",       "key_path",        "connect_timeout",
      "low_speed_limit", "low_speed_time",  "ca_file",         "pinned_public_key"};
  return keys;
}

std::string get(const dict_t& options, const std::string& key) {
  const auto found = options.find(key);
  return found == options.end() ? std::string() : found->second;
}

}  // namespace WebDAV
