// A small WebDAV client over libcurl: a resource check and an upload from a
// stream, below a root folder of one server. Every operation runs one
// request synchronously on the calling thread and reports by its result;
// nothing is thrown.
#pragma once

#include "webdav/options.h"

#include <curl/curl.h>

#include <istream>
#include <string>

namespace WebDAV {

// Upload progress: the user pointer given with it, then the download total
// and count and the upload total and count in bytes. A non-zero result
// aborts the transfer.
using progress_t = int (*)(void* context, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                           curl_off_t ulnow);

// What one request gave: whether the exchange with the server completed,
// and the status the server answered.
struct Reply {
  bool completed = false;  // false: no handle, refused, dropped or timed out
  long status = 0;         // the HTTP status, when completed
  int error = 0;           // libcurl's CURLcode: why it did not complete

  bool ok() const { return completed && status >= 200 && status <= 299; }
};

class Client {
 public:
  // A new client for the options (see options.h); the caller deletes it.
  static Client* Init(const dict_t& options);
  // Releases libcurl's global state once no client is left.
  static void Cleanup();

  virtual ~Client() = default;
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // PROPFIND (depth 1) on the resource; true for a status from 200 to 299.
  bool check(const std::string& remote_resource = "/") const;
  // The same PROPFIND, telling how it ended.
  Reply inspect(const std::string& remote_resource = "/") const;

  // PUT of the rest of the stream's content (from its beginning) into the
  // remote file. A stream already failed sends nothing and gives false.
  bool upload_from(const std::string& remote_file, std::istream& stream, progress_t progress = nullptr,
                   void* context = nullptr) const;

  // HEAD of the resource: 2xx when it exists, 404 when it does not.
  Reply probe(const std::string& remote_resource) const;
  // MKCOL: creates the collection; 201 when it is new. Apache answers 405
  // both when it exists and when collections may not be made there.
  Reply create_directory(const std::string& remote_directory) const;
  // DELETE of a file, or of a collection with all it holds.
  Reply clean(const std::string& remote_resource) const;
  // PUT with "If-None-Match: *": a server that honours the condition
  // answers 412 instead of replacing a file that exists. Apache tests the
  // condition before it writes, so two such PUTs at once may both succeed.
  Reply upload_new(const std::string& remote_file, std::istream& stream) const;

 protected:
  Client() = default;
};

}  // namespace WebDAV
