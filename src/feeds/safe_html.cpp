#include "feeds/safe_html.h"

#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>

#include <array>
#include <cctype>
#include <climits>
#include <memory>
#include <string_view>
#include <unordered_set>

#include "feeds/xml_owners.h"

namespace norvane {

namespace {

constexpr std::array kKeptElements = {
    "a",     "abbr",   "b",      "bdi",  "bdo",     "big",    "blockquote", "br",     "caption",
    "center", "cite",  "code",   "col",  "colgroup", "dd",    "del",        "details", "dfn",
    "div",   "dl",     "dt",     "em",   "figcaption", "figure", "font",    "h1",     "h2",
    "h3",    "h4",     "h5",     "h6",   "hr",      "i",      "img",        "ins",    "kbd",
    "li",    "mark",   "ol",     "p",    "picture", "pre",    "q",          "rp",     "rt",
    "ruby",  "s",      "samp",   "small", "source", "span",   "strike",     "strong", "sub",
    "summary", "sup",  "table",  "tbody", "td",     "tfoot",  "th",         "thead",  "time",
    "tr",    "tt",     "u",      "ul",   "var",     "wbr"};

// Code, or what would act on the page: gone with everything inside.
constexpr std::array kDroppedWithContent = {
    "script", "style",  "title",    "textarea", "xmp",   "noscript", "noembed", "noframes",
    "template", "iframe", "frame",  "frameset", "object", "embed",   "applet",  "param",
    "select", "option", "svg",      "math",     "head",  "audio",    "video",   "canvas",
    "form",   "input",  "button",   "base",     "meta",  "link",     "plaintext", "dialog",
    "portal", "track"};

constexpr std::array kAttributes = {"href",  "src",     "alt",     "title",  "width",   "height",
                                    "colspan", "rowspan", "align", "valign", "cite",    "datetime",
                                    "lang",  "dir",     "start",   "type",   "reversed", "span",
                                    "open",  "color",   "face",    "size",   "media",   "abbr",
                                    "scope", "headers", "border",  "summary"};
constexpr std::array kUrlAttributes = {"href", "src", "cite"};

// Block elements and line breaks: a space in the text form, so words do not run together.
constexpr std::array kSpaced = {"br", "p",  "div", "li",  "tr", "td", "th", "h1",  "h2",
                                "h3", "h4", "h5",  "h6",  "blockquote", "dd", "dt", "hr", "pre",
                                "ul", "ol", "table", "figure", "figcaption", "img"};

// Elements that never hold content. The HTML parser may still nest what follows one of
// them inside it (it does for embed): that content belongs after the element.
constexpr std::array kVoid = {"area", "base", "br",   "col",   "embed", "hr",    "img",
                              "input", "link", "meta", "param", "source", "track", "wbr"};

// Deeper nesting keeps its text only: publishers never need it, and the copy is recursive.
constexpr int kMaxDepth = 64;

// The lists as sets: every element and attribute of every description is looked up.
class NameSet {
 public:
  template <size_t N>
  explicit NameSet(const std::array<const char*, N>& names) : names_(names.begin(), names.end()) {}
  bool Has(const xmlChar* name) const {
    return name && names_.count(reinterpret_cast<const char*>(name)) != 0;
  }

