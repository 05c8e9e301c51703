#include "feeds/item_addresses.h"

#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>
#include <libxml/tree.h>
#include <libxml/uri.h>

#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "core/plain_text.h"
#include "feeds/xml_node.h"
#include "feeds/xml_owners.h"

namespace norvane {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool IsWebAddress(std::string_view url) {
  return StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://");
}

// The guid of an item that names the item's page.
std::string PermalinkGuid(const xmlNode* item) {
  xmlNodePtr guid = SelectSingleNode(item, "guid");
  if (!guid) return {};
  if (HasAttribute(guid, "isPermaLink") && TrimXmlSpace(GetAttribute(guid, "isPermaLink")) != "true") return {};
  std::string text = TrimXmlSpace(NodeText(guid));
  return IsWebAddress(text) ? text : std::string();
}

constexpr const char* kContentNs = "http://purl.org/rss/1.0/modules/content/";

std::string TakeText(xmlChar* raw) {
  XmlText owned(raw);
  return owned ? C(owned.get()) : "";
}

// Whether the address names its scheme ("http:", "mailto:", "javascript:"): such an
// address is left exactly as it came.
bool HasScheme(std::string_view url) {
  size_t colon = url.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!alpha(url[0])) return false;
  for (size_t i = 1; i < colon; ++i) {
    char c = url[i];
    if (!alpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

// The absolute form of a relative address (UTF-8); empty when it is absolute already,
// empty or cannot be resolved.
std::string Absolute(std::string_view value, const std::string& base) {
  std::string ref = TrimXmlSpace(value);
  if (ref.empty() || HasScheme(ref) || base.empty()) return {};
  std::string full = TakeText(xmlBuildURI(X(ref), X(base)));
  return full == ref ? std::string() : full;
}

// The base of addresses inside node: xml:base in scope, resolved against the fallback.
std::string BaseOf(const xmlNode* node, const std::string& fallback) {
  std::string declared = TakeText(xmlNodeGetBase(node->doc, node));
  if (declared.empty()) return fallback;
  std::string full = TakeText(xmlBuildURI(X(declared), X(fallback)));
  return full.empty() ? fallback : full;
}

// Replaces the children of an element by one text node holding utf8 as it is.
void SetDomText(xmlNodePtr element, const std::string& utf8) {
  xmlNodeSetContent(element, nullptr);
  xmlAddChild(element, xmlNewDocText(element->doc, X(utf8)));
}

void ResolveText(xmlNodePtr element, const std::string& fallback) {
  if (!element) return;
  std::string full = Absolute(TakeText(xmlNodeGetContent(element)), BaseOf(element, fallback));
  if (!full.empty()) SetDomText(element, full);
}

void ResolveAttribute(xmlNodePtr element, const char* name, const std::string& base) {
  XmlText value(xmlGetNoNsProp(element, BAD_CAST name));
  if (!value) return;
  std::string full = Absolute(C(value.get()), base);
  if (!full.empty()) xmlSetProp(element, BAD_CAST name, X(full));
}

bool HoldsAddressAttribute(std::string_view html) {
  for (size_t i = 0; i < html.size(); ++i) {
    size_t len = StartsWithNoCase(html.substr(i), "href") ? 4 : StartsWithNoCase(html.substr(i), "src") ? 3 : 0;
    if (!len) continue;
    size_t k = i + len;
    while (k < html.size() && (html[k] == ' ' || html[k] == '\t' || html[k] == '\n' || html[k] == '\r')) ++k;
    if (k < html.size() && html[k] == '=') return true;
  }
  return false;
}

// The publisher's HTML with its relative href and src made absolute; empty when none was
// relative (the text then stays as it came, byte for byte).
std::string ResolveHtml(const std::string& html, const std::string& base) {
  if (!HoldsAddressAttribute(html)) return {};
  // A container of its own, so text at the top level is not put into a paragraph.
  const std::string wrapped = "<div>" + html + "</div>";
  OwnedDoc page(htmlReadMemory(wrapped.data(), static_cast<int>(wrapped.size()), nullptr, "UTF-8",
                               HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET |
                                   HTML_PARSE_NOIMPLIED));
  xmlNodePtr root = page ? xmlDocGetRootElement(page.get()) : nullptr;
  if (!root) return {};
  bool changed = false;
  std::vector<xmlNodePtr> stack{root};
  while (!stack.empty()) {
    xmlNodePtr n = stack.back();
    stack.pop_back();
    if (n->type != XML_ELEMENT_NODE) continue;
    for (const char* name : {"href", "src"}) {
      XmlText value(xmlGetNoNsProp(n, BAD_CAST name));
      if (!value) continue;
      std::string full = Absolute(C(value.get()), base);
      if (full.empty()) continue;
      xmlSetProp(n, BAD_CAST name, X(full));
      changed = true;
    }
    for (xmlNodePtr c = n->children; c; c = c->next) stack.push_back(c);
  }
  if (!changed) return {};
  XmlBuffer out = NewXmlBuffer();
  // Everything the parser kept, the container's content first.
  for (xmlNodePtr top = page->children; top; top = top->next) {
    if (top == root) {
      for (xmlNodePtr c = root->children; c; c = c->next) htmlNodeDump(out.get(), page.get(), c);
    } else if (top->type == XML_ELEMENT_NODE || top->type == XML_TEXT_NODE) {
      htmlNodeDump(out.get(), page.get(), top);
    }
  }
  return C(xmlBufferContent(out.get()));
}

void ResolveMarkup(xmlNodePtr element, const std::string& fallback) {
  std::string html = TakeText(xmlNodeGetContent(element));
  std::string resolved = ResolveHtml(html, BaseOf(element, fallback));
  if (!resolved.empty()) SetDomText(element, resolved);
}

bool IsElement(const xmlNode* n, const char* ns, const char* name) {
  if (!n || n->type != XML_ELEMENT_NODE || std::strcmp(C(n->name), name) != 0) return false;
  if (!ns) return !n->ns || !n->ns->prefix;  // written without a prefix
  return n->ns && n->ns->href && std::strcmp(C(n->ns->href), ns) == 0;
}

void ResolveItem(xmlNodePtr item, const std::string& fallback) {
  for (xmlNodePtr c = item->children; c; c = c->next) {
    if (IsElement(c, nullptr, "link")) {
      ResolveText(c, fallback);
    } else if (IsElement(c, nullptr, "guid")) {
      XmlText permalink(xmlGetNoNsProp(c, BAD_CAST "isPermaLink"));
      if (!permalink || TrimXmlSpace(C(permalink.get())) == "true") ResolveText(c, fallback);  // else an opaque id
    } else if (IsElement(c, nullptr, "enclosure")) {
      ResolveAttribute(c, "url", BaseOf(c, fallback));
    } else if (IsElement(c, nullptr, "description") || IsElement(c, kContentNs, "encoded")) {
      ResolveMarkup(c, fallback);
    }
  }
}

// What relative addresses of the items resolve against when no xml:base says otherwise.
std::string FallbackBase(const TRXML& doc, const FeedPaths& paths, const std::string& feedUrl) {
  xmlNodePtr link = doc.SelectSingleNode(paths.link);
  if (!link) return feedUrl;
  std::string text = TrimXmlSpace(TakeText(xmlNodeGetContent(link)));
  if (text.empty()) return feedUrl;
  std::string full = HasScheme(text) ? text : TakeText(xmlBuildURI(X(text), X(BaseOf(link, feedUrl))));
  return IsWebAddress(full) ? full : feedUrl;
}

void GuidAsLink(TRXML& doc, xmlNodePtr item) {
  xmlNodePtr link = SelectSingleNode(item, "link");
  if (link && !TrimXmlSpace(NodeText(link)).empty()) return;
  std::string guid = PermalinkGuid(item);
  if (guid.empty()) return;
  if (link)
    SetNodeText(link, guid);
  else
    doc.AddChild(item, "link", guid);
}

}  // namespace

void PrepareArrivedItems(TRXML& doc, const FeedPaths& paths, const std::string& feedUrl) {
  try {
    const std::string fallback = FallbackBase(doc, paths, feedUrl);
    for (xmlNodePtr item : doc.SelectNodes(paths.items)) {
      ResolveItem(item, fallback);
      GuidAsLink(doc, item);
    }
  } catch (const std::exception&) {
    // Items left as they came still merge, as before.
  }
}

}  // namespace norvane
