#include "feeds/fetch_options.h"

namespace norvane {

bool UsesProxy(const std::string& url, const Settings& settings) {
  if (!settings.USEPROXY) return false;
  if (url.find("localhost") != std::string::npos) return false;
  if (!settings.LocalAddress.empty() && url.find(settings.LocalAddress) != std::string::npos)
    return false;
  return true;
}

FetchOptions FetchOptionsFor(const std::string& url, const Settings& settings) {
  FetchOptions options;
  options.readTimeout = std::chrono::milliseconds(settings.READTIMEOUT);
  if (UsesProxy(url, settings) && !settings.PROXYSERVER.empty()) {
    options.proxy = settings.PROXYSERVER;
    options.proxyPort = settings.PROXYPORT;
  }
  return options;
}

}  // namespace norvane
