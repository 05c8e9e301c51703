#include "http/http_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/cancellation.h"
#include "core/header_value.h"
#include "http/curl_library.h"

namespace norvane {

namespace {

using Clock = std::chrono::steady_clock;

// libcurl, loaded at the first fetch, and one share object for the DNS cache.
// curl_global_init runs once, before any thread creates a handle. Connections are not
// shared: libcurl's shared connection cache is not safe for transfers running on several
// threads at once (a connection in use on one thread is read and changed from another),
// and the fetch workers are exactly that.
class CurlGlobal {
 public:
  CurlGlobal() {
    if (!LoadCurlLibrary(kCurlLibraryName, lib_, error_)) return;
    loaded_ = true;
    lib_.global_init(CURL_GLOBAL_DEFAULT);
    share_ = lib_.share_init();
    if (share_) {
      lib_.share_setopt(share_, CURLSHOPT_LOCKFUNC, &CurlGlobal::Lock);
      lib_.share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CurlGlobal::Unlock);
      lib_.share_setopt(share_, CURLSHOPT_USERDATA, this);
      lib_.share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    }
  }
  ~CurlGlobal() {
    if (share_) lib_.share_cleanup(share_);
  }
  CurlGlobal(const CurlGlobal&) = delete;
  CurlGlobal& operator=(const CurlGlobal&) = delete;

  // Null when libcurl could not be loaded; error() then says why.
  const CurlLibrary* lib() const { return loaded_ ? &lib_ : nullptr; }
  const std::string& error() const { return error_; }
  CURLSH* share() const { return share_; }

 private:
  std::mutex& MutexFor(curl_lock_data data) {
    size_t i = static_cast<size_t>(data);
    return locks_[i < locks_.size() ? i : 0];
  }
  static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<CurlGlobal*>(self)->MutexFor(data).lock();
  }
  static void Unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<CurlGlobal*>(self)->MutexFor(data).unlock();
  }

  CurlLibrary lib_;
  bool loaded_ = false;
  std::string error_;
  CURLSH* share_ = nullptr;
  std::array<std::mutex, CURL_LOCK_DATA_LAST + 1> locks_;
};

CurlGlobal& Global() {
  static CurlGlobal global;
  return global;
}

// Only reached once the library is loaded (HttpGet checks first).
const CurlLibrary& Curl() { return *Global().lib(); }

struct EasyDeleter {
  void operator()(CURL* c) const { Curl().easy_cleanup(c); }
};
struct SlistDeleter {
  void operator()(curl_slist* l) const { Curl().slist_free_all(l); }
};
using CurlEasy = std::unique_ptr<CURL, EasyDeleter>;
using CurlSlist = std::unique_ptr<curl_slist, SlistDeleter>;

// What one transfer collects through the callbacks.
struct Transfer {
  FetchResponse response;
  bool tooLarge = false;
  size_t maxBytes = kMaxResponseBytes;
  bool timedOut = false;   // silent for longer than readTimeout
  bool overDeadline = false;  // the whole transfer took longer than readTimeout
  bool cancelled = false;  // the program is ending
  std::chrono::milliseconds readTimeout{0};
  Clock::time_point deadline;
  Clock::time_point lastActivity = Clock::now();
  curl_off_t seenDown = 0;
  curl_off_t seenUp = 0;
  std::string location;  // the Location of the latest response, for a refused redirect
  CURL* easy = nullptr;
  std::vector<std::string> redirectedFrom;  // the address of every redirect answer so far
  std::string loopsAt;                     // the first address that redirected twice
  bool onlyPermanentHops = true;           // no redirect so far but 301 and 308
};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char a = text[i], b = prefix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  size_t n = size * count;
  t->lastActivity = Clock::now();
  if (t->response.body.size() + n > t->maxBytes) {
    t->tooLarge = true;
    return 0;  // aborts the transfer
  }
  t->response.body.append(data, n);
  return n;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  size_t n = size * count;
  t->lastActivity = Clock::now();
  std::string_view line(data, n);
  if (StartsWithNoCase(line, "HTTP/")) {
    // A new response begins (a proxy's CONNECT answer comes before the real one).
    // Each hop of a redirect is such a response too: only the last one's headers count.
    t->response.statusLine = std::string(Trim(line));
    // A redirect answered twice from one address goes round in a circle.
    const size_t space = line.find(' ');
    if (space != std::string_view::npos && line.substr(space + 1, 1) == "3" && t->easy) {
      const std::string_view code = line.substr(space + 1, 3);
      if (code != "301" && code != "308") t->onlyPermanentHops = false;
      char* url = nullptr;
      if (Curl().easy_getinfo(t->easy, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url) {
        if (t->loopsAt.empty() &&
            std::find(t->redirectedFrom.begin(), t->redirectedFrom.end(), url) != t->redirectedFrom.end())
          t->loopsAt = url;
        t->redirectedFrom.emplace_back(url);
      }
    }
    t->response.lastModified.clear();
    t->response.contentType.clear();
    t->response.etag.clear();
    t->response.retryAfter.clear();
    t->response.cacheControl.clear();
    t->location.clear();
  } else if (StartsWithNoCase(line, "Last-Modified:")) {
    t->response.lastModified = std::string(Trim(line.substr(14)));
  } else if (StartsWithNoCase(line, "Content-Type:")) {
    t->response.contentType = std::string(Trim(line.substr(13)));
  } else if (StartsWithNoCase(line, "ETag:")) {
    t->response.etag = std::string(Trim(line.substr(5)));
  } else if (StartsWithNoCase(line, "Retry-After:")) {
    t->response.retryAfter = std::string(Trim(line.substr(12)));
  } else if (StartsWithNoCase(line, "Cache-Control:")) {
    std::string_view value = Trim(line.substr(14));
    if (!t->response.cacheControl.empty() && !value.empty()) t->response.cacheControl += ", ";
    t->response.cacheControl += value;
  } else if (StartsWithNoCase(line, "Location:")) {
    t->location = std::string(Trim(line.substr(9)));
  }
  return n;
}

