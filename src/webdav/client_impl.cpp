#include "webdav/client_impl.h"

#include "webdav/header.h"
#include "webdav/libcurl.h"
#include "webdav/listing.h"
#include "webdav/request.h"
#include "webdav/urn.h"

namespace WebDAV {

Client* Client::Init(const dict_t& options) { return new ClientImpl(options); }

ClientImpl::ClientImpl(const dict_t& options) {
  for (const std::string& key : option_keys()) options_[key] = get(options, key);
  if (const CurlApi* api = curl()) {
    api->global_init(CURL_GLOBAL_ALL);
    handle_ = api->easy_init();
  }
}

ClientImpl::~ClientImpl() {
  if (handle_ != nullptr) curl()->easy_cleanup(handle_);
}

std::string ClientImpl::address(const std::string& remote_resource) const {
  const Urn root(get(options_, "webdav_root"), true);
  const Urn resource = root + remote_resource;
  return get(options_, "webdav_hostname") + resource.quote(handle_);
}

Reply ClientImpl::bodiless(const char* method, const std::string& remote_resource, const Header& header) {
  Request request(handle_, options_);
  const std::string url = address(remote_resource);
  request.set(CURLOPT_URL, url.c_str());
  if (std::string(method) == "HEAD")
    request.set(CURLOPT_NOBODY, 1L);
  else
    request.set(CURLOPT_CUSTOMREQUEST, method);
  if (header.handle() != nullptr) request.set(CURLOPT_HTTPHEADER, header.handle());
  return request.exchange();
}

Listing ClientImpl::list(const std::string& remote_folder) {
  Request request(handle_, options_);
  const std::string url = address(remote_folder);
  const Header header{"Accept: */*", "Depth: 1"};
  request.set(CURLOPT_CUSTOMREQUEST, "PROPFIND");
  request.set(CURLOPT_URL, url.c_str());
  request.set(CURLOPT_HTTPHEADER, header.handle());
  Listing listing;
  listing.reply = request.exchange();
  if (listing.reply.ok()) listing.entries = members(request.body(), Urn(get(options_, "webdav_root"), true).path() + remote_folder);
  return listing;
}

Reply ClientImpl::probe(const std::string& remote_resource) { return bodiless("HEAD", remote_resource, Header()); }

Reply ClientImpl::create_directory(const std::string& remote_directory) {
  return bodiless("MKCOL", remote_directory, Header());
}

Reply ClientImpl::clean(const std::string& remote_resource, const std::string& lock_token) {
  Header header;
  if (!lock_token.empty()) header.append("If: (" + lock_token + ")");
  return bodiless("DELETE", remote_resource, header);
}

Reply ClientImpl::upload_new(const std::string& remote_file, const std::string& content) {
  Request request(handle_, options_);
  const std::string url = address(remote_file);
  // No "Expect: 100-continue": a data file is small, and the wait for the
  // interim answer costs a round trip on every server that does not send it.
  const Header header{"If-None-Match: *", "Expect:"};
  request.set(CURLOPT_URL, url.c_str());
  request.set(CURLOPT_HTTPHEADER, header.handle());
  request.upload(content);
  return request.exchange();
}

Reply ClientImpl::lock(const std::string& remote_resource, const std::string& owner, long seconds) {
  Request request(handle_, options_);
  const std::string url = address(remote_resource);
  const std::string body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<D:lockinfo xmlns:D=\"DAV:\"><D:lockscope><D:exclusive/></D:lockscope>"
      "<D:locktype><D:write/></D:locktype><D:owner>" + owner + "</D:owner></D:lockinfo>\n";
  const Header header{"Depth: 0", "Timeout: Second-" + std::to_string(seconds), "Content-Type: application/xml",
                      "Expect:"};
  request.set(CURLOPT_URL, url.c_str());
  request.set(CURLOPT_HTTPHEADER, header.handle());
  request.upload(body);
  request.set(CURLOPT_CUSTOMREQUEST, "LOCK");
  return request.exchange();
}

Reply ClientImpl::unlock(const std::string& remote_resource, const std::string& lock_token) {
  const Header header{"Lock-Token: " + lock_token};
  return bodiless("UNLOCK", remote_resource, header);
}

}  // namespace WebDAV
