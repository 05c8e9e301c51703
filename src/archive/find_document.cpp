#include "archive/find_document.h"

#include <algorithm>

#include "archive/dom_build.h"
#include "core/route_names.h"
#include "core/sjis.h"
#include "core/texts.h"
#include "core/url_helpers.h"
#include "feeds/feed_date.h"
#include "feeds/rg_namespace.h"
#include "feeds/xml_node.h"

namespace norvane {

namespace {

const char* StateName(IndexStatus::State state) {
  switch (state) {
    case IndexStatus::State::Starting: return "starting";
    case IndexStatus::State::Building: return "building";
    case IndexStatus::State::Ready: return "ready";
    case IndexStatus::State::Unavailable: return "unavailable";
  }
  return "";
}

const char* OutcomeName(FindResult::Outcome outcome) {
  switch (outcome) {
    case FindResult::Outcome::NoPhrase: return "empty";
    case FindResult::Outcome::TooLong: return "too-long";
    case FindResult::Outcome::Refused: return "refused";
    case FindResult::Outcome::Found: return "found";
  }
  return "";
}

void AddItem(xmlNodePtr channel, const FoundItem& found) {
  const ArchiveItem& a = found.item;
  xmlNodePtr item = AddDomChild(channel, "item", "");
  if (a.mark) SetDomAttribute(AddRgChild(item, "log"), "type", MarkName(a.mark));
  if (a.hasTitle) AddDomChild(item, "title", a.title);
  if (!a.link.empty()) AddDomChild(item, "link", a.link);
  if (a.hasDescription) AddDomChild(item, "description", a.description);
  const std::string iso = IsoDate(a.published);
  if (!iso.empty()) AddNamespacedChild(item, "http://purl.org/dc/elements/1.1/", "dc", "date", iso);
  if (!a.revday.empty()) AddRgChild(item, "revday", a.revday);
  xmlNodePtr source = AddDomChild(item, "source", found.feedTitle);
  SetAttribute(source, "url", found.feedUrl);
  if (!found.feedLink.empty()) AddRgChild(item, "site", found.feedLink);
}

}  // namespace

std::string FindAddress(std::string_view route, const std::string& phrase, const std::string& group, size_t page) {
  std::string a(route);
  a += "?ue=on&_charset_=Shift_JIS&w=" + EncodeURLParam(phrase);
  if (!group.empty()) a += "&u=" + EncodeURLParam(group);
  if (page > 1) a += "&p=" + std::to_string(page);
  return a;
}

xmlNodePtr BuildFindDocument(TRXML& doc, const FindRequest& request, const FindResult& result,
                             const std::string& group, const std::string& local) {
  doc.Clear();
  xmlNodePtr rss = doc.CreateRoot("rss");
  SetAttribute(rss, "version", "2.0");
  SetAttribute(rss, "xmlns:rg", kRgNamespace);
  SetAttribute(rss, "xmlns:dc", "http://purl.org/dc/elements/1.1/");
  xmlNodePtr channel = AddDomChild(rss, "channel", "");
  const bool phrase = result.outcome != FindResult::Outcome::NoPhrase;
  const std::string self = FindAddress(routes::kFindHtml, request.phrase, group, result.page);
  doc.AddChild(channel, "title", phrase ? T().findTitleBefore + request.phrase + T().findTitleAfter : T().findHeading);
  doc.AddChild(channel, "link", local + self);
  doc.AddChild(channel, "description",
               result.outcome == FindResult::Outcome::Found ? std::to_string(result.total) + T().findCountAfter : "");
  doc.AddChild(channel, "generator", "Norvane");

  xmlNodePtr find = AddRgChild(channel, "find");
  SetDomAttribute(find, "outcome", OutcomeName(result.outcome));
  SetDomAttribute(find, "max", std::to_string(kMaxFindCharacters));
  if (result.outcome == FindResult::Outcome::Found) {
    const size_t first = result.total ? (result.page - 1) * kFindPageSize + 1 : 0;
    const size_t last = std::min(result.total, first + result.items.size() - (first ? 1 : 0));
    SetDomAttribute(find, "total", std::to_string(result.total));
    SetDomAttribute(find, "page", std::to_string(result.page));
    SetDomAttribute(find, "pages", std::to_string(result.pages));
    SetDomAttribute(find, "first", std::to_string(first));
    SetDomAttribute(find, "last", std::to_string(last));
  }
  xmlNodePtr query = AddRgChild(find, "query");
  SetNodeText(query, request.phrase);
  if (!group.empty()) SetNodeText(AddRgChild(find, "group"), group);
  if (!result.error.empty()) SetNodeText(AddRgChild(find, "error"), result.error);
  xmlNodePtr index = AddRgChild(find, "index");
  SetDomAttribute(index, "state", StateName(result.index.state));
  SetDomAttribute(index, "done", std::to_string(result.index.done));
  SetDomAttribute(index, "total", std::to_string(result.index.total));
  if (result.scanned) SetDomAttribute(index, "scanned", "1");
  if (phrase) {
    SetNodeText(AddRgChild(find, "self"), self);
    if (result.page > 1) SetNodeText(AddRgChild(find, "prev"), FindAddress(routes::kFindHtml, request.phrase, group, result.page - 1));
    if (result.page < result.pages)
      SetNodeText(AddRgChild(find, "next"), FindAddress(routes::kFindHtml, request.phrase, group, result.page + 1));
    const std::string feed = FindAddress("find.xml", request.phrase, group, 1);
    SetNodeText(AddRgChild(find, "feed"), feed);
    SetNodeText(AddRgChild(find, "subscribe"), std::string(routes::kAddHtml) + "?u=" + local + feed + "/");
  }
  for (const FoundItem& found : result.items) AddItem(channel, found);
  return find;
}

}  // namespace norvane
