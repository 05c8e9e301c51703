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
#define NORVANE_CURL_BIND(name) &&Bind(handle, "curl_" #name, lib.name, error)
  const bool bound = true NORVANE_CURL_FUNCTIONS(NORVANE_CURL_BIND);
#undef NORVANE_CURL_BIND
  if (!bound) {
    error += std::string(" (") + name + ")";
    dlclose(handle);  // nothing of it ran yet
    return false;
  }
  into = lib;
  return true;
}

}  // namespace norvane
