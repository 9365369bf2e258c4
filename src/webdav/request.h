// One request on the client's easy handle: the handle is reset, then
// configured from the client's options (authentication, proxy, client
// certificate, verification, time-outs); the caller adds the method, the
// address and what the method needs, and runs it.
#pragma once

#include "webdav/client.h"
#include "webdav/libcurl.h"
#include "webdav/options.h"

#include <curl/curl.h>

#include <string>
#include <type_traits>

namespace WebDAV {

class Request {
 public:
  // `handle` may be null (libcurl could not be loaded): every request then fails.
  Request(CURL* handle, const dict_t& options);
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  // Sets one option; false when there is no handle or libcurl refuses it.
  template <typename T>
  bool set(CURLoption option, T value) const {
    if (handle_ == nullptr) return false;
    return curl()->easy_setopt(handle_, option, vararg(value)) == CURLE_OK;
  }

  // Sends `content` as the request body (PUT).
  void upload(const std::string& content);
  // Runs the transfer and tells how it ended.
  Reply exchange();
  // The body of the answer, once exchanged.
  const std::string& body() const { return body_; }

  // True when both the certificate and the key file can be read.
  bool cert_required() const;
  // True when a proxy is named and its login, if any, is usable: a proxy
  // password without a login disables the proxy.
  bool proxy_enabled() const;

 private:
  // libcurl reads integer options as long (the *_LARGE ones as curl_off_t,
  // which callers pass as such): narrower integers are widened here.
  template <typename T>
  static auto vararg(T value) {
    if constexpr (std::is_integral<T>::value && sizeof(T) < sizeof(long))
      return static_cast<long>(value);
    else
      return value;
  }

  static std::size_t receiveBody(char* bytes, std::size_t size, std::size_t count, void* request);
  static std::size_t receiveHeader(char* bytes, std::size_t size, std::size_t count, void* request);
  static std::size_t sendBody(char* buffer, std::size_t size, std::size_t count, void* request);
  static int rewindBody(void* request, curl_off_t offset, int origin);
  void headerLine(const std::string& line);

  void set_verification() const;
  void set_certificate() const;
  void set_credentials() const;
  void set_proxy() const;
  void set_limits() const;
  long limit(const char* key, long fallback) const;

  const dict_t& options_;
  CURL* handle_;
  std::string body_;
  const std::string* content_ = nullptr;
  std::size_t sent_ = 0;
  // What the answer's header gave (of the final answer, not of a 100 Continue).
  std::string retryAfter_, date_, lockToken_;
};

}  // namespace WebDAV
