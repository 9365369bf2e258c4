// The client's state: its options, and the operations built on them.
#pragma once

#include "webdav/client.h"

#include <functional>

namespace WebDAV {

class Header;
class Request;

using callback_t = std::function<void(bool)>;

class ClientImpl final : public Client {
 public:
  explicit ClientImpl(const dict_t& options);

  // Every known key with its value (empty when the options lacked it).
  dict_t options() const { return options_; }

  Reply sync_check(const std::string& remote_resource) const;
  bool sync_upload_from(const std::string& remote_file, std::istream& stream, const callback_t& callback,
                        progress_t progress, void* context) const;
  // One request of `method` without a body (HEAD when the method is HEAD).
  Reply sync_bodiless(const std::string& method, const std::string& remote_resource) const;
  // A PUT of the stream, with the extra header lines given.
  Reply sync_put(const std::string& remote_file, std::istream& stream, const Header& header, progress_t progress,
                 void* context) const;

 private:
  // hostname + the quoted path of the remote resource under the root.
  std::string address(const Request& request, const std::string& remote_resource) const;

  dict_t options_;
};

}  // namespace WebDAV
