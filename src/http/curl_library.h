#pragma once
#include <curl/curl.h>

#include <string>

namespace norvane {

// libcurl and the nineteen libraries it brings (OpenSSL, Kerberos, LDAP, SSH, RTMP, ...)
// are loaded at the first fetch, not at start: a gateway that has not fetched yet does
// not carry them (about 3 MB of resident pages). Once loaded they stay for the run.
// Only the functions the client uses are bound, each with libcurl's own type.
struct CurlLibrary {
  decltype(&curl_global_init) global_init = nullptr;
  decltype(&curl_version_info) version_info = nullptr;
  decltype(&curl_easy_init) easy_init = nullptr;
  decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
  // Variadic in libcurl: called with exactly the one value each option takes.
  decltype(&curl_easy_setopt) easy_setopt = nullptr;
  decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
  decltype(&curl_easy_perform) easy_perform = nullptr;
  decltype(&curl_easy_strerror) easy_strerror = nullptr;
  decltype(&curl_share_init) share_init = nullptr;
  decltype(&curl_share_setopt) share_setopt = nullptr;
  decltype(&curl_share_cleanup) share_cleanup = nullptr;
  decltype(&curl_slist_append) slist_append = nullptr;
  decltype(&curl_slist_free_all) slist_free_all = nullptr;
};

// The name the loader asks the dynamic linker for (the library's ABI name).
inline constexpr const char* kCurlLibraryName = NORVANE_CURL_SONAME;

// Loads `name` and binds every function of CurlLibrary. On failure (no such library, or
// one of the functions missing) gives false and says why in `error`; `into` is then
// left as it was. The handle is never closed: libcurl and OpenSSL are not made to be
// unloaded.
bool LoadCurlLibrary(const char* name, CurlLibrary& into, std::string& error);

}  // namespace norvane
