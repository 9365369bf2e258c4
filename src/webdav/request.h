// One configured libcurl easy handle for one transfer: authentication,
// proxy, client certificate and time-outs come from the client's options.
#pragma once

#include "webdav/client.h"
#include "webdav/libcurl.h"
#include "webdav/options.h"

#include <curl/curl.h>

#include <type_traits>

namespace WebDAV {

class Request {
 public:
  explicit Request(dict_t&& options);
  ~Request();
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  // Sets one option; false when there is no handle or libcurl refuses it.
  template <typename T>
  bool set(CURLoption option, T value) const {
    if (handle_ == nullptr) return false;
    return curl()->easy_setopt(handle_, option, vararg(value)) == CURLE_OK;
  }

  // Runs the transfer; true when it completed with a status from 200 to 299.
  bool perform() const { return exchange().ok(); }
  // Runs the transfer and tells how it ended.
  Reply exchange() const;

  // True when both the certificate and the key file can be read.
  bool cert_required() const;
  // True when a proxy is named and its login, if any, is usable: a proxy
  // password without a login disables the proxy.
  bool proxy_enabled() const;

  CURL* handle() const { return handle_; }

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

  void set_verification() const;
  void set_certificate() const;
  void set_credentials() const;
  void set_proxy() const;
  void set_limits() const;
  long limit(const char* key, long fallback) const;

  dict_t options_;
  CURL* handle_;
};

}  // namespace WebDAV
