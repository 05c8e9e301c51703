#include "search/search_catalogue.h"

#include "core/gate_lock.h"
#include "core/sjis.h"
#include "core/url_helpers.h"
#include "feeds/xml_node.h"

namespace norvane {

namespace {
constexpr const char* kMarker = "$SEARCH_PHRASE$";
}  // namespace

void SearchCatalogue::LoadFromFile(const std::string& path) { doc_.LoadFromFile(path); }

std::string SearchCatalogue::GetSearchURL(const std::string& engineTitle,
                                          const std::string& phrase) const {
  GateGuard lock(GateLock());
  try {
    for (xmlNodePtr item : doc_.SelectNodes("search/item")) {
      xmlNodePtr title = SelectSingleNode(item, "title");
      if (!title || NodeText(title) != engineTitle) continue;
      xmlNodePtr url = SelectSingleNode(item, "searchUrl");
      if (!url) return {};
      std::string templ = NodeText(url);
      const bool utf8 = AsciiLower(GetAttribute(url, "encoding")) == "utf-8";
      std::string encoded = EncodeURLParam(utf8 ? SjisToUtf8(phrase) : phrase);
      size_t at = templ.find(kMarker);
      if (at != std::string::npos) templ.replace(at, std::string(kMarker).size(), encoded);
      return templ;
    }
  } catch (const std::exception&) {
    // A catalogue that cannot be searched knows no engine.
  }
  return {};
}

std::optional<std::vector<std::string>> SearchCatalogue::GetSearchTitles() const {
  try {
    std::vector<std::string> titles;
    for (xmlNodePtr title : doc_.SelectNodes("search/item/title")) titles.push_back(NodeText(title));
    return titles;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace norvane
