#include "feeds/feed_formats.h"

#include <libxml/tree.h>
#include <libxml/uri.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "core/civil_date.h"
#include "core/plain_text.h"
#include "feeds/feed_discovery.h"
#include "feeds/safe_html.h"
#include "feeds/xml_node.h"
#include "feeds/xml_owners.h"

namespace norvane {

namespace {

constexpr const char* kAtom = "http://www.w3.org/2005/Atom";
constexpr const char* kRss10 = "http://purl.org/rss/1.0/";
constexpr const char* kRdf = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
constexpr const char* kDc = "http://purl.org/dc/elements/1.1/";

// ns nullptr: an element in no namespace.
bool InNs(const xmlNode* n, const char* ns, const char* name) {
  if (!n || n->type != XML_ELEMENT_NODE || std::strcmp(C(n->name), name) != 0) return false;
  if (!ns) return !n->ns;
  return n->ns && n->ns->href && std::strcmp(C(n->ns->href), ns) == 0;
}

xmlNodePtr Child(const xmlNode* parent, const char* ns, const char* name) {
  for (xmlNodePtr c = parent ? parent->children : nullptr; c; c = c->next)
    if (InNs(c, ns, name)) return c;
  return nullptr;
}

std::string Attr(const xmlNode* n, const char* name) {
  XmlText v(xmlGetProp(n, BAD_CAST name));
  return v ? C(v.get()) : "";
}

std::string Content(const xmlNode* n) {
  XmlText v(n ? xmlNodeGetContent(n) : nullptr);
  return v ? C(v.get()) : "";
}

std::string EscapeHtml(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '&') out += "&amp;";
    else out.push_back(c);
  }
  return out;
}

// The markup inside an xhtml text construct's div, as HTML text.
std::string InnerXhtml(const xmlNode* construct) {
  const xmlNode* div = nullptr;
  for (xmlNodePtr c = construct->children; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE) {
      div = c;
      break;
    }
  if (!div) return EscapeHtml(Content(construct));
  XmlBuffer buf = NewXmlBuffer();
  for (xmlNodePtr c = div->children; c; c = c->next) xmlNodeDump(buf.get(), div->doc, c, 0, 0);
  return C(xmlBufferContent(buf.get()));
}

// An Atom text construct as HTML (for descriptions) or as plain text (for titles).
std::string TextConstruct(const xmlNode* n, bool asHtml) {
  if (!n) return {};
  const std::string type = Attr(n, "type");
  if (type == "html") return asHtml ? Content(n) : TrimXmlSpace(SafeHtmlText(Content(n)));
  if (type == "xhtml") return asHtml ? InnerXhtml(n) : TrimXmlSpace(Content(n));
  return asHtml ? EscapeHtml(Content(n)) : TrimXmlSpace(Content(n));
}

// href resolved against the element's xml:base (itself resolved against the feed URL).
std::string Resolved(const xmlNode* n, const std::string& href, const std::string& feedUrl) {
  if (href.empty()) return {};
  std::string base = feedUrl;
  XmlText xmlBase(xmlNodeGetBase(n->doc, n));
  if (xmlBase) {
    XmlText b(xmlBuildURI(xmlBase.get(), X(feedUrl)));
    if (b) base = C(b.get());
  }
  XmlText full(xmlBuildURI(X(href), X(base)));
  return full ? C(full.get()) : href;
}