int OnProgress(void* user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
  auto* t = static_cast<Transfer*>(user);
  Clock::time_point now = Clock::now();
  if (dlnow != t->seenDown || ulnow != t->seenUp) {
    t->seenDown = dlnow;
    t->seenUp = ulnow;
    t->lastActivity = now;
  }
  if (WorkCancelled()) {
    t->cancelled = true;
    return 1;
  }
  if (now >= t->deadline) {
    t->overDeadline = true;
    return 1;
  }
  if (now - t->lastActivity > t->readTimeout) {
    t->timedOut = true;
    return 1;
  }
  return 0;
}

// Who cancelled: the program's end, or the user (a fetch the desktop waited for).
std::string CancelledText() {
  return OutstandingWorkCancelled() ? "Cancelled: the program is ending" : "Cancelled by the user";
}

// Compression saves the publisher's bandwidth: ask for every coding this libcurl decodes
// (brotli where it was built with it). No cookie engine and no Referer are ever set up,
// so neither is sent, on a redirect either.
const char* AcceptedEncodings() {
  static const bool brotli = (Curl().version_info(CURLVERSION_NOW)->features & CURL_VERSION_BROTLI) != 0;
  return brotli ? "gzip, deflate, br" : "gzip, deflate";
}

FetchResponse Failed(FetchKind kind, std::string error, FetchResponse response = {}) {
  response.kind = kind;
  response.error = std::move(error);
  return response;
}

std::string SecondsText(std::chrono::milliseconds ms) {
  long long tenths = (ms.count() + 50) / 100;
  std::string s = std::to_string(tenths / 10);
  if (tenths % 10) s += "." + std::to_string(tenths % 10);
  return s;
}

// A server's header as shown in a message: no control characters, and not without end.
std::string Shown(std::string_view value) {
  constexpr size_t kShown = 300;
  std::string out = CleanHeaderValue(value.substr(0, kShown));
  if (value.size() > kShown) out += "...";
  return out;
}

}  // namespace

