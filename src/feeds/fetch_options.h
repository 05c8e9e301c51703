#pragma once
#include <string>

#include "core/settings.h"
#include "http/http_client.h"

namespace norvane {

// True when a request for url goes through the configured proxy: USEPROXY is on and the
// URL contains neither "localhost" nor LocalAddress (an empty LocalAddress counts as not
// contained), so the program's own pages are always fetched direct.
bool UsesProxy(const std::string& url, const Settings& settings);

// What the settings ask of a fetch of url: READTIMEOUT as the time the transfer may stay
// silent, the proxy when UsesProxy holds and PROXYSERVER is set, the program's user agent.
FetchOptions FetchOptionsFor(const std::string& url, const Settings& settings);

}  // namespace norvane
