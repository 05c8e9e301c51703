// The XPath side of the program's stylesheet functions.
#include "feeds/style_functions.h"

#include <libxml/xpathInternals.h>
#include <libxslt/extensions.h>
#include <libxslt/transform.h>
#include <libxslt/variables.h>

#include <string>

#include "feeds/feed_date.h"
#include "feeds/rg_namespace.h"
#include "feeds/safe_html.h"

namespace norvane {

namespace {

// rg:safe-html(string): the safe copy, as nodes of a tree the transformation owns.
void SafeHtmlFunction(xmlXPathParserContextPtr ctxt, int nargs) {
  if (nargs != 1) {
    xmlXPathSetArityError(ctxt);
    return;
  }
  xmlChar* html = xmlXPathPopString(ctxt);
  if (xmlXPathCheckError(ctxt)) {
    xmlFree(html);
    return;
  }
  xsltTransformContextPtr tctxt = xsltXPathGetTransformContext(ctxt);
  xmlDocPtr container = tctxt ? xsltCreateRVT(tctxt) : nullptr;
  if (!container) {
    xmlFree(html);
    xmlXPathSetError(ctxt, XPATH_MEMORY_ERROR);
    return;
  }
  xsltRegisterLocalRVT(tctxt, container);
  xmlNodePtr holder = xmlNewDocNode(container, nullptr, BAD_CAST "safe", nullptr);
  xmlAddChild(reinterpret_cast<xmlNodePtr>(container), holder);
  AppendSafeHtml(html ? reinterpret_cast<const char*>(html) : "", holder);
  xmlFree(html);
  xmlXPathObjectPtr result = xmlXPathNewNodeSet(nullptr);
  for (xmlNodePtr c = holder->children; c; c = c->next) xmlXPathNodeSetAddUnique(result->nodesetval, c);
  valuePush(ctxt, result);
}

void HtmlTextFunction(xmlXPathParserContextPtr ctxt, int nargs) {
  if (nargs != 1) {
    xmlXPathSetArityError(ctxt);
    return;
  }
  xmlChar* html = xmlXPathPopString(ctxt);
  if (xmlXPathCheckError(ctxt)) {
    xmlFree(html);
    return;
  }
  std::string text = SafeHtmlText(html ? reinterpret_cast<const char*>(html) : "");
  xmlFree(html);
  valuePush(ctxt, xmlXPathNewString(BAD_CAST text.c_str()));
}

// rg:iso-date(string).
void IsoDateFunction(xmlXPathParserContextPtr ctxt, int nargs) {
  if (nargs != 1) {
    xmlXPathSetArityError(ctxt);
    return;
  }
  xmlChar* text = xmlXPathPopString(ctxt);
  if (xmlXPathCheckError(ctxt)) {
    xmlFree(text);
    return;
  }
  std::string iso = IsoDate(text ? reinterpret_cast<const char*>(text) : "");
  xmlFree(text);
  valuePush(ctxt, xmlXPathNewString(BAD_CAST iso.c_str()));
}

}  // namespace

void RegisterStyleFunctions() {
  const xmlChar* ns = BAD_CAST kRgNamespace;
  xsltRegisterExtModuleFunction(BAD_CAST "safe-html", ns, &SafeHtmlFunction);
  xsltRegisterExtModuleFunction(BAD_CAST "html-text", ns, &HtmlTextFunction);
  xsltRegisterExtModuleFunction(BAD_CAST "iso-date", ns, &IsoDateFunction);
}

}  // namespace norvane