FetchResponse HttpGet(const std::string& url, const std::string& ifModifiedSince,
                      const FetchOptions& options, const std::string& ifNoneMatch) {
  if (WorkCancelled()) return Failed(FetchKind::Cancelled, CancelledText());
  CurlGlobal& global = Global();
  if (!global.lib()) return Failed(FetchKind::Transport, global.error());
  const CurlLibrary& curl = *global.lib();

  CurlEasy easy(curl.easy_init());
  if (!easy) return Failed(FetchKind::Transport, "cannot create an HTTP client");
  CURL* c = easy.get();

  Transfer t;
  t.maxBytes = std::min(options.maxBytes, kMaxResponseBytes);
  t.readTimeout = options.readTimeout > std::chrono::milliseconds(0) ? options.readTimeout
                                                                     : std::chrono::milliseconds(45000);
  // A feed that drips a byte now and then is never silent, so the whole transfer has
  // the same bound as the silence.
  t.deadline = Clock::now() + t.readTimeout;
  char errbuf[CURL_ERROR_SIZE] = {0};

  CurlSlist headers;
  auto addHeader = [&headers, &curl](const std::string& line) {
    curl_slist* grown = curl.slist_append(headers.get(), line.c_str());
    if (grown) {
      (void)headers.release();  // the same list, one entry longer
      headers.reset(grown);
    }
  };
  if (!ifModifiedSince.empty()) addHeader("If-Modified-Since: " + ifModifiedSince);
  if (!ifNoneMatch.empty()) addHeader("If-None-Match: " + ifNoneMatch);

  curl.easy_setopt(c, CURLOPT_URL, url.c_str());
  curl.easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
  curl.easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  // The progress callback enforces the deadline; this is the engine's own backstop.
  curl.easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(t.readTimeout.count() + 1000));
  curl.easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl.easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  // Feeds move (a site going over to https): follow, but never off http and https, and
  // not in circles.
  curl.easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl.easy_setopt(c, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl.easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl.easy_setopt(c, CURLOPT_USERAGENT, options.userAgent.c_str());
  curl.easy_setopt(c, CURLOPT_ACCEPT_ENCODING, AcceptedEncodings());
  curl.easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(t.maxBytes));
  if (headers) curl.easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  if (global.share()) curl.easy_setopt(c, CURLOPT_SHARE, global.share());

  if (!options.proxy.empty()) {
    curl.easy_setopt(c, CURLOPT_PROXY, options.proxy.c_str());
    curl.easy_setopt(c, CURLOPT_PROXYPORT, options.proxyPort);
  } else {
    // An empty proxy also overrides the *_proxy environment variables.
    curl.easy_setopt(c, CURLOPT_PROXY, "");
  }

  curl.easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnBody);
  curl.easy_setopt(c, CURLOPT_WRITEDATA, &t);
  curl.easy_setopt(c, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl.easy_setopt(c, CURLOPT_HEADERDATA, &t);
  t.easy = c;
  curl.easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl.easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &OnProgress);
  curl.easy_setopt(c, CURLOPT_XFERINFODATA, &t);

  CURLcode rc = curl.easy_perform(c);
  if (t.tooLarge || rc == CURLE_FILESIZE_EXCEEDED)
    return Failed(FetchKind::TooLarge,
                  "Response too large: more than " + std::to_string(t.maxBytes) + " bytes");
  if (t.cancelled) return Failed(FetchKind::Cancelled, CancelledText());
  if (t.overDeadline || rc == CURLE_OPERATION_TIMEDOUT)
    return Failed(FetchKind::Timeout, "Fetch timed out after " + SecondsText(t.readTimeout) + " s");
  if (t.timedOut)
    return Failed(FetchKind::Timeout,
                  "Read timed out (" + std::to_string(t.readTimeout.count()) + " ms)");
  long hops = 0;
  curl.easy_getinfo(c, CURLINFO_REDIRECT_COUNT, &hops);
  if (rc == CURLE_TOO_MANY_REDIRECTS && !t.loopsAt.empty())
    return Failed(FetchKind::TooManyRedirects, "Redirect loop: " + t.loopsAt + " redirects back to itself");
  if (rc == CURLE_TOO_MANY_REDIRECTS)
    return Failed(FetchKind::TooManyRedirects,
                  "Too many redirects: more than " + std::to_string(kMaxRedirects));
  if (rc == CURLE_UNSUPPORTED_PROTOCOL && !t.location.empty())
    return Failed(FetchKind::NotAllowedScheme,
                  "Redirected to an address that is neither http nor https: " + Shown(t.location));
  if (rc != CURLE_OK) {
    std::string error = errbuf[0] ? std::string(errbuf) : curl.easy_strerror(rc);
    // The allowed protocols are set above: curl refuses every other scheme with this.
    return Failed(
        rc == CURLE_UNSUPPORTED_PROTOCOL ? FetchKind::NotAllowedScheme : FetchKind::Transport,
        std::move(error));
  }

  curl.easy_getinfo(c, CURLINFO_RESPONSE_CODE, &t.response.status);
  t.response.redirects = hops;
  t.response.movedPermanently = hops > 0 && t.onlyPermanentHops;
  t.response.url = url;
  const char* effective = nullptr;
  if (hops > 0 && curl.easy_getinfo(c, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
    t.response.url = effective;
  if (t.response.status < 200 || t.response.status > 299) {
    if (t.response.statusLine.empty())
      t.response.statusLine = "HTTP " + std::to_string(t.response.status);
    FetchKind kind = t.response.status == 304 ? FetchKind::NotModified : FetchKind::Status;
    std::string error = t.response.statusLine;
    return Failed(kind, std::move(error), std::move(t.response));
  }
  return std::move(t.response);
}

}  // namespace norvane
