// The HTTP operations of TRXML: conditional fetches through the program's client.
#include "core/settings.h"
#include "feeds/fetch_options.h"
#include "feeds/rxml.h"
#include "http/http_client.h"

namespace norvane {

std::string TRXML::GET(const std::string& url) {
  try {
    FetchResponse response = HttpGet(url, LastModified, FetchOptionsFor(url, GetSettings()));
    if (response.kind != FetchKind::Ok) throw HttpError(response);
    LastModified = response.lastModified;
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

bool TRXML::LoadFromHTTPIfModified(const std::string& url, const std::string& lastModified,
                                   std::string& newLastModified) {
  std::string body = GetIfModified(url, lastModified, newLastModified);
  if (body.empty()) return false;
  return LoadFromString(body, url);
}

void TRXML::LoadFromHTTP(const std::string& url) {
  std::string body = GET(url);
  LoadFromString(body, url);
}

}  // namespace norvane
