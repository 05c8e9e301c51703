#pragma once
#include <chrono>
#include <cstddef>
#include <ctime>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "http/user_agent.h"

namespace norvane {

// How a fetch ended.
enum class FetchKind {
  Ok,                // an answer in 2xx
  NotModified,       // 304: nothing new since If-Modified-Since
  Status,            // any other answer outside 2xx; status holds its code
  Timeout,           // silent longer than the read time-out, or longer in all
  Cancelled,         // the program is ending, or the user stopped the wait (CancelScope)
  TooLarge,          // the body passed FetchOptions::maxBytes
  Transport,         // no answer: name lookup, connection, protocol
  NotAllowedScheme,  // neither http nor https, also where a redirect pointed
  TooManyRedirects,  // more than kMaxRedirects hops
};

// How many redirects (301, 302, 303, 307, 308) one fetch follows.
inline constexpr long kMaxRedirects = 5;

struct FetchResponse {
  FetchKind kind = FetchKind::Ok;
  // What went wrong, as a person reads it (the error feed shows it): the status line for
  // an answer outside 2xx, else the engine's account. Empty when kind is Ok.
  std::string error;
  long status = 0;
  std::string statusLine;    // e.g. "HTTP/1.1 200 OK"
  std::string lastModified;  // the Last-Modified header as received; empty when none
  std::string contentType;   // the Content-Type header as received; empty when none
  std::string etag;          // the ETag header as received; empty when none
  // When to ask again, as the server put it; kept on answers outside 2xx too (a 503 or a
  // 429 is where Retry-After comes). Empty when none.
  std::string retryAfter;    // the Retry-After header: seconds or an HTTP date
  std::string cacheControl;  // every Cache-Control header, joined with ", "
  // Where the answer came from: the URL asked for, or where its redirects ended.
  std::string url;
  long redirects = 0;  // hops followed
  // Every hop followed was 301 or 308: the feed has moved for good to url.
  bool movedPermanently = false;
  std::string body;          // exactly as received, after gzip or deflate decoding
};

// A failed fetch raised as an error: its kind, its status (0 without an answer) and
// its human message.
class HttpError : public std::runtime_error {
 public:
  explicit HttpError(const FetchResponse& failed)
      : std::runtime_error(failed.error), kind_(failed.kind), status_(failed.status) {}
  FetchKind kind() const { return kind_; }
  long status() const { return status_; }

 private:
  FetchKind kind_;
  long status_;
};

// Bodies above this size fail the request.
inline constexpr size_t kMaxResponseBytes = 32u * 1024 * 1024;

// What a fetch is told by its caller; the client reads no settings of its own.
struct FetchOptions {
  // How long the transfer may stay silent; zero or less: 45 seconds.
  std::chrono::milliseconds readTimeout{45000};
  std::string proxy;  // an HTTP proxy's host; empty: direct
  long proxyPort = 0;
  std::string userAgent = kUserAgent;
  // The largest body taken (bounded by kMaxResponseBytes); more fails as TooLarge.
  size_t maxBytes = kMaxResponseBytes;
};

// One GET over HTTP/1.1. Sends If-Modified-Since when ifModifiedSince is not empty, and
// If-None-Match when ifNoneMatch is not empty. Redirects are followed up to kMaxRedirects
// hops, each only to http or https; the validators are sent again on every hop, so the
// server the feed moved to can answer 304. Only http and https. The read time-out bounds both how
// long the transfer may stay silent and how long the whole transfer may take. Gives up
// at once, and does not begin, once WorkCancelled() (the program's end, or the calling
// thread's CancelScope); within about a second, as the engine reports progress. Every
// failure, a status outside 2xx included, comes back as the response's kind and error;
// nothing is thrown.
FetchResponse HttpGet(const std::string& url, const std::string& ifModifiedSince,
                      const FetchOptions& options, const std::string& ifNoneMatch = {});

}  // namespace norvane
