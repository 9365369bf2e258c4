// libcurl, loaded when the first request needs it: a run that uploads
// nothing (no Config.ini) does not pay for loading libcurl and its many
// dependencies, which costs more than collecting a whole machine, and one
// release agent runs on every distribution, whatever symbol versions its
// libcurl carries (libcurl.cpp says why).
#pragma once

#include <curl/curl.h>

#include <ctime>

namespace WebDAV {

// The entry points of libcurl that the client uses.
struct CurlApi {
  CURLcode (*global_init)(long flags);
  void (*global_cleanup)();
  CURL* (*easy_init)();
  void (*easy_reset)(CURL* handle);
  void (*easy_cleanup)(CURL* handle);
  CURLcode (*easy_setopt)(CURL* handle, CURLoption option, ...);
  CURLcode (*easy_perform)(CURL* handle);
  CURLcode (*easy_getinfo)(CURL* handle, CURLINFO info, ...);
  const char* (*easy_strerror)(CURLcode error);
  char* (*easy_escape)(CURL* handle, const char* text, int length);
  void (*free)(void* pointer);
  curl_slist* (*slist_append)(curl_slist* list, const char* text);
  void (*slist_free_all)(curl_slist* list);
  time_t (*getdate)(const char* text, const time_t* unused);
};

// libcurl's entry points, loaded on the first call; null when the library
// cannot be loaded (the reason is written once to standard error), and then
// every request fails.
const CurlApi* curl();

}  // namespace WebDAV
