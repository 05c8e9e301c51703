#pragma once
// Applies a shipped stylesheet the way the page builders do (parse the stylesheet file,
// xsltParseStylesheetDoc, xsltApplyStylesheet, xsltSaveResultToString) and reads the
// page back with the HTML parser, so tests can ask what a user would see.

#include <libxml/HTMLparser.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/sjis.h"
#include "feeds/xml_document.h"

namespace norvane::test {

struct XmlDocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
struct XsltSheetFree {
  void operator()(xsltStylesheet* s) const { xsltFreeStylesheet(s); }
};
struct XPathContextFree {
  void operator()(xmlXPathContext* c) const { xmlXPathFreeContext(c); }
};
struct XPathObjectFree {
  void operator()(xmlXPathObject* o) const { xmlXPathFreeObject(o); }
};
struct XsltSecurityFree {
  void operator()(xsltSecurityPrefs* p) const { xsltFreeSecurityPrefs(p); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocFree>;
using XsltSheetPtr = std::unique_ptr<xsltStylesheet, XsltSheetFree>;

inline std::string StylePath(const std::string& style, const std::string& name) {
  return std::string(NORVANE_DATA_DIR) + "/xsls/" + style + "/" + name;
}

inline void UseCp932ForShiftJis() {
  // Shift_JIS means CP932 throughout the program (circled digits, NEC and IBM rows).
  xmlAddEncodingAlias("CP932", "Shift_JIS");
  xmlAddEncodingAlias("CP932", "SHIFT_JIS");
}

inline XsltSheetPtr LoadSheet(const std::string& path) {
  XmlInit();  // the program's own stylesheet functions
  UseCp932ForShiftJis();
  xmlDoc* doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOWARNING);
  if (!doc) throw std::runtime_error("stylesheet does not parse: " + path);
  xsltStylesheet* sheet = xsltParseStylesheetDoc(doc);
  if (!sheet) {
    xmlFreeDoc(doc);
    throw std::runtime_error("not a stylesheet: " + path);
  }
  return XsltSheetPtr(sheet);
}

// Input text is Shift_JIS with its declaration, as the builders hand it over.
inline std::string Transform(xsltStylesheet* sheet, const std::string& sjisXml) {
  UseCp932ForShiftJis();
  XmlDocPtr in(xmlReadMemory(sjisXml.data(), static_cast<int>(sjisXml.size()), "input.xml",
                             nullptr, XML_PARSE_NONET));
  if (!in) throw std::runtime_error("input does not parse");
  // The program forbids stylesheets to write; the shipped ones must not need it.
  std::unique_ptr<xsltSecurityPrefs, XsltSecurityFree> prefs(xsltNewSecurityPrefs());
  xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
  xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
  xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
  xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
  xsltTransformContext* ctxt = xsltNewTransformContext(sheet, in.get());
  xsltSetCtxtSecurityPrefs(prefs.get(), ctxt);
  XmlDocPtr out(xsltApplyStylesheetUser(sheet, in.get(), nullptr, nullptr, nullptr, ctxt));
  const bool failed = ctxt->state != XSLT_STATE_OK;
  xsltFreeTransformContext(ctxt);
  if (!out || failed) throw std::runtime_error("transform failed");
  xmlChar* buf = nullptr;
  int len = 0;
  if (xsltSaveResultToString(&buf, &len, out.get(), sheet) != 0)
    throw std::runtime_error("result not serialised");
  std::string text(reinterpret_cast<const char*>(buf ? buf : BAD_CAST ""), buf ? len : 0);
  xmlFree(buf);
  return text;
}

// A page as the browser would read it, queried with XPath; answers are UTF-8.
class Page {
 public:
  explicit Page(std::string sjisHtml) : sjis_(std::move(sjisHtml)), utf8_(SjisToUtf8(sjis_)) {
    UseCp932ForShiftJis();
    doc_.reset(htmlReadMemory(sjis_.data(), static_cast<int>(sjis_.size()), "page.html",
                              "Shift_JIS",
                              HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET));
    if (!doc_) throw std::runtime_error("page does not parse as HTML");
  }

  const std::string& sjis() const { return sjis_; }
  const std::string& text() const { return utf8_; }

  // String values of every node the path selects.
  std::vector<std::string> All(const std::string& xpath) const {
    std::unique_ptr<xmlXPathContext, XPathContextFree> ctx(xmlXPathNewContext(doc_.get()));
    std::unique_ptr<xmlXPathObject, XPathObjectFree> res(
        xmlXPathEvalExpression(BAD_CAST xpath.c_str(), ctx.get()));
    if (!res) throw std::runtime_error("bad path: " + xpath);
    std::vector<std::string> values;
    if (res->type == XPATH_NODESET && res->nodesetval) {
      for (int i = 0; i < res->nodesetval->nodeNr; ++i) {
        xmlChar* v = xmlNodeGetContent(res->nodesetval->nodeTab[i]);
        values.emplace_back(v ? reinterpret_cast<const char*>(v) : "");
        xmlFree(v);
      }
    }
    return values;
  }

  std::string One(const std::string& xpath) const {
    auto v = All(xpath);
    return v.empty() ? std::string() : v.front();
  }

  size_t Count(const std::string& xpath) const { return All(xpath).size(); }

 private:
  std::string sjis_;
  std::string utf8_;
  XmlDocPtr doc_;
};

// Input documents are written in UTF-8 in the tests and handed over in Shift_JIS.
inline std::string SjisDoc(const std::string& utf8Body) {
  return Utf8ToSjis("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n" + utf8Body);
}

inline Page Render(const std::string& style, const std::string& sheet, const std::string& utf8Body) {
  XsltSheetPtr s = LoadSheet(StylePath(style, sheet));
  return Page(Transform(s.get(), SjisDoc(utf8Body)));
}

}  // namespace norvane::test