// The RSS 2.0 document being built, in UTF-8.
class RssBuilder {
 public:
  RssBuilder() : doc_(xmlNewDoc(BAD_CAST "1.0")) {
    xmlNodePtr rss = xmlNewNode(nullptr, BAD_CAST "rss");
    xmlDocSetRootElement(doc_.get(), rss);
    xmlNewProp(rss, BAD_CAST "version", BAD_CAST "2.0");
    dc_ = xmlNewNs(rss, BAD_CAST kDc, BAD_CAST "dc");
    channel_ = xmlNewChild(rss, nullptr, BAD_CAST "channel", nullptr);
  }
  void Channel(const std::string& title, const std::string& link, const std::string& description) {
    Text(channel_, "title", title, true);
    Text(channel_, "link", link, true);
    Text(channel_, "description", description, true);
  }
  struct Item {
    std::string title, link, description, date, id, author;
    struct Enclosure {
      std::string url, type, length;
    };
    std::vector<Enclosure> enclosures;
  };
  void Add(const Item& i) {
    xmlNodePtr item = xmlNewChild(channel_, nullptr, BAD_CAST "item", nullptr);
    Text(item, "title", i.title, true);
    Text(item, "link", i.link, false);
    Text(item, "description", i.description, false);
    Text(item, "pubDate", Rfc822FromIso(i.date), false);
    if (!i.id.empty()) {
      xmlNodePtr guid = Text(item, "guid", i.id, false);
      xmlNewProp(guid, BAD_CAST "isPermaLink", BAD_CAST "false");
    }
    if (!i.author.empty()) xmlNewTextChild(item, dc_, BAD_CAST "creator", X(i.author));
    for (const auto& e : i.enclosures) {
      if (e.url.empty()) continue;
      xmlNodePtr enc = xmlNewChild(item, nullptr, BAD_CAST "enclosure", nullptr);
      xmlNewProp(enc, BAD_CAST "url", X(e.url));
      xmlNewProp(enc, BAD_CAST "length", X(e.length.empty() ? std::string("0") : e.length));
      if (!e.type.empty()) xmlNewProp(enc, BAD_CAST "type", X(e.type));
    }
  }
  std::string Text() const {
    xmlChar* mem = nullptr;
    int len = 0;
    xmlDocDumpMemoryEnc(doc_.get(), &mem, &len, "UTF-8");
    std::string out = mem ? std::string(C(mem), static_cast<size_t>(len)) : std::string();
    xmlFree(mem);
    return out;
  }

 private:
  xmlNodePtr Text(xmlNodePtr parent, const char* name, const std::string& text, bool always) {
    if (text.empty() && !always) return nullptr;
    return xmlNewTextChild(parent, nullptr, BAD_CAST name, X(text));
  }
  OwnedDoc doc_;
  xmlNsPtr dc_;
  xmlNodePtr channel_;
};

std::string AtomLink(const xmlNode* parent, const char* rel, const std::string& feedUrl) {
  for (xmlNodePtr c = parent->children; c; c = c->next) {
    if (!InNs(c, kAtom, "link")) continue;
    std::string r = Attr(c, "rel");
    if ((r.empty() ? "alternate" : r) == rel) return Resolved(c, Attr(c, "href"), feedUrl);
  }
  return {};
}

std::string AuthorName(const xmlNode* parent) { return TrimXmlSpace(Content(Child(Child(parent, kAtom, "author"), kAtom, "name"))); }

std::optional<std::string> AtomToRssText(const xmlNode* feed, const std::string& feedUrl) {
  RssBuilder rss;
  rss.Channel(TextConstruct(Child(feed, kAtom, "title"), false), AtomLink(feed, "alternate", feedUrl),
              TextConstruct(Child(feed, kAtom, "subtitle"), false));
  const std::string feedAuthor = AuthorName(feed);
  for (xmlNodePtr e = feed->children; e; e = e->next) {
    if (!InNs(e, kAtom, "entry")) continue;
    RssBuilder::Item item;
    item.title = TextConstruct(Child(e, kAtom, "title"), false);
    item.link = AtomLink(e, "alternate", feedUrl);
    const xmlNode* body = Child(e, kAtom, "content");
    if (!body || !Attr(body, "src").empty()) body = Child(e, kAtom, "summary");
    item.description = TextConstruct(body, true);
    item.date = TrimXmlSpace(Content(Child(e, kAtom, "published")));
    if (item.date.empty()) item.date = TrimXmlSpace(Content(Child(e, kAtom, "updated")));
    item.id = TrimXmlSpace(Content(Child(e, kAtom, "id")));
    item.author = AuthorName(e);
    if (item.author.empty()) item.author = feedAuthor;
    for (xmlNodePtr l = e->children; l; l = l->next)
      if (InNs(l, kAtom, "link") && Attr(l, "rel") == "enclosure")
        item.enclosures.push_back({Resolved(l, Attr(l, "href"), feedUrl), Attr(l, "type"), Attr(l, "length")});
    rss.Add(item);
  }
  return rss.Text();
}

