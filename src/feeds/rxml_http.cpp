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

namespace {

// The lines a step added to an error text, joined on one line.
std::string AddedLines(const std::string& errorText, size_t before) {
  std::string added;
  size_t at = before;
  while (at < errorText.size()) {
    size_t end = errorText.find("\r\n", at);
    if (end == std::string::npos) end = errorText.size();
    if (end > at) {
      if (!added.empty()) added += "; ";
      added.append(errorText, at, end - at);
    }
    at = end + 2;
  }
  return added;
}

}  // namespace

FetchResponse TRXML::Request(const std::string& url) {
  FetchResponse response;
  try {
    // The date is a header value both ways: as received it is stored and sent back, and a
    // date stored before may still hold what a server put there.
    FinalURL.clear();
    // The proxy rule looks at the address subscribed to; every hop of a redirect then
    // goes the same way.
    response = HttpGet(url, CleanValidator(LastModified), FetchOptionsFor(url, GetSettings()),
                       CleanEntityTag(ETag));
    if (response.kind == FetchKind::Ok) {
      LastModified = CleanValidator(response.lastModified);
      ETag = CleanEntityTag(response.etag);
      FinalURL = response.url.empty() ? url : response.url;
      ContentType = response.contentType;
      return response;
    }
  } catch (const std::exception& e) {
    response = FetchResponse{};
    response.kind = FetchKind::Transport;
    response.error = e.what();
  }
  response.body.clear();  // the body of a failed answer is not used
  ErrorText = url + ErrorText + "\r\n" + response.error;
  return response;
}

std::string TRXML::GET(const std::string& url) {
  FetchResponse response = Request(url);
  if (response.kind != FetchKind::Ok) throw HttpError(response);
  return std::move(response.body);
}

FetchOutcome TRXML::FetchIfModified(const std::string& url, const CacheValidators& given,
                                    std::string& body) {
  LastModified = given.lastModified;
  ETag = given.etag;
  FetchResponse response = Request(url);
  LastModified.clear();
  ETag.clear();
  FetchOutcome outcome = OutcomeOfResponse(response, url);
  body = outcome.ok() ? std::move(response.body) : std::string();
  if (outcome.ok()) {
    outcome.validators.bodyHash = BodyDigest(body);
    // The very bytes of last time: nothing to read, as if the server had said 304.
    if (!given.bodyHash.empty() && outcome.validators.bodyHash == given.bodyHash) {
      outcome.kind = FetchOutcomeKind::Unchanged;
      body.clear();
    }
  }
  return outcome;
}

std::string TRXML::GetIfModified(const std::string& url, const CacheValidators& given,
                                 CacheValidators& received) {
  std::string body;
  const FetchOutcome outcome = FetchIfModified(url, given, body);
  // Unchanged and failed look alike to this caller: no body, the validators given.
  received = outcome.ok() ? outcome.validators : given;
  return body;
}

std::string TRXML::GetIfModified(const std::string& url, const std::string& lastModified,
                                 std::string& newLastModified) {
  CacheValidators received;
  std::string body = GetIfModified(url, {lastModified, "", ""}, received);
  newLastModified = received.lastModified;
  return body;
}

bool TRXML::LoadFetched(std::string body, const std::string& url, std::string_view contentType) {
  if (std::optional<std::string> rss = JsonFeedToRss(body, url, contentType)) body = std::move(*rss);
  const size_t before = ErrorText.size();
  const bool loaded = LoadFromString(body, url, CharsetOf(contentType));
  if (loaded) NormaliseFeed(*this, url);
  if (!loaded || DetectRSSVersion(*this).empty()) {
    std::string reason = HtmlPageReason(body, url, contentType);
    if (!reason.empty()) {
      // Where a web page breaks as XML says nothing to its reader: that it is a page does.
      ErrorText.resize(before);
      AddErrorLine(reason);
    }
  }
  return loaded;
}

FetchOutcome TRXML::LoadFromHTTPIfModified(const std::string& url, const CacheValidators& given) {
  std::string body;
  FetchOutcome outcome = FetchIfModified(url, given, body);
  if (!outcome.ok()) return outcome;
  if (body.empty()) {
    outcome.kind = FetchOutcomeKind::NotAFeed;
    outcome.detail = "the answer was empty";
    return outcome;
  }
  const size_t before = ErrorText.size();
  const bool loaded = LoadFetched(std::move(body), outcome.finalUrl, ContentType);
  if (!loaded) {
    outcome.kind = FetchOutcomeKind::XmlError;
    outcome.detail = AddedLines(ErrorText, before);
  } else if (DetectRSSVersion(*this).empty()) {
    outcome.kind = FetchOutcomeKind::NotAFeed;
    outcome.detail = AddedLines(ErrorText, before);
    if (outcome.detail.empty()) outcome.detail = "neither an rss nor an rdf:RDF document";
  }
  return outcome;
}

bool TRXML::LoadFromHTTPIfModified(const std::string& url, const std::string& lastModified,
                                   std::string& newLastModified) {
  std::string body;
  CacheValidators received;
  body = GetIfModified(url, {lastModified, "", ""}, received);
  newLastModified = received.lastModified;
  if (body.empty()) return false;
  return LoadFetched(std::move(body), FinalURL.empty() ? url : FinalURL, ContentType);
}

void TRXML::LoadFromHTTP(const std::string& url) {
  std::string body = GET(url);
  LoadFetched(std::move(body), FinalURL.empty() ? url : FinalURL, ContentType);
}

}  // namespace norvane
