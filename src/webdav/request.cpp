#include "webdav/request.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>

namespace WebDAV {

namespace {

bool readable(const std::string& file) {
  if (file.empty()) return false;
  std::ifstream in(file);
  return in.is_open();
}

std::string trimmed(const std::string& text) {
  const std::string::size_type first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool equalsIgnoringCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return i == a.size() && b[i] == '\0';
}

// An HTTP date (RFC 7231) as seconds since 1970; -1 when there is none.
long long httpDate(const std::string& text) {
  if (text.empty()) return -1;
  const time_t seconds = curl()->getdate(text.c_str(), nullptr);
  return seconds < 0 ? -1 : static_cast<long long>(seconds);
}

// Retry-After gives seconds, or the date to come back at: measured then
// from the server's own clock, which the agent's may not agree with.
long long retryAfter(const std::string& text, long long serverNow) {
  if (text.empty()) return -1;
  if (text.find_first_not_of("0123456789") == std::string::npos) return std::stoll(text.substr(0, 9));
  const long long at = httpDate(text);
  if (at < 0) return -1;
  const long long now = serverNow >= 0 ? serverNow : static_cast<long long>(std::time(nullptr));
  return std::max(0LL, at - now);
}

}  // namespace

std::string describe(const Reply& reply) {
  if (reply.completed) return "answered " + std::to_string(reply.status);
  const CurlApi* api = curl();
  if (api == nullptr) return "no answer (libcurl is not loaded)";
  return std::string("no answer (") + api->easy_strerror(static_cast<CURLcode>(reply.error)) + ")";
}

Request::Request(CURL* handle, const dict_t& options) : options_(options), handle_(handle) {
  if (handle_ != nullptr) curl()->easy_reset(handle_);  // keeps the open connection
  set_verification();
  set(CURLOPT_VERBOSE, 0);
  if (cert_required()) set_certificate();
  set(CURLOPT_URL, get(options_, "webdav_hostname").c_str());
  set_credentials();
  if (proxy_enabled()) set_proxy();
  set_limits();
  set(CURLOPT_WRITEFUNCTION, &Request::receiveBody);
  set(CURLOPT_WRITEDATA, static_cast<void*>(this));
  set(CURLOPT_HEADERFUNCTION, &Request::receiveHeader);
  set(CURLOPT_HEADERDATA, static_cast<void*>(this));
}

void Request::upload(const std::string& content) {
  content_ = &content;
  sent_ = 0;
  set(CURLOPT_UPLOAD, 1L);
  set(CURLOPT_READFUNCTION, &Request::sendBody);
  set(CURLOPT_READDATA, static_cast<void*>(this));
  set(CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(content.size()));
  // libcurl sends the body again on a fresh connection when the kept one
  // turns out to have been closed by the server.
  set(CURLOPT_SEEKFUNCTION, &Request::rewindBody);
  set(CURLOPT_SEEKDATA, static_cast<void*>(this));
}

Reply Request::exchange() {
  Reply reply;
  if (handle_ == nullptr) return reply;
  reply.error = curl()->easy_perform(handle_);
  if (reply.error != CURLE_OK) return reply;
  reply.completed = true;
  curl()->easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &reply.status);
  curl_off_t length = -1;
  if (curl()->easy_getinfo(handle_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK) reply.contentLength = length;
  reply.date = httpDate(date_);
  reply.retryAfter = retryAfter(retryAfter_, reply.date);
  reply.lockToken = lockToken_;
  return reply;
}

std::size_t Request::receiveBody(char* bytes, std::size_t size, std::size_t count, void* request) {
  static_cast<Request*>(request)->body_.append(bytes, size * count);
  return size * count;
}

std::size_t Request::receiveHeader(char* bytes, std::size_t size, std::size_t count, void* request) {
  static_cast<Request*>(request)->headerLine(std::string(bytes, size * count));
  return size * count;
}

std::size_t Request::sendBody(char* buffer, std::size_t size, std::size_t count, void* request) {
  Request& self = *static_cast<Request*>(request);
  const std::size_t length = std::min(size * count, self.content_->size() - self.sent_);
  std::memcpy(buffer, self.content_->data() + self.sent_, length);
  self.sent_ += length;
  return length;
}

int Request::rewindBody(void* request, curl_off_t offset, int origin) {
  Request& self = *static_cast<Request*>(request);
  if (origin != SEEK_SET || offset < 0 || static_cast<std::size_t>(offset) > self.content_->size())
    return CURL_SEEKFUNC_CANTSEEK;
  self.sent_ = static_cast<std::size_t>(offset);
  return CURL_SEEKFUNC_OK;
}

void Request::headerLine(const std::string& line) {
  if (line.compare(0, 5, "HTTP/") == 0) {  // a new answer: forget a 100 Continue's fields
    retryAfter_.clear();
    date_.clear();
    lockToken_.clear();
    body_.clear();
    return;
  }
  const std::string::size_type colon = line.find(':');
  if (colon == std::string::npos) return;
  const std::string name = line.substr(0, colon);
  const std::string value = trimmed(line.substr(colon + 1));
  if (equalsIgnoringCase(name, "Retry-After")) retryAfter_ = value;
  else if (equalsIgnoringCase(name, "Date")) date_ = value;
  else if (equalsIgnoringCase(name, "Lock-Token")) lockToken_ = value;
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
