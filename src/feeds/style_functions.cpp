// The XPath side of the program's stylesheet functions.
#include "feeds/style_functions.h"

#include <libxml/xpathInternals.h>
#include <libxslt/extensions.h>
#include <libxslt/transform.h>
#include <libxslt/variables.h>

#include <optional>
#include <string>

#include "feeds/feed_date.h"
#include "feeds/fragment_cache.h"
#include "feeds/rg_namespace.h"
#include "feeds/safe_html.h"
#include "feeds/style_memo.h"

namespace norvane {

namespace {

// The one string argument of a function; nullopt (with the XPath error set) when the
// call has another number of arguments or the argument cannot be had.
std::optional<std::string> StringArgument(xmlXPathParserContextPtr ctxt, int nargs) {
  if (nargs != 1) {
    xmlXPathSetArityError(ctxt);
    return std::nullopt;
  }
  xmlChar* value = xmlXPathPopString(ctxt);
  std::optional<std::string> text;
  if (!xmlXPathCheckError(ctxt)) text = value ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return text;
}

// rg:safe-html(string): the safe copy, as nodes of a tree the transformation owns.
void SafeHtmlFunction(xmlXPathParserContextPtr ctxt, int nargs) {
  std::optional<std::string> html = StringArgument(ctxt, nargs);
  if (!html) return;
  xsltTransformContextPtr tctxt = xsltXPathGetTransformContext(ctxt);
  xmlDocPtr container = tctxt ? xsltCreateRVT(tctxt) : nullptr;
  if (!container) {
    xmlXPathSetError(ctxt, XPATH_MEMORY_ERROR);
    return;
  }
  xsltRegisterLocalRVT(tctxt, container);
  xmlNodePtr holder = xmlNewDocNode(container, nullptr, BAD_CAST "safe", nullptr);
  xmlAddChild(reinterpret_cast<xmlNodePtr>(container), holder);
  AppendSafeHtml(*html, holder);
  xmlXPathObjectPtr result = xmlXPathNewNodeSet(nullptr);
  for (xmlNodePtr c = holder->children; c; c = c->next) xmlXPathNodeSetAddUnique(result->nodesetval, c);
  valuePush(ctxt, result);
}

// The sanitised descriptions of the logs shown lately: a page shown again costs no
// parse. Sized for a group page or two (a group of 100 feeds fits), not for every log:
// memory is what a small program must not hoard. A huge description is made every time.
FragmentCache& MarkupCache() {
  static FragmentCache cache(6u << 20, 1u << 20);
  return cache;
}
FragmentCache& TextCache() {
  static FragmentCache cache(2u << 20, 1u << 20);
  return cache;
}

// rg:safe-markup(string): the safe copy as markup, for disable-output-escaping.
void SafeMarkupFunction(xmlXPathParserContextPtr ctxt, int nargs) {
  if (std::optional<std::string> html = StringArgument(ctxt, nargs)) {
    std::string markup = MarkupCache().Get(*html, [](std::string_view h) { return SafeHtmlMarkup(h); });
    valuePush(ctxt, xmlXPathNewString(BAD_CAST markup.c_str()));
  }
}

// rg:html-text(string).
void HtmlTextFunction(xmlXPathParserContextPtr ctxt, int nargs) {
  if (std::optional<std::string> html = StringArgument(ctxt, nargs)) {
    std::string text = TextCache().Get(*html, [](std::string_view h) { return SafeHtmlText(h); });
    valuePush(ctxt, xmlXPathNewString(BAD_CAST text.c_str()));
  }
}

// rg:iso-date(string).
void IsoDateFunction(xmlXPathParserContextPtr ctxt, int nargs) {
  if (std::optional<std::string> text = StringArgument(ctxt, nargs))
    valuePush(ctxt, xmlXPathNewString(BAD_CAST IsoDate(*text).c_str()));
}

}  // namespace

void AgeStyleCaches() {
  MarkupCache().Age();
  TextCache().Age();
  AgeStyleMemo();
}

void ClearStyleCaches() {
  MarkupCache().Clear();
  TextCache().Clear();
  ClearStyleMemo();
}

void RegisterStyleFunctions() {
  const xmlChar* ns = BAD_CAST kRgNamespace;
  xsltRegisterExtModuleFunction(BAD_CAST "safe-html", ns, &SafeHtmlFunction);
  xsltRegisterExtModuleFunction(BAD_CAST "safe-markup", ns, &SafeMarkupFunction);
  xsltRegisterExtModuleFunction(BAD_CAST "html-text", ns, &HtmlTextFunction);
  xsltRegisterExtModuleFunction(BAD_CAST "iso-date", ns, &IsoDateFunction);
  RegisterStyleMemo();
}

}  // namespace norvane