 private:
  std::unordered_set<std::string_view> names_;
};

template <size_t N>
bool In(const std::array<const char*, N>& list, const xmlChar* name) {
  static const NameSet set(list);  // one per list: each list is its own type
  return set.Has(name);
}

struct HtmlDocDeleter {
  void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};
using HtmlDoc = std::unique_ptr<xmlDoc, HtmlDocDeleter>;

HtmlDoc ParseFragment(std::string_view html) {
  // Opened only: a tag the publisher left unterminated must not take in a closing tag
  // of ours.
  std::string text = "<html><body>";
  text.append(html);
  if (text.size() > static_cast<size_t>(INT_MAX)) return nullptr;
  return HtmlDoc(htmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8",
                                HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET));
}

xmlNodePtr BodyOf(xmlDocPtr doc) {
  xmlNodePtr root = doc ? xmlDocGetRootElement(doc) : nullptr;
  for (xmlNodePtr c = root ? root->children : nullptr; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE && xmlStrcmp(c->name, BAD_CAST "body") == 0) return c;
  return nullptr;
}

// A URL a page may carry: http, https, mailto, or relative (no scheme at all); images
// may also be data:image/. Browsers ignore white space and control characters inside a
// scheme, so they are ignored here too.
bool SafeUrl(const xmlChar* value, bool image) {
  std::string scheme;
  for (const xmlChar* p = value; *p; ++p) {
    unsigned char c = *p;
    if (c <= 0x20) continue;
    if (c == ':') {
      if (scheme == "http" || scheme == "https" || scheme == "mailto") return true;
      if (!image || scheme != "data") return false;
      std::string rest;
      for (const xmlChar* q = p + 1; *q && rest.size() < 6; ++q)
        if (*q > 0x20) rest.push_back(static_cast<char>(std::tolower(*q)));
      return rest == "image/";
    }
    if (c == '/' || c == '?' || c == '#') return true;  // relative: the colon is later
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return true;  // no scheme name
    scheme.push_back(static_cast<char>(std::tolower(c)));
  }
  return true;  // no colon: relative
}

void CopyAttributes(xmlNodePtr from, xmlNodePtr to) {
  const bool image = xmlStrcmp(from->name, BAD_CAST "img") == 0 || xmlStrcmp(from->name, BAD_CAST "source") == 0;
  for (xmlAttrPtr a = from->properties; a; a = a->next) {
    if (!In(kAttributes, a->name)) continue;
    xmlChar* value = xmlNodeListGetString(from->doc, a->children, 1);
    const xmlChar* v = value ? value : BAD_CAST "";
    if (!In(kUrlAttributes, a->name) || SafeUrl(v, image)) xmlNewProp(to, a->name, v);
    xmlFree(value);
  }
  if (xmlStrcmp(from->name, BAD_CAST "a") == 0 && xmlHasProp(to, BAD_CAST "href"))
    xmlNewProp(to, BAD_CAST "rel", BAD_CAST "noopener noreferrer nofollow");
}

void CopyChildren(xmlNodePtr from, xmlNodePtr to, int depth);

void CopyNode(xmlNodePtr n, xmlNodePtr to, int depth) {
  if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
    if (n->content) xmlAddChild(to, xmlNewDocText(to->doc, n->content));
    return;
  }
  if (n->type != XML_ELEMENT_NODE) return;
  const bool isVoid = In(kVoid, n->name);
  if (In(kDroppedWithContent, n->name) && !isVoid) return;
  const bool keep = depth < kMaxDepth && In(kKeptElements, n->name) && !In(kDroppedWithContent, n->name);
  xmlNodePtr copy = keep ? xmlNewDocNode(to->doc, nullptr, n->name, nullptr) : nullptr;
  if (copy) {
    xmlAddChild(to, copy);
    CopyAttributes(n, copy);
  }
  // A dropped element's content stays in its place; a void one's follows it.
  CopyChildren(n, copy && !isVoid ? copy : to, depth + 1);
  // A link left with nothing to click (a tag cut off at the end) is no link.
  if (copy && !copy->children && xmlStrcmp(n->name, BAD_CAST "a") == 0) {
    xmlUnlinkNode(copy);
    xmlFreeNode(copy);
  }
}

void CopyChildren(xmlNodePtr from, xmlNodePtr to, int depth) {
  if (depth > kMaxDepth) {
    xmlChar* text = xmlNodeGetContent(from);
    if (text && *text) xmlAddChild(to, xmlNewDocText(to->doc, text));
    xmlFree(text);
    return;
  }
  for (xmlNodePtr c = from->children; c; c = c->next) CopyNode(c, to, depth);
}

void AppendText(xmlNodePtr n, std::string& out, int depth) {
  for (xmlNodePtr c = n->children; c; c = c->next) {
    if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) {
      if (c->content) out += reinterpret_cast<const char*>(c->content);
    } else if (c->type == XML_ELEMENT_NODE && (!In(kDroppedWithContent, c->name) || In(kVoid, c->name))) {
      const bool spaced = In(kSpaced, c->name);
      if (spaced) out.push_back(' ');
      if (depth < kMaxDepth) {
        AppendText(c, out, depth + 1);
      } else if (xmlChar* text = xmlNodeGetContent(c)) {
        out += reinterpret_cast<const char*>(text);
        xmlFree(text);
      }
      if (spaced) out.push_back(' ');
    }
  }
}

}  // namespace

void AppendSafeHtml(std::string_view html, xmlNodePtr parent) {
  if (html.empty() || !parent) return;
  HtmlDoc doc = ParseFragment(html);
  if (xmlNodePtr body = BodyOf(doc.get())) CopyChildren(body, parent, 0);
}

std::string SafeHtmlMarkup(std::string_view html) {
  std::string out;
  if (html.empty()) return out;
  HtmlDoc source = ParseFragment(html);
  xmlNodePtr body = BodyOf(source.get());
  if (!body) return out;
  HtmlDoc safe(htmlNewDocNoDtD(nullptr, nullptr));
  if (!safe) return out;
  xmlNodePtr holder = xmlNewDocNode(safe.get(), nullptr, BAD_CAST "div", nullptr);
  xmlDocSetRootElement(safe.get(), holder);
  CopyChildren(body, holder, 0);
  return HtmlMarkupOfChildren(holder, safe.get()).value_or(out);
}

std::optional<std::string> HtmlMarkupOfChildren(const xmlNode* parent, xmlDocPtr doc) {
  XmlBuffer buffer = NewXmlBuffer();
  xmlOutputBufferPtr output = xmlOutputBufferCreateBuffer(buffer.get(), nullptr);
  if (!output) return std::nullopt;
  for (xmlNodePtr c = parent->children; c; c = c->next) htmlNodeDumpFormatOutput(output, doc, c, "UTF-8", 0);
  const bool failed = output->error != 0;
  xmlOutputBufferClose(output);
  if (failed) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                     static_cast<size_t>(xmlBufferLength(buffer.get())));
}

std::string SafeHtmlText(std::string_view html) {
  std::string out;
  if (html.empty()) return out;
  HtmlDoc doc = ParseFragment(html);
  if (xmlNodePtr body = BodyOf(doc.get())) AppendText(body, out, 0);
  return out;
}

}  // namespace norvane
