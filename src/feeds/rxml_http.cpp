// The HTTP operations of TRXML: conditional fetches through the program's client.
#include "core/header_value.h"
#include "core/settings.h"
#include "feeds/feed_formats.h"
#include "feeds/fetch_options.h"
#include "feeds/rss2.h"
#include "feeds/rxml.h"
#include "http/http_client.h"

namespace norvane {

std::string TRXML::GET(const std::string& url) {
  try {
    // The date is a header value both ways: as received it is stored and sent back, and a
    // date stored before may still hold what a server put there.
    FinalURL.clear();
    // The proxy rule looks at the address subscribed to; every hop of a redirect then
    // goes the same way.
    FetchResponse response = HttpGet(url, CleanHeaderValue(LastModified), FetchOptionsFor(url, GetSettings()));
    if (response.kind != FetchKind::Ok) throw HttpError(response);
    LastModified = CleanHeaderValue(response.lastModified);
    FinalURL = response.url.empty() ? url : response.url;
    return std::move(response.body);
  } catch (const std::exception& e) {
    ErrorText = url + ErrorText + "\r\n" + e.what();
    throw;
  }
}

std::string TRXML::GetIfModified(const std::string& url, const std::string& lastModified,
                                 std::string& newLastModified) {
  std::string body;
  LastModified = lastModified;
  try {
    body = GET(url);
    newLastModified = LastModified;
  } catch (const std::exception&) {
    // Unchanged and failed look alike to the caller: no body, the date given.
    body.clear();
    newLastModified = lastModified;
  }
  LastModified.clear();
  return body;
}

bool TRXML::LoadFetched(std::string body, const std::string& url) {
  if (std::optional<std::string> rss = JsonFeedToRss(body, url)) body = std::move(*rss);
  const bool loaded = LoadFromString(body, url);
  if (loaded) NormaliseFeed(*this, url);
  if (!loaded || DetectRSSVersion(*this).empty()) {
    std::string reason = HtmlPageReason(body, url);
    if (!reason.empty()) AddErrorLine(reason);
  }
  return loaded;
}

bool TRXML::LoadFromHTTPIfModified(const std::string& url, const std::string& lastModified,
                                   std::string& newLastModified) {
  std::string body = GetIfModified(url, lastModified, newLastModified);
  if (body.empty()) return false;
  return LoadFetched(std::move(body), FinalURL.empty() ? url : FinalURL);
}

void TRXML::LoadFromHTTP(const std::string& url) {
  std::string body = GET(url);
  LoadFetched(std::move(body), FinalURL);
}

}  // namespace norvane
