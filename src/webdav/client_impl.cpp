#include "webdav/client_impl.h"

#include "webdav/callback.h"
#include "webdav/header.h"
#include "webdav/libcurl.h"
#include "webdav/request.h"
#include "webdav/urn.h"

namespace WebDAV {

namespace {

// The stream's size from its beginning, leaving it at the beginning;
// -1 (libcurl's "unknown") when it cannot be measured.
curl_off_t measure(std::istream& stream) {
  stream.seekg(0, std::ios::end);
  const std::streamoff size = stream.tellg();
  stream.seekg(0, std::ios::beg);
  return size < 0 ? -1 : static_cast<curl_off_t>(size);
}

}  // namespace

ClientImpl::ClientImpl(const dict_t& options) {
  for (const std::string& key : option_keys()) options_[key] = get(options, key);
  if (const CurlApi* api = curl()) api->global_init(CURL_GLOBAL_ALL);
}

std::string ClientImpl::address(const Request& request, const std::string& remote_resource) const {
  const Urn root(get(options_, "webdav_root"), true);
  const Urn resource = root + remote_resource;
  return get(options_, "webdav_hostname") + resource.quote(request.handle());
}

Reply ClientImpl::sync_check(const std::string& remote_resource) const {
  Request request(options());
  const std::string url = address(request, remote_resource);
  const Header header{"Accept: */*", "Depth: 1"};
  Callback::Append::Data body;
  request.set(CURLOPT_CUSTOMREQUEST, "PROPFIND");
  request.set(CURLOPT_URL, url.c_str());
  request.set(CURLOPT_HTTPHEADER, header.handle());
  request.set(CURLOPT_WRITEDATA, static_cast<void*>(&body));
  request.set(CURLOPT_WRITEFUNCTION, &Callback::Append::buffer);
  return request.exchange();
}

bool ClientImpl::sync_upload_from(const std::string& remote_file, std::istream& stream, const callback_t& callback,
                                  progress_t progress, void* context) const {
  const bool result = sync_put(remote_file, stream, Header(), progress, context).ok();
  if (callback) callback(result);
  return result;
}

Reply ClientImpl::sync_put(const std::string& remote_file, std::istream& stream, const Header& header,
                           progress_t progress, void* context) const {
  if (!stream) return Reply();
  Request request(options());
  const std::string url = address(request, remote_file);
  const curl_off_t size = measure(stream);
  Callback::Append::Data body;
  request.set(CURLOPT_UPLOAD, 1L);
  request.set(CURLOPT_URL, url.c_str());
  if (header.handle() != nullptr) request.set(CURLOPT_HTTPHEADER, header.handle());
  request.set(CURLOPT_READDATA, static_cast<void*>(&stream));
  request.set(CURLOPT_READFUNCTION, &Callback::Read::stream);
  request.set(CURLOPT_INFILESIZE_LARGE, size);
  request.set(CURLOPT_BUFFERSIZE, 1000000L);
  request.set(CURLOPT_WRITEDATA, static_cast<void*>(&body));
  request.set(CURLOPT_WRITEFUNCTION, &Callback::Append::buffer);
  if (progress != nullptr) {
    request.set(CURLOPT_XFERINFOFUNCTION, progress);
    request.set(CURLOPT_XFERINFODATA, context);
    request.set(CURLOPT_NOPROGRESS, 0L);
  }
  return request.exchange();
}

Reply ClientImpl::sync_bodiless(const std::string& method, const std::string& remote_resource) const {
  Request request(options());
  const std::string url = address(request, remote_resource);
  Callback::Append::Data body;
  request.set(CURLOPT_URL, url.c_str());
  if (method == "HEAD")
    request.set(CURLOPT_NOBODY, 1L);
  else
    request.set(CURLOPT_CUSTOMREQUEST, method.c_str());
  request.set(CURLOPT_WRITEDATA, static_cast<void*>(&body));
  request.set(CURLOPT_WRITEFUNCTION, &Callback::Append::buffer);
  return request.exchange();
}

}  // namespace WebDAV