// RSS 1.0 elements under a prefix take the default namespace instead, so paths written
// without a prefix find them.
void DropRss10Prefix(xmlNodePtr root) {
  xmlNsPtr plain = nullptr;
  for (xmlNsPtr ns = root->nsDef; ns; ns = ns->next)
    if (!ns->prefix) plain = ns;
  if (plain && std::strcmp(C(plain->href), kRss10) != 0) return;  // the default is taken
  bool any = false;
  std::vector<xmlNodePtr> stack{root};
  while (!stack.empty()) {
    xmlNodePtr n = stack.back();
    stack.pop_back();
    for (xmlNodePtr c = n->children; c; c = c->next) {
      if (c->type != XML_ELEMENT_NODE) continue;
      if (c->ns && c->ns->prefix && c->ns->href && std::strcmp(C(c->ns->href), kRss10) == 0) {
        if (!plain) plain = xmlNewNs(root, BAD_CAST kRss10, nullptr);
        if (!plain) return;
        xmlSetNs(c, plain);
        any = true;
      }
      stack.push_back(c);
    }
  }
  (void)any;
}

// "application/json" of "Application/JSON; charset=utf-8".
std::string MediaType(std::string_view contentType) {
  std::string media(contentType.substr(0, contentType.find(';')));
  media = TrimXmlSpace(std::move(media));
  for (char& c : media) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return media;
}

// RSS 2.0 in a default namespace (old servers wrote xmlns="http://backend.userland.com/rss2"):
// its elements leave it, so paths written without a namespace find them.
void DropDefaultNamespace(xmlNodePtr root) {
  xmlNsPtr dropped = root->ns;
  std::vector<xmlNodePtr> stack{root};
  while (!stack.empty()) {
    xmlNodePtr n = stack.back();
    stack.pop_back();
    if (n->type != XML_ELEMENT_NODE) continue;
    if (n->ns == dropped) n->ns = nullptr;
    for (xmlNodePtr c = n->children; c; c = c->next) stack.push_back(c);
  }
  // The declaration goes too: written out, it would put the elements back.
  for (xmlNsPtr* at = &root->nsDef; *at; at = &(*at)->next)
    if (*at == dropped) {
      *at = dropped->next;
      dropped->next = nullptr;
      xmlFreeNs(dropped);
      break;
    }
}

constexpr const char* kItunes = "http://www.itunes.com/dtds/podcast-1.0.dtd";
constexpr const char* kMedia = "http://search.yahoo.com/mrss/";

// The first text among the given children that is not blank.
std::string FirstText(const xmlNode* parent, std::initializer_list<std::pair<const char*, const char*>> names) {
  for (const auto& [ns, name] : names) {
    std::string text = TrimXmlSpace(Content(Child(parent, ns, name)));
    if (!text.empty()) return text;
  }
  return {};
}

// A title or description that is missing or blank takes the text of the element that
// stands in for it.
void FillField(xmlNodePtr parent, const char* ns, const char* name, const std::string& standIn) {
  if (standIn.empty()) return;
  xmlNodePtr own = Child(parent, ns, name);
  if (own && !TrimXmlSpace(Content(own)).empty()) return;
  if (own) {
    xmlNodeSetContent(own, nullptr);
    xmlNodeAddContent(own, X(standIn));
    return;
  }
  xmlNodePtr added = xmlNewDocNode(parent->doc, nullptr, X(name), nullptr);
  if (!added) return;
  added->ns = parent->ns;  // the feed's own namespace, or none
  xmlNodeAddContent(added, X(standIn));
  if (parent->children) xmlAddPrevSibling(parent->children, added);
  else xmlAddChild(parent, added);
}

