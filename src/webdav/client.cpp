#include "webdav/client.h"

#include "webdav/client_impl.h"
#include "webdav/libcurl.h"

namespace WebDAV {

Client* Client::Init(const dict_t& options) { return new ClientImpl(options); }

void Client::Cleanup() {
  if (const CurlApi* api = curl()) api->global_cleanup();
}

// Init makes every Client a ClientImpl.
bool Client::check(const std::string& remote_resource) const {
  return static_cast<const ClientImpl*>(this)->sync_check(remote_resource);
}

bool Client::upload_from(const std::string& remote_file, std::istream& stream, progress_t progress,
                         void* context) const {
  return static_cast<const ClientImpl*>(this)->sync_upload_from(remote_file, stream, nullptr, progress, context);
}

}  // namespace WebDAV
