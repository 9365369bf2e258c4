// The client over libcurl: one easy handle for every request of a run, so
// that one connection (and one TLS handshake) serves them all where the
// server keeps it alive.
#pragma once

#include "webdav/client.h"

#include <curl/curl.h>

namespace WebDAV {

class Header;
class Request;

class ClientImpl final : public Client {
 public:
  explicit ClientImpl(const dict_t& options);
  ~ClientImpl() override;

  // Every known key with its value (empty when the options lacked it).
  const dict_t& options() const { return options_; }

  Listing list(const std::string& remote_folder) override;
  Reply probe(const std::string& remote_resource) override;
  Reply create_directory(const std::string& remote_directory) override;
  Reply clean(const std::string& remote_resource, const std::string& lock_token) override;
  Reply upload_new(const std::string& remote_file, const std::string& content) override;
  Reply lock(const std::string& remote_resource, const std::string& owner, long seconds) override;
  Reply unlock(const std::string& remote_resource, const std::string& lock_token) override;

 private:
  // hostname + the quoted path of the remote resource under the root.
  std::string address(const std::string& remote_resource) const;
  // A request of `method` on the resource, without a body.
  Reply bodiless(const char* method, const std::string& remote_resource, const Header& header);

  dict_t options_;
  CURL* handle_ = nullptr;
};

}  // namespace WebDAV
