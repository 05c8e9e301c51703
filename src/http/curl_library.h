#pragma once
#include <curl/curl.h>

#include <string>

namespace norvane {

// libcurl and the nineteen libraries it brings (OpenSSL, Kerberos, LDAP, SSH, RTMP, ...)
// are loaded at the first fetch, not at start: a gateway that has not fetched yet does
// not carry them (about 3 MB of resident pages). Once loaded they stay for the run.
// Only the functions the client uses are bound, each with libcurl's own type.

// Each function as libcurl names it without its "curl_" (one list for the members and
// for what the loader binds).
#define NORVANE_CURL_FUNCTIONS(X)                                                            \
  X(global_init) X(version_info) X(easy_init) X(easy_cleanup) X(easy_setopt) X(easy_getinfo) \
  X(easy_perform) X(easy_strerror) X(share_init) X(share_setopt) X(share_cleanup)            \
  X(slist_append) X(slist_free_all)

// curl_easy_setopt and curl_share_setopt are variadic: each is called with exactly the
// one value its option takes.
struct CurlLibrary {
#define NORVANE_CURL_MEMBER(name) decltype(&curl_##name) name = nullptr;
  NORVANE_CURL_FUNCTIONS(NORVANE_CURL_MEMBER)
#undef NORVANE_CURL_MEMBER
};

// The name the loader asks the dynamic linker for (the library's ABI name).
inline constexpr const char* kCurlLibraryName = NORVANE_CURL_SONAME;

// Loads `name` and binds every function of CurlLibrary. On failure (no such library, or
// one of the functions missing) gives false and says why in `error`; `into` is then
// left as it was. The handle is never closed: libcurl and OpenSSL are not made to be
// unloaded.
bool LoadCurlLibrary(const char* name, CurlLibrary& into, std::string& error);

}  // namespace norvane