// Channel and items without title or description: Dublin Core, iTunes and Media RSS
// elements stand in, as feeds from content systems and podcasts use them. itemParent
// holds the items (the RSS 1.0 root, the RSS 2.0 channel).
void FillMissingFields(xmlNodePtr itemParent, xmlNodePtr channel, const char* ns) {
  if (channel) {
    FillField(channel, ns, "title", FirstText(channel, {{kDc, "title"}}));
    FillField(channel, ns, "description",
              FirstText(channel, {{kDc, "description"}, {kItunes, "summary"}, {kItunes, "subtitle"}}));
  }
  if (!itemParent) return;
  for (xmlNodePtr item = itemParent->children; item; item = item->next) {
    if (!InNs(item, ns, "item")) continue;
    std::string title = FirstText(item, {{kDc, "title"}, {kMedia, "title"}});
    if (title.empty())
      for (const char* holder : {"group", "content"})
        if (title.empty()) title = FirstText(Child(item, kMedia, holder), {{kMedia, "title"}});
    FillField(item, ns, "title", title);
    FillField(item, ns, "description", FirstText(item, {{kDc, "description"}}));
  }
}

std::string JsonText(const nlohmann::json& j, const char* key) {
  auto it = j.find(key);
  return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::string JsonNumber(const nlohmann::json& j, const char* key) {
  auto it = j.find(key);
  return it != j.end() && it->is_number_integer() ? std::to_string(it->get<long long>()) : std::string();
}

// The first author's name: "authors" (1.1) or "author" (1.0).
std::string JsonAuthor(const nlohmann::json& j) {
  auto authors = j.find("authors");
  if (authors != j.end() && authors->is_array() && !authors->empty() && authors->front().is_object())
    return JsonText(authors->front(), "name");
  auto author = j.find("author");
  return author != j.end() && author->is_object() ? JsonText(*author, "name") : std::string();
}

std::string JsonResolved(const std::string& url, const std::string& feedUrl) {
  if (url.empty()) return {};
  XmlText full(xmlBuildURI(X(url), X(feedUrl)));
  return full ? C(full.get()) : url;
}

}  // namespace

std::optional<std::string> JsonFeedToRss(std::string_view bytes, const std::string& feedUrl,
                                         std::string_view contentType) {
  size_t first = bytes.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
  if (first == std::string_view::npos || bytes[first] != '{') return std::nullopt;
  nlohmann::json j = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
  if (j.is_discarded() || !j.is_object()) return std::nullopt;
  // The version URL says it; some servers write a bare "1.1" and say it by the media type.
  const std::string version = JsonText(j, "version");
  const std::string media = MediaType(contentType);
  auto items = j.find("items");
  const bool hasItems = items != j.end() && items->is_array();
  if (version.rfind("https://jsonfeed.org/version/", 0) != 0 && media != "application/feed+json" &&
      !(media == "application/json" && hasItems))
    return std::nullopt;
  RssBuilder rss;
  rss.Channel(JsonText(j, "title"), JsonResolved(JsonText(j, "home_page_url"), feedUrl), JsonText(j, "description"));
  const std::string feedAuthor = JsonAuthor(j);
  if (hasItems) {
    for (const auto& i : *items) {
      if (!i.is_object()) continue;
      RssBuilder::Item item;
      item.title = JsonText(i, "title");
      item.link = JsonResolved(JsonText(i, "url"), feedUrl);
      if (item.link.empty()) item.link = JsonResolved(JsonText(i, "external_url"), feedUrl);
      item.description = JsonText(i, "content_html");
      if (item.description.empty()) item.description = EscapeHtml(JsonText(i, "content_text"));
      if (item.description.empty()) item.description = EscapeHtml(JsonText(i, "summary"));
      item.date = JsonText(i, "date_published");
      if (item.date.empty()) item.date = JsonText(i, "date_modified");
      item.id = JsonText(i, "id");
      if (item.id.empty()) item.id = JsonNumber(i, "id");
      item.author = JsonAuthor(i);
      if (item.author.empty()) item.author = feedAuthor;
      auto attachments = i.find("attachments");
      if (attachments != i.end() && attachments->is_array())
        for (const auto& a : *attachments)
          if (a.is_object())
            item.enclosures.push_back({JsonResolved(JsonText(a, "url"), feedUrl), JsonText(a, "mime_type"),
                                       JsonNumber(a, "size_in_bytes")});
      rss.Add(item);
    }
  }
  return rss.Text();
}

