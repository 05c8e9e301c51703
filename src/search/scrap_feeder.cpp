#include "search/scrap_feeder.h"

#include <cstring>
#include <exception>
#include <string_view>

#include "core/gate_lock.h"
#include "core/route_names.h"
#include "core/settings.h"
#include "core/trace.h"
#include "core/url_helpers.h"
#include "feeds/xml_node.h"
#include "feeds/xml_path.h"
#include "pattern/regexp_error.h"
#include "search/scrap_book.h"
#include "search/scrap_collection.h"

namespace norvane {

namespace {

xmlNodePtr ChildNamed(const xmlNode* parent, std::string_view name) {
  for (xmlNodePtr c = FirstChildElement(parent); c; c = NextSiblingElement(c))
    if (HasQualifiedName(c, name)) return c;
  return nullptr;
}

// The Dublin Core date under any prefix, or an element written "dc:date".
xmlNodePtr DcDateChild(const xmlNode* parent) {
  for (xmlNodePtr c = FirstChildElement(parent); c; c = NextSiblingElement(c)) {
    if (c->ns && c->ns->href && std::strcmp(reinterpret_cast<const char*>(c->ns->href), kDcNamespace) == 0 &&
        std::strcmp(reinterpret_cast<const char*>(c->name), "date") == 0)
      return c;
    if (HasQualifiedName(c, "dc:date")) return c;
  }
  return nullptr;
}

// A dc:date element of the book's document, bound to the Dublin Core namespace (declared
// on the element itself should the feed lack the declaration).
xmlNodePtr NewDcDate(Tword& book, const std::string& text) {
  xmlNodePtr date = CreateElement(book.Holder(), "date");
  const xmlChar* href = reinterpret_cast<const xmlChar*>(kDcNamespace);
  xmlNsPtr ns = xmlSearchNsByHref(book.Document(), book.Channel, href);
  if (!ns) ns = xmlNewNs(date, href, BAD_CAST "dc");
  if (!ns) throw std::bad_alloc();
  xmlSetNs(date, ns);
  SetNodeText(date, text);
  return date;
}

class BookScrapper : public ItemScrapper {
 public:
  BookScrapper(TScrapSerch& books, const TRSerch& lender) : books_(books), feeder_(lender) {}
  void SetSource(const std::string& title, const std::string& url) override {
    feeder_.SetSource({title, url, {}});
  }
  void ScrapItem(xmlNodePtr item) override { feeder_.ScrapItem(item, books_); }

 private:
  TScrapSerch& books_;
  TScrap feeder_;
};

}  // namespace

std::unique_ptr<ItemScrapper> MakeBookScrapper(TScrapSerch& books, const TRSerch& lender) {
  return std::make_unique<BookScrapper>(books, lender);
}

TScrap::TScrap(const TRSerch& lender) {
  GateGuard lock(GateLock());
  Matcher.AssignSynonymDic(lender);
}

void TScrap::SetSource(const RSSINFO& info) {
  Source = info;
  Enabled = true;
  // Host names and the route name are case-blind, so the test is too.
  const std::string url = AsciiLower(info.Url);
  if (url.find(routes::kScrapXml) == std::string::npos && url.find(routes::kFindXml) == std::string::npos) return;
  Enabled = false;
  const std::string local = AsciiLower(GetSettings().LocalAddress);
  if (url.find("://" + local) == std::string::npos && url.find("://localhost") == std::string::npos &&
      url.find("://127.0.0.1") == std::string::npos)
    Enabled = true;
}

void TScrap::AddIfMatch(xmlNodePtr item, Tword& book) {
  GateGuard lock(GateLock());
  if (!Enabled || !item || !book.Channel || book.Keywordless()) return;

  try {
    Matcher.SetRegExp(book.Pattern);
  } catch (const ERegExpParser& e) {
    // Only the synonyms can make a pattern that loaded fine too large for the engine.
    WriteErrorLog(TraceArea::Scrap, "ERegExpParser", e.what());
    return;
  }
  xmlNodePtr title = ChildNamed(item, "title");
  xmlNodePtr description = ChildNamed(item, "description");
  bool match = title && Matcher.IsMatch(NodeText(title));
  if (!match) match = description && Matcher.IsMatch(NodeText(description));
  if (!match) return;

  xmlNodePtr entry;
  try {
    entry = CreateElement(book.Holder(), "item");
    if (xmlNodePtr first = ChildNamed(book.Channel, "item")) InsertBefore(first, entry);
    else AppendChild(book.Channel, entry);
  } catch (const XmlError& e) {
    WriteErrorLog(TraceArea::Scrap, "XmlError", e.what());
    return;
  }
  book.MarkChanged();

  // A child that cannot be copied is left out; the others still go in.
  for (const char* name : {"title", "link", "description"}) {
    if (xmlNodePtr from = ChildNamed(item, name)) {
      try {
        CopyNodeText(book.AddChild(entry, name, ""), from);
      } catch (const XmlError& e) {
        WriteErrorLog(TraceArea::Scrap, "XmlError", e.what());
      }
    }
  }
  if (xmlNodePtr from = DcDateChild(item)) {
    try {
      xmlNodePtr date = NewDcDate(book, "");
      CopyNodeText(date, from);
      AppendChild(entry, date);
    } catch (const XmlError& e) {
      WriteErrorLog(TraceArea::Scrap, "XmlError", e.what());
    }
  }
  xmlNodePtr source = book.AddChild(entry, "source", Source.Title);
  SetAttribute(source, "url", Source.Url);
}

void TScrap::ScrapItem(xmlNodePtr item, TScrapSerch& books) {
  GateGuard lock(GateLock());
  for (int i = 0; i < books.Count(); ++i) {
    try {
      AddIfMatch(item, books.Items(i));
    } catch (const std::exception& e) {
      // Scrapping is a side line of the channel log: its failure must not stop the log.
      WriteErrorLog(TraceArea::Scrap, "exception", e.what());
    }
  }
}

}  // namespace norvane
