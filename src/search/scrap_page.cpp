#include "search/scrap_page.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "core/gate_lock.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "core/texts.h"
#include "core/trace.h"
#include "core/url_helpers.h"
#include "feeds/error_feed.h"
#include "feeds/xml_node.h"
#include "search/scrap_collection.h"

namespace norvane {

namespace {

// The text without its last extension: the last "." after the last separator, taken
// on whole characters (a trail byte may be 0x5C).
std::string WithoutExtension(const std::string& text) {
  size_t dot = std::string::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsSjisLead(c) && i + 1 < text.size()) {
      ++i;
      continue;
    }
    if (c == '.') dot = i;
    else if (c == '/' || c == '\\') dot = std::string::npos;
  }
  return dot == std::string::npos ? text : text.substr(0, dot);
}

// The book u names. A modern browser percent-encodes a Japanese name as UTF-8 where the
// program's own links carry it raw, so a name not found as given is tried decoded.
Tword* FindBook(TScrapSerch& books, const std::string& u) {
  if (Tword* book = books.Find(WithoutExtension(u))) return book;
  std::string decoded = PercentDecode(u);
  if (decoded == u) return nullptr;
  if (Tword* book = books.Find(WithoutExtension(decoded))) return book;
  std::string sjis = Utf8ToSjis(decoded);
  if (sjis != decoded && SjisToUtf8(sjis) == decoded) return books.Find(WithoutExtension(sjis));
  return nullptr;
}

}  // namespace

std::string CreateScrapXml(TScrapSerch& books, const ParamList& params) {
  GateGuard lock(GateLock());
  try {
    Tword* book = FindBook(books, ParamValue(params, "u"));
    // A feed that did not load serialises as a bare declaration: nothing to serve.
    if (!book || !book->DocumentElement()) return ErrorFeed(T().scrapError);
    if (!book->Keywordless()) book->TrimItems(static_cast<size_t>(std::max(0, GetSettings().LOG_CNT)));
    std::string xml = book->XMLWithEncoding();
    if (!xml.empty()) return xml;
  } catch (const std::exception& e) {
    WriteErrorLog(TraceArea::Scrap, "exception", e.what());
  }
  return ErrorFeed(T().scrapError);
}

}  // namespace norvane
