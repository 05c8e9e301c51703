#pragma once
#include <cstddef>
#include <stdexcept>
#include <string>

#include "core/settings.h"

namespace norvane {

// A failed request. The message is the engine's: the status line for an answer outside
// 2xx, otherwise what went wrong with the connection or the transfer.
class HttpError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct FetchResponse {
  long status = 0;
  std::string statusLine;    // e.g. "HTTP/1.1 200 OK"
  std::string lastModified;  // the Last-Modified header as received; empty when none
  std::string body;          // exactly as received, after gzip or deflate decoding
};

// Bodies above this size fail the request.
inline constexpr size_t kMaxResponseBytes = 32u * 1024 * 1024;

// True when a request for url goes through the configured proxy: USEPROXY is on and the
// URL contains neither "localhost" nor LocalAddress (an empty LocalAddress counts as not
// contained), so the program's own pages are always fetched direct.
bool UsesProxy(const std::string& url, const Settings& settings);

// One GET over HTTP/1.1 with the current settings (proxy, the user agent, READTIMEOUT as
// both the time the transfer may stay silent and the time the whole transfer may take).
// Gives up at once, and does not begin, once the program's end cancelled outstanding
// work. Sends If-Modified-Since when
// ifModifiedSince is not empty. Redirects are not followed. Only http and https.
// Throws HttpError on every failure, including any status outside 2xx.
FetchResponse HttpGet(const std::string& url, const std::string& ifModifiedSince);

}  // namespace norvane
