#include "gateway/page_builders.h"

#include <stdexcept>

#include "core/html_text.h"
#include "core/settings.h"
#include "core/texts.h"
#include "core/trace.h"
#include "feeds/error_feed.h"
#include "search/search_catalogue.h"

namespace norvane {

std::string StylePath(const std::string& file) {
  return "xsls\\" + GetSettings().XSL_STYLE + "\\" + file;
}

std::string TransformWithStyle(const TRXML& doc, const std::string& styleFile) {
  TRXML style;
  style.Load(StylePath(styleFile));
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

std::string CreateRSSxml(const ParamList& params, bool xmlOnly, const FeedContext& context) {
  std::string result;
  try {
    TRSS rss(MakeRParams(params), context);
    result = rss.Excute();
    if (xmlOnly) return result;
    try {
      TRXML doc;
      doc.LoadFromXML(result);
      std::string page = TransformWithStyle(doc, "rss.xsl");
      if (!page.empty()) return page;
    } catch (const std::exception& e) {
      return T().xsltFailed + EscapeHtml(e.what());
    }
  } catch (const std::exception& e) {
    WriteErrorLog("CreateRSSxml", "Exception", e.what());
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
