// The client's connection options: a map from key to text, a missing key
// counting as empty.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace WebDAV {

using dict_t = std::map<std::string, std::string>;

// Every key the client knows, in the order ClientImpl holds them:
// webdav_hostname  scheme, host and optional port, e.g. https://spool:8443
// webdav_root      folder on the server that holds every remote path
// webdav_login, webdav_password          basic authentication
// proxy_hostname, proxy_login, proxy_password
// cert_path, key_path                    client certificate and key (PEM)
// connect_timeout  seconds allowed for connecting (TLS handshake included)
// low_speed_limit, low_speed_time        a transfer slower than the limit
//                                        (bytes per second) for that many
//                                        seconds is aborted
// ca_file          PEM file of certificate authorities: the server's chain
//                  and host name must verify against it. Empty (the
//                  default): the certificate is not verified, since spool
//                  servers commonly run on self-signed ones
// pinned_public_key  "sha256//<base64>" (several joined by ";"): the
//                  server's public key must be one of them. Empty: no pin
const std::vector<std::string>& option_keys();

// The value of `key`, or the empty text when the key is missing.
std::string get(const dict_t& options, const std::string& key);

// Limits used when the options leave them empty: an unattended client must
// give up on a server that accepts the connection and never answers.
constexpr long default_connect_timeout = 30;
constexpr long default_low_speed_limit = 1;
constexpr long default_low_speed_time = 60;

}  // namespace WebDAV
