// The HTTP operations of TRXML: conditional fetches through the program's client.
#include "core/header_value.h"
#include "core/settings.h"
#include "feeds/feed_formats.h"
#include "feeds/fetch_options.h"
#include "feeds/rss2.h"
#include "feeds/rxml.h"
#include "feeds/xml_encoding.h"
#include "http/http_client.h"

namespace norvane {

std::string TRXML::GET(const std::string& url) {
  try {
    // The date is a header value both ways: as received it is stored and sent back, and a
    // date stored before may still hold what a server put there.
    FinalURL.clear();
    // The proxy rule looks at the address subscribed to; every hop of a redirect then
    // goes the same way.
    FetchResponse response = HttpGet(url, CleanValidator(LastModified), FetchOptionsFor(url, GetSettings()),
                                     CleanEntityTag(ETag));
    if (response.kind != FetchKind::Ok) throw HttpError(response);
    LastModified = CleanValidator(response.lastModified);
    ETag = CleanEntityTag(response.etag);
    FinalURL = response.url.empty() ? url : response.url;
    ContentType = std::move(response.contentType);
    return std::move(response.body);
  } catch (const std::exception& e) {
    ErrorText = url + ErrorText + "\r\n" + e.what();
    throw;
  }
}

std::string TRXML::GetIfModified(const std::string& url, const CacheValidators& given,
                                 CacheValidators& received) {
  std::string body;
  LastModified = given.lastModified;
  ETag = given.etag;
  try {
    body = GET(url);
    received = {LastModified, ETag};
  } catch (const std::exception&) {
    // Unchanged and failed look alike to the caller: no body, the validators given.
    body.clear();
    received = given;
  }
  LastModified.clear();
  ETag.clear();
  return body;
}

std::string TRXML::GetIfModified(const std::string& url, const std::string& lastModified,
                                 std::string& newLastModified) {
  CacheValidators received;
  std::string body = GetIfModified(url, {lastModified, ""}, received);
  newLastModified = received.lastModified;
  return body;
}

bool TRXML::LoadFetched(std::string body, const std::string& url, std::string_view contentType) {
  if (std::optional<std::string> rss = JsonFeedToRss(body, url)) body = std::move(*rss);
  const bool loaded = LoadFromString(body, url, CharsetOf(contentType));
  if (loaded) NormaliseFeed(*this, url);
  if (!loaded || DetectRSSVersion(*this).empty()) {
    std::string reason = HtmlPageReason(body, url);
    if (!reason.empty()) AddErrorLine(reason);
  }
  return loaded;
}

bool TRXML::LoadFromHTTPIfModified(const std::string& url, const CacheValidators& given,
                                   CacheValidators& received) {
  std::string body = GetIfModified(url, given, received);
  if (body.empty()) return false;
  return LoadFetched(std::move(body), FinalURL.empty() ? url : FinalURL, ContentType);
}

bool TRXML::LoadFromHTTPIfModified(const std::string& url, const std::string& lastModified,
                                   std::string& newLastModified) {
  CacheValidators received;
  const bool loaded = LoadFromHTTPIfModified(url, {lastModified, ""}, received);
  newLastModified = received.lastModified;
  return loaded;
}

void TRXML::LoadFromHTTP(const std::string& url) {
  std::string body = GET(url);
  LoadFetched(std::move(body), FinalURL.empty() ? url : FinalURL, ContentType);
}

}  // namespace norvane
