#include "webdav/libcurl.h"

#include <dlfcn.h>

#include <iostream>

namespace WebDAV {

namespace {

// libcurl is loaded here, at run time, rather than linked: that is what lets
// one release agent (make release) run on every Linux distribution. Every
// distribution ships libcurl.so.4 with the same functions, but their builds
// version its symbols differently (Debian's and Ubuntu's as CURL_OPENSSL_4,
// or CURL_GNUTLS_3 for the GnuTLS build; RHEL's and others' with other
// versions or none), so a program linked against Debian's libcurl records
// symbol versions that RHEL's libcurl lacks, and the loader refuses to start
// it there. dlsym() takes a name without a version and finds the function in
// whichever build is installed. Loading it late also spares a run that
// uploads nothing the cost of loading libcurl and its many dependencies.
//
// The shared library under its usual names: Linux, macOS (system and Homebrew).
const char* const kLibraryNames[] = {"libcurl.so.4", "libcurl.4.dylib", "/usr/lib/libcurl.4.dylib", "libcurl.so",
                                     "libcurl.dylib"};

void* openLibrary() {
  for (const char* name : kLibraryNames)
    if (void* library = dlopen(name, RTLD_NOW | RTLD_LOCAL)) return library;
  return nullptr;
}

template <typename Function>
bool resolve(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

bool load(CurlApi& api) {
  void* library = openLibrary();
  if (library == nullptr) {
    const char* reason = dlerror();
    std::cerr << "qz-agent: cannot load libcurl: " << (reason != nullptr ? reason : "not found") << "\n";
    return false;
  }
  // The library stays loaded for the rest of the run.
  const bool complete = resolve(library, "curl_global_init", api.global_init) &&
                        resolve(library, "curl_global_cleanup", api.global_cleanup) &&
                        resolve(library, "curl_easy_init", api.easy_init) &&
                        resolve(library, "curl_easy_reset", api.easy_reset) &&
                        resolve(library, "curl_easy_cleanup", api.easy_cleanup) &&
                        resolve(library, "curl_easy_setopt", api.easy_setopt) &&
                        resolve(library, "curl_easy_perform", api.easy_perform) &&
                        resolve(library, "curl_easy_getinfo", api.easy_getinfo) &&
                        resolve(library, "curl_easy_strerror", api.easy_strerror) &&
                        resolve(library, "curl_easy_escape", api.easy_escape) &&
                        resolve(library, "curl_free", api.free) &&
                        resolve(library, "curl_slist_append", api.slist_append) &&
                        resolve(library, "curl_slist_free_all", api.slist_free_all) &&
                        resolve(library, "curl_getdate", api.getdate);
  if (!complete) std::cerr << "qz-agent: libcurl lacks an entry point the upload needs\n";
  return complete;
}

}  // namespace

const CurlApi* curl() {
  static CurlApi api;
  static const bool loaded = load(api);
  return loaded ? &api : nullptr;
}

}  // namespace WebDAV
