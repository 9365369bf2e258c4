#include "webdav/request.h"

#include <cstdlib>
#include <fstream>

namespace WebDAV {

namespace {

bool readable(const std::string& file) {
  if (file.empty()) return false;
  std::ifstream in(file);
  return in.is_open();
}

}  // namespace

Request::Request(dict_t&& options)
    : options_(std::move(options)), handle_(curl() != nullptr ? curl()->easy_init() : nullptr) {
  set_verification();
  set(CURLOPT_VERBOSE, 0);
  if (cert_required()) set_certificate();
  set(CURLOPT_URL, get(options_, "webdav_hostname").c_str());
  set_credentials();
  if (proxy_enabled()) set_proxy();
  set_limits();
}

Request::~Request() {
  if (handle_ != nullptr) curl()->easy_cleanup(handle_);
}

Reply Request::exchange() const {
  Reply reply;
  if (handle_ == nullptr) return reply;
  reply.error = curl()->easy_perform(handle_);
  if (reply.error != CURLE_OK) return reply;
  reply.completed = true;
  curl()->easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &reply.status);
  return reply;
}

bool Request::cert_required() const {
  return readable(get(options_, "cert_path")) && readable(get(options_, "key_path"));
}

bool Request::proxy_enabled() const {
  return !get(options_, "proxy_hostname").empty() &&
         (!get(options_, "proxy_login").empty() || get(options_, "proxy_password").empty());
}

// Spool servers commonly run on self-signed certificates: without a CA file
// the server's certificate and host name are deliberately not verified. A
// pinned key is checked either way, at the end of the TLS handshake, before
// any request (and its credentials) is sent.
void Request::set_verification() const {
  const std::string authorities = get(options_, "ca_file");
  const bool verify = !authorities.empty();
  set(CURLOPT_SSL_VERIFYHOST, verify ? 2L : 0L);
  set(CURLOPT_SSL_VERIFYPEER, verify ? 1L : 0L);
  if (verify) {
    set(CURLOPT_CAINFO, authorities.c_str());
    set(CURLOPT_CAPATH, static_cast<const char*>(nullptr));  // that file only, not the system's store
  }
  const std::string pins = get(options_, "pinned_public_key");
  if (!pins.empty()) set(CURLOPT_PINNEDPUBLICKEY, pins.c_str());
}

void Request::set_certificate() const {
  set(CURLOPT_SSLCERTTYPE, "PEM");
  set(CURLOPT_SSLKEYTYPE, "PEM");
  set(CURLOPT_SSLCERT, get(options_, "cert_path").c_str());
  set(CURLOPT_SSLKEY, get(options_, "key_path").c_str());
}

// libcurl copies every text option, so the temporaries below may go.
void Request::set_credentials() const {
  set(CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
  const std::string userpwd = get(options_, "webdav_login") + ":" + get(options_, "webdav_password");
  set(CURLOPT_USERPWD, userpwd.c_str());
}

void Request::set_proxy() const {
  set(CURLOPT_PROXY, get(options_, "proxy_hostname").c_str());
  set(CURLOPT_PROXYAUTH, CURLAUTH_BASIC);
  const std::string login = get(options_, "proxy_login");
  const std::string password = get(options_, "proxy_password");
  if (login.empty()) return;
  if (!password.empty())
    set(CURLOPT_PROXYUSERPWD, (login + ":" + password).c_str());
  else
    set(CURLOPT_PROXYUSERNAME, login.c_str());
}

void Request::set_limits() const {
  set(CURLOPT_CONNECTTIMEOUT, limit("connect_timeout", default_connect_timeout));
  set(CURLOPT_LOW_SPEED_LIMIT, limit("low_speed_limit", default_low_speed_limit));
  set(CURLOPT_LOW_SPEED_TIME, limit("low_speed_time", default_low_speed_time));
}

// A positive whole number from the options, else the fallback.
long Request::limit(const char* key, long fallback) const {
  const std::string text = get(options_, key);
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  return (text.empty() || *end != '\0' || value <= 0) ? fallback : value;
}

}  // namespace WebDAV
