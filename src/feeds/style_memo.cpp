// rg:memo, the stylesheet element whose output is kept for the same source subtree.
#include "feeds/style_memo.h"

#include <libxslt/extensions.h>
#include <libxslt/imports.h>
#include <libxslt/transform.h>
#include <libxslt/variables.h>
#include <libxslt/xsltInternals.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "core/keyed_hash.h"
#include "feeds/fragment_cache.h"
#include "feeds/rg_namespace.h"
#include "feeds/safe_html.h"

namespace norvane {

namespace {

// The item renderings of the pages shown lately, by stylesheet, element and item. The
// key is a keyed digest of all of them: a feed cannot make two items share an entry
// without the process's key, and a kept item costs sixteen bytes beside its markup.
FragmentCache& Memo() {
  static FragmentCache cache(6u << 20, 256u << 10);
  return cache;
}

void AppendPiece(std::string& key, char tag, const xmlChar* text) {
  const size_t n = text ? std::strlen(reinterpret_cast<const char*>(text)) : 0;
  key.push_back(tag);
  key += std::to_string(n);
  key.push_back(':');
  if (n) key.append(reinterpret_cast<const char*>(text), n);
}

void AppendName(std::string& key, char tag, const xmlNode* node) {
  AppendPiece(key, tag, node->name);
  if (node->ns) {
    AppendPiece(key, 'u', node->ns->href);
    AppendPiece(key, 'p', node->ns->prefix);
  }
}

// The local names of the rg children of the item that the memo's `except` attribute
// names, space-separated: they change more often than the rest of the item (its mark, its
// keep), so they are left out of the key and a change of theirs replaces what was kept.
// The text is the stylesheet's own, which outlives the transformation.
std::string_view ExceptedNames(xmlNodePtr inst) {
  const xmlAttr* attr = xmlHasProp(inst, BAD_CAST "except");
  if (!attr || !attr->children || !attr->children->content) return {};
  return reinterpret_cast<const char*>(attr->children->content);
}

bool Excepted(const xmlNode* child, std::string_view names) {
  if (names.empty() || child->type != XML_ELEMENT_NODE || !child->ns ||
      !xmlStrEqual(child->ns->href, BAD_CAST kRgNamespace))
    return false;
  const std::string_view name = reinterpret_cast<const char*>(child->name);
  for (size_t at = 0; at < names.size();) {
    const size_t end = std::min(names.find(' ', at), names.size());
    if (names.substr(at, end - at) == name) return true;
    at = end + 1;
  }
  return false;
}

// Everything a template can read of the node's subtree, each piece with its length so
// that no two different subtrees give one key; but the node's children that except
// names (never a deeper one's).
void AppendSubtree(std::string& key, const xmlNode* node, std::string_view except = {}) {
  switch (node->type) {
    case XML_ELEMENT_NODE:
      AppendName(key, 'E', node);
      for (const xmlAttr* a = node->properties; a; a = a->next) {
        AppendName(key, 'A', reinterpret_cast<const xmlNode*>(a));
        for (const xmlNode* v = a->children; v; v = v->next) AppendPiece(key, 'v', v->content);
      }
      for (const xmlNode* c = node->children; c; c = c->next)
        if (!Excepted(c, except)) AppendSubtree(key, c);
      key.push_back('/');
      break;
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
      AppendPiece(key, 'T', node->content);
      break;
    case XML_COMMENT_NODE:
      AppendPiece(key, 'C', node->content);
      break;
    case XML_PI_NODE:
      AppendPiece(key, 'P', node->name);
      AppendPiece(key, 'T', node->content);
      break;
    case XML_ATTRIBUTE_NODE:
      AppendName(key, 'A', node);
      for (const xmlNode* v = node->children; v; v = v->next) AppendPiece(key, 'v', v->content);
      break;
    default:
      key.push_back(static_cast<char>('0' + static_cast<int>(node->type)));
      break;
  }
}

// What the memo keeps for an item: the variant it was made for, its length first, then
// the markup.
std::string KeptValue(const std::string& variant, const std::string& markup) {
  std::string value = std::to_string(variant.size());
  value.push_back(':');
  value += variant;
  value += markup;
  return value;
}

// The markup of a kept value when it was made for variant.
std::optional<std::string> MarkupFor(std::string value, const std::string& variant) {
  const size_t colon = value.find(':');
  if (colon == std::string::npos || value.compare(0, colon, std::to_string(variant.size())) != 0 ||
      value.compare(colon + 1, variant.size(), variant) != 0)
    return std::nullopt;
  value.erase(0, colon + 1 + variant.size());
  return value;
}

// Only HTML output is kept as markup: the page is written with the same serialiser.
bool WritesHtml(xsltStylesheetPtr style) {
  const xmlChar* method = nullptr;
  XSLT_GET_IMPORT_PTR(method, style, method)
  return method && xmlStrEqual(method, BAD_CAST "html");
}

// Runs the element's contents into a tree of their own and writes it as the page would.
std::optional<std::string> Render(xsltTransformContextPtr ctxt, xmlNodePtr node, xmlNodePtr inst) {
  xmlDocPtr container = xsltCreateRVT(ctxt);
  if (!container) return std::nullopt;
  xsltRegisterLocalRVT(ctxt, container);
  xmlNodePtr holder = xmlNewDocNode(container, nullptr, BAD_CAST "memo", nullptr);
  if (!holder) return std::nullopt;
  xmlAddChild(reinterpret_cast<xmlNodePtr>(container), holder);
  // As the engine builds a variable's tree: output and insertion point both the holder's.
  xmlDocPtr output = ctxt->output;
  xmlNodePtr insert = ctxt->insert;
  ctxt->output = container;
  ctxt->insert = holder;
  xsltApplyOneTemplate(ctxt, node, inst->children, nullptr, nullptr);
  ctxt->output = output;
  ctxt->insert = insert;
  if (ctxt->state != XSLT_STATE_OK) return std::nullopt;
  // Written against the page's own document, so the kept markup is byte for byte what
  // the page would hold.
  return HtmlMarkupOfChildren(holder, ctxt->output);
}

void MemoElement(xsltTransformContextPtr ctxt, xmlNodePtr node, xmlNodePtr inst, xsltElemPreCompPtr) {
  if (!ctxt || !node || !inst || !ctxt->insert) return;
  const auto serial = reinterpret_cast<uintptr_t>(ctxt->style ? ctxt->style->_private : nullptr);
  if (!serial || !WritesHtml(ctxt->style)) {
    xsltApplyOneTemplate(ctxt, node, inst->children, nullptr, nullptr);
    return;
  }
  const std::string_view except = ExceptedNames(inst);
  std::string key = std::to_string(serial);
  key.push_back('.');
  key += std::to_string(reinterpret_cast<uintptr_t>(inst));
  key.push_back('.');
  AppendSubtree(key, node, except);
  const std::string digest = ProcessDigest(key);
  // The excepted children the kept markup was made with: when they changed, the markup is
  // made again and takes the place of the old one.
  std::string variant;
  if (!except.empty() && node->type == XML_ELEMENT_NODE)
    for (const xmlNode* c = node->children; c; c = c->next)
      if (Excepted(c, except)) AppendSubtree(variant, c);
  std::optional<std::string> markup;
  if (std::optional<std::string> kept = Memo().Find(digest))
    markup = MarkupFor(*std::move(kept), variant);
  if (!markup) {
    markup = Render(ctxt, node, inst);
    if (!markup) return;  // the error is the transformation's
    Memo().Replace(digest, KeptValue(variant, *markup));  // in the place of another variant's
  }
  if (!markup->empty()) xsltCopyTextString(ctxt, ctxt->insert, BAD_CAST markup->c_str(), 1);
}

std::atomic<uintptr_t> g_lastSerial{0};

}  // namespace

void RegisterStyleMemo() {
  xsltRegisterExtModuleElement(BAD_CAST "memo", BAD_CAST kRgNamespace, nullptr, &MemoElement);
}

void AgeStyleMemo() { Memo().Age(); }

void ClearStyleMemo() { Memo().Clear(); }

void MarkCompiledStyle(xsltStylesheetPtr style) {
  if (style) style->_private = reinterpret_cast<void*>(++g_lastSerial);
}

}  // namespace norvane
