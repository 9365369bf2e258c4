// The WebDAV operations the agent's delivery uses, below a root folder of
// one server. Every operation runs one request synchronously on the calling
// thread and reports by its result; nothing is thrown. The interface is
// abstract so that the delivery can also be driven by a stand-in that
// answers as a particular server does.
#pragma once

#include "webdav/options.h"

#include <string>
#include <vector>

namespace WebDAV {

// What one request gave.
struct Reply {
  bool completed = false;        // false: no handle, refused, dropped or timed out
  long status = 0;               // the HTTP status, when completed
  int error = 0;                 // libcurl's CURLcode: why it did not complete
  long long retryAfter = -1;     // seconds asked by Retry-After; -1 when not given
  long long date = -1;           // the server's clock (Date), seconds since 1970; -1 when not given
  long long contentLength = -1;  // Content-Length of the answer (a HEAD tells the file's size)
  std::string lockToken;         // Lock-Token of a granted LOCK, "<opaquelocktoken:...>"

  bool ok() const { return completed && status >= 200 && status <= 299; }
};

// How a request ended, in words: "answered 507", "no answer (Failed to
// connect to ...)".
std::string describe(const Reply& reply);

// One member of a folder, as a PROPFIND of depth 1 lists it.
struct Entry {
  std::string name;        // the last segment of the path, decoded; no "/"
  bool directory = false;  // a collection
  long long modified = -1; // getlastmodified, seconds since 1970; -1 when not given
};

struct Listing {
  Reply reply;
  std::vector<Entry> entries;  // the folder's members, without the folder itself
};

class Client {
 public:
  // A new client over libcurl for the options (see options.h); the caller
  // deletes it. All its requests share one connection where the server
  // keeps it open.
  static Client* Init(const dict_t& options);

  virtual ~Client() = default;
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // PROPFIND of depth 1: the folder's members.
  virtual Listing list(const std::string& remote_folder) = 0;
  // HEAD: 2xx when the resource exists (its size in contentLength), 404 when not.
  virtual Reply probe(const std::string& remote_resource) = 0;
  // MKCOL: 201 when the collection is new.
  virtual Reply create_directory(const std::string& remote_directory) = 0;
  // DELETE of a file, or of a collection with all it holds; with a lock
  // token, of a resource locked by it.
  virtual Reply clean(const std::string& remote_resource, const std::string& lock_token = std::string()) = 0;
  // PUT of `content` with "If-None-Match: *": a server that honours the
  // condition answers 412 rather than replace a file that exists.
  virtual Reply upload_new(const std::string& remote_file, const std::string& content) = 0;
  // LOCK, exclusive, for writing, of depth 0, held for `seconds` unless
  // released; `owner` names the holder. A LOCK of a missing resource makes it
  // (as an empty file). 423 when another holds it.
  virtual Reply lock(const std::string& remote_resource, const std::string& owner, long seconds) = 0;
  // UNLOCK of a lock this client was granted.
  virtual Reply unlock(const std::string& remote_resource, const std::string& lock_token) = 0;

 protected:
  Client() = default;
};

}  // namespace WebDAV
