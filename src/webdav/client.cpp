#include "webdav/client.h"

#include "webdav/client_impl.h"
#include "webdav/header.h"
#include "webdav/libcurl.h"

namespace WebDAV {

Client* Client::Init(const dict_t& options) { return new ClientImpl(options); }

void Client::Cleanup() {
  if (const CurlApi* api = curl()) api->global_cleanup();
}

// Init makes every Client a ClientImpl.
bool Client::check(const std::string& remote_resource) const { return inspect(remote_resource).ok(); }

Reply Client::inspect(const std::string& remote_resource) const {
  return static_cast<const ClientImpl*>(this)->sync_check(remote_resource);
}

bool Client::upload_from(const std::string& remote_file, std::istream& stream, progress_t progress,
                         void* context) const {
  return static_cast<const ClientImpl*>(this)->sync_upload_from(remote_file, stream, nullptr, progress, context);
}

Reply Client::probe(const std::string& remote_resource) const {
  return static_cast<const ClientImpl*>(this)->sync_bodiless("HEAD", remote_resource);
}

Reply Client::create_directory(const std::string& remote_directory) const {
  return static_cast<const ClientImpl*>(this)->sync_bodiless("MKCOL", remote_directory);
}

Reply Client::clean(const std::string& remote_resource) const {
  return static_cast<const ClientImpl*>(this)->sync_bodiless("DELETE", remote_resource);
}

Reply Client::upload_new(const std::string& remote_file, std::istream& stream) const {
  const Header condition{"If-None-Match: *"};
  return static_cast<const ClientImpl*>(this)->sync_put(remote_file, stream, condition, nullptr, nullptr);
}

}  // namespace WebDAV
