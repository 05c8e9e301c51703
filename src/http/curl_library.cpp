#include "http/curl_library.h"

#include <dlfcn.h>

namespace norvane {

namespace {

template <typename Fn>
bool Bind(void* handle, const char* symbol, Fn& into, std::string& error) {
  void* found = dlsym(handle, symbol);
  if (!found) {
    error = std::string("the fetch library has no ") + symbol;
    return false;
  }
  into = reinterpret_cast<Fn>(found);
  return true;
}

}  // namespace

bool LoadCurlLibrary(const char* name, CurlLibrary& into, std::string& error) {
  // RTLD_LOCAL: its symbols stay out of the way of the program's own.
  void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    error = std::string("cannot load the fetch library ") + name + ": " + (why ? why : "unknown");
    return false;
  }
  CurlLibrary lib;
  const bool bound = Bind(handle, "curl_global_init", lib.global_init, error) &&
                     Bind(handle, "curl_version_info", lib.version_info, error) &&
                     Bind(handle, "curl_easy_init", lib.easy_init, error) &&
                     Bind(handle, "curl_easy_cleanup", lib.easy_cleanup, error) &&
                     Bind(handle, "curl_easy_setopt", lib.easy_setopt, error) &&
                     Bind(handle, "curl_easy_getinfo", lib.easy_getinfo, error) &&
                     Bind(handle, "curl_easy_perform", lib.easy_perform, error) &&
                     Bind(handle, "curl_easy_strerror", lib.easy_strerror, error) &&
                     Bind(handle, "curl_share_init", lib.share_init, error) &&
                     Bind(handle, "curl_share_setopt", lib.share_setopt, error) &&
                     Bind(handle, "curl_share_cleanup", lib.share_cleanup, error) &&
                     Bind(handle, "curl_slist_append", lib.slist_append, error) &&
                     Bind(handle, "curl_slist_free_all", lib.slist_free_all, error);
  if (!bound) {
    error += std::string(" (") + name + ")";
    dlclose(handle);  // nothing of it ran yet
    return false;
  }
  into = lib;
  return true;
}

}  // namespace norvane