bool LooksLikeHtmlPage(std::string_view bytes, std::string_view contentType) {
  std::string head(bytes.substr(0, 4096));
  for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // A page may come as a fragment without <html>: its first element, or the server's word
  // for it, still says what it is.
  size_t firstTag = head.find_first_not_of(" \t\r\n\xef\xbb\xbf");
  while (firstTag != std::string::npos && head.compare(firstTag, 4, "<!--") == 0) {
    const size_t close = head.find("-->", firstTag);
    firstTag = close == std::string::npos ? close : head.find_first_not_of(" \t\r\n", close + 3);
  }
  const bool fragment = firstTag != std::string::npos &&
                        (head.compare(firstTag, 5, "<head") == 0 || head.compare(firstTag, 5, "<body") == 0);
  return head.find("<html") != std::string::npos || head.find("<!doctype html") != std::string::npos ||
         fragment || MediaType(contentType) == "text/html";
}

std::string HtmlPageReason(std::string_view bytes, const std::string& pageUrl, std::string_view contentType) {
  if (!LooksLikeHtmlPage(bytes, contentType)) return {};
  std::string reason = "an HTML page, not a feed";
  AdvertisedFeeds advertised = FindAdvertisedFeeds(bytes, pageUrl, 1);
  if (!advertised.feeds.empty()) reason += "; its feed: " + advertised.feeds.front().url;
  return reason;
}

std::string Rfc822FromIso(std::string_view iso) {
  int y, mo, d, h, mi, s = 0;
  char rest[32] = {0};
  std::string text(TrimXmlSpace(std::string(iso)));
  int n = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d%31s", &y, &mo, &d, &h, &mi, rest);
  if (n < 5 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59) return {};
  const char* r = rest;
  if (*r == ':') {
    int consumed = 0;
    if (std::sscanf(r, ":%2d%n", &s, &consumed) != 1) return {};
    r += consumed;
    while (*r == '.' || (*r >= '0' && *r <= '9')) ++r;  // fractions of a second
  }
  std::string zone;
  if (*r == 'Z' || *r == 'z' || *r == '\0') zone = "GMT";
  else if ((*r == '+' || *r == '-') && std::strlen(r) == 6 && r[3] == ':')
    zone = std::string(1, *r) + std::string(r + 1, 2) + std::string(r + 4, 2);
  else
    return {};
  long long days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
  const char* wd = kWeekdayAbbreviations[WeekdayOfDays(days)];
  char out[64];
  std::snprintf(out, sizeof out, "%s, %02d %s %04d %02d:%02d:%02d %s", wd, d, kMonthAbbreviations[static_cast<size_t>(mo - 1)], y, h, mi, s,
                zone.c_str());
  return out;
}

bool NormaliseFeed(TRXML& doc, const std::string& feedUrl) {
  try {
    xmlNodePtr root = doc.DocumentElement();
    if (!root) return false;
    if (InNs(root, kAtom, "feed")) {
      std::optional<std::string> rss = AtomToRssText(root, feedUrl);
      return rss && doc.LoadFromString(*rss, feedUrl);
    }
    if (InNs(root, kRdf, "RDF")) {
      DropRss10Prefix(root);
      FillMissingFields(root, Child(root, kRss10, "channel"), kRss10);
      return true;
    }
    if (root->type == XML_ELEMENT_NODE && std::strcmp(C(root->name), "rss") == 0 &&
        (!root->ns || !root->ns->prefix)) {
      if (root->ns) DropDefaultNamespace(root);
      if (!xmlHasProp(root, BAD_CAST "version")) xmlNewProp(root, BAD_CAST "version", BAD_CAST "2.0");
      FillMissingFields(Child(root, nullptr, "channel"), Child(root, nullptr, "channel"), nullptr);
      return true;
    }
  } catch (const std::exception&) {
  }
  return false;
}

}  // namespace norvane
