// TRXML::Transform over libxslt.
#include <libxml/parser.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <cstdarg>
#include <cstdio>
#include <memory>

#include "core/trace.h"
#include "feeds/rxml.h"
#include "feeds/style_cache.h"
#include "feeds/style_memo.h"
#include "feeds/xml_encoding.h"

namespace norvane {

namespace {

struct ContextDeleter {
  void operator()(xsltTransformContextPtr c) const { xsltFreeTransformContext(c); }
};
struct DocDeleter {
  void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};

void CollectTransformMessage(void* ctx, const char* format, ...) {
  char buf[1024];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  if (n > 0) static_cast<std::string*>(ctx)->append(buf, std::min(static_cast<size_t>(n), sizeof buf - 1));
}

int WriteTo(void* ctx, const char* data, int len) {
  static_cast<std::string*>(ctx)->append(data, static_cast<size_t>(len));
  return len;
}
int CloseNothing(void*) { return 0; }

std::string Message(std::string text, const char* fallback) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return DomToSjis(text.empty() ? fallback : text);
}

}  // namespace

std::shared_ptr<const CompiledStyle> CompileStyle(const TRXML& stylesheet) {
  XmlInit();
  XsltMessages().clear();
  // Compiling takes the document over and changes it: compile a copy.
  xmlDocPtr copy = xmlCopyDoc(stylesheet.Document(), 1);
  if (!copy) throw std::bad_alloc();
  xsltStylesheetPtr compiled = xsltParseStylesheetDoc(copy);
  if (!compiled) {
    xmlFreeDoc(copy);
    std::string m = XsltMessages();
    XsltMessages().clear();
    const std::string message = Message(m, "not a usable stylesheet");
    WriteErrorLog(TraceArea::Style, "XmlError", message);
    throw XmlError(message);
  }
  MarkCompiledStyle(compiled);
  return std::make_shared<const CompiledStyle>(compiled);
}

std::string TRXML::Transform(const TRXML& stylesheet) const { return Transform(*CompileStyle(stylesheet)); }

std::string TRXML::Transform(const CompiledStyle& compiled) const {
  XmlInit();
  xsltStylesheetPtr style = compiled.get();
  std::unique_ptr<xsltTransformContext, ContextDeleter> ctxt(
      xsltNewTransformContext(style, Document()));
  if (!ctxt) throw std::bad_alloc();
  xsltSetCtxtSecurityPrefs(xsltGetDefaultSecurityPrefs(), ctxt.get());
  // Documents read by document(): no network, no DTD loading, no entity substitution.
  xsltSetCtxtParseOptions(ctxt.get(), XML_PARSE_NONET | XML_PARSE_NOCDATA | XML_PARSE_NOERROR |
                                          XML_PARSE_NOWARNING);
  std::string messages;
  xsltSetTransformErrorFunc(ctxt.get(), &messages, &CollectTransformMessage);

  std::unique_ptr<xmlDoc, DocDeleter> result(
      xsltApplyStylesheetUser(style, Document(), nullptr, nullptr, nullptr, ctxt.get()));
  if (!result || ctxt->state == XSLT_STATE_ERROR || ctxt->state == XSLT_STATE_STOPPED) {
    const std::string message = Message(messages, "the transformation failed");
    WriteErrorLog(TraceArea::Style, "XmlError", message);
    throw XmlError(message);
  }

  std::string text;
  xmlOutputBufferPtr out =
      xmlOutputBufferCreateIO(&WriteTo, &CloseNothing, &text, xmlFindCharEncodingHandler("Shift_JIS"));
  if (!out) throw std::bad_alloc();
  int written = xsltSaveResultTo(out, result.get(), style);
  xmlOutputBufferClose(out);
  if (written < 0) throw XmlError(Message(messages, "the transformation result cannot be written"));
  return text;
}

}  // namespace norvane
