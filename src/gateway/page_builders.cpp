#include "gateway/page_builders.h"

#include <algorithm>
#include <stdexcept>

#include "core/disk_path.h"
#include "core/html_text.h"
#include "core/program_files.h"
#include "core/settings.h"
#include "core/texts.h"
#include "core/trace.h"
#include "feeds/error_feed.h"
#include "feeds/page_cache_share.h"
#include "feeds/style_cache.h"
#include "search/search_catalogue.h"

namespace norvane {

std::string StylePath(const std::string& file) {
  const std::string own = files::StylePath(GetSettings().XSL_STYLE, file);
  const auto& first = files::kFirstStyleFiles;
  if (std::find(first.begin(), first.end(), file) != first.end() || FileExists(DiskPath(own))) return own;
  // A page added since the user's style was made: Default's stylesheet shows it.
  return files::StylePath(files::kDefaultStyle, file);
}

std::string TransformWithStyle(const TRXML& doc, const std::string& styleFile) {
  // One page, unless it is part of one already.
  PageCacheShare ownShare;
  PageCacheScope pageCaches(PageCacheShare::Current() ? PageCacheShare::Current() : &ownShare);
  // A stylesheet newer than the user's style comes from Default (StylePath).
  const std::string path = StylePath(styleFile);
  if (std::shared_ptr<const CompiledStyle> compiled = CachedStyle(path)) return doc.Transform(*compiled);
  TRXML style;  // no such file: the engine's own message says so
  style.Load(path);
  return doc.Transform(style);
}

RPARAMS MakeRParams(const ParamList& params) {
  RPARAMS p;
  p.URL = ParamValue(params, "u");
  p.Reload = ParamValue(params, "r") == "on";
  p.Keyword = ParamValue(params, "w");
  p.Sel = ParamValue(params, "sel");
  p.ShowDescription = ParamValue(params, "d") != "off";
  p.Scrap = ParamValue(params, "scrap") != "off";
  return p;
}

void LoadChannelDocument(const ParamList& params, const FeedContext& context, TRXML& into) {
  TRSS rss(MakeRParams(params), context);
  const bool ok = rss.Run();
  if (ok && rss.AnswerIsParsed()) {
    into.Assign(rss);
    return;
  }
  into.LoadFromXML(ok ? rss.AnswerText() : rss.FailureFeed());
}

std::string CreateRSSxml(const ParamList& params, bool xmlOnly, const FeedContext& context) {
  std::string result;
  try {
    TRSS rss(MakeRParams(params), context);
    if (xmlOnly) return rss.Excute();
    // A stored log read as it stands is transformed as it is: a text round trip would
    // parse the whole log a second time. A fetched one is parsed again from its text,
    // which binds its fresh marks to their namespace.
    const bool ok = rss.Run();
    const bool direct = ok && rss.AnswerIsParsed();
    result = direct ? std::string() : ok ? rss.GetXML() : rss.FailureFeed();
    try {
      TRXML parsed;
      if (!direct) parsed.LoadFromXML(result);
      std::string page = TransformWithStyle(direct ? static_cast<const TRXML&>(rss) : parsed, "rss.xsl");
      if (!page.empty()) return page;
      if (direct) result = rss.GetXML();
    } catch (const std::exception& e) {
      return T().xsltFailed + EscapeHtml(e.what());
    }
  } catch (const std::exception& e) {
    WriteErrorLog(TraceArea::Router, "Exception", e.what());
  }
  // No page was made: the channel document is shown as text, its markup being the feed's.
  return xmlOnly ? result : EscapeHtml(result);
}

std::string CreateSearchHtml(const ParamList& params, const SearchCatalogue& catalogue) {
  std::string result;
  TRXML doc;
  try {
    std::string url = catalogue.GetSearchURL(ParamValue(params, "u"), ParamValue(params, "w"));
    doc.LoadFromHTTP(url);
    result = doc.GetXML();
    if (result.empty()) throw std::runtime_error(T().searchEmpty);
  } catch (const std::exception& e) {
    result.clear();
    doc.LoadFromXML(ErrorFeed(T().searchFailed + e.what()));
  }
  try {
    std::string page = TransformWithStyle(doc, "rss.xsl");
    // Without a page the engine's answer is shown as text: its markup is the engine's.
    result = page.empty() ? EscapeHtml(result) : page;
  } catch (const std::exception& e) {
    result = T().xsltFailed + EscapeHtml(e.what());
  }
  return result;
}

}  // namespace norvane
