#include "feeds/xml_document.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxslt/security.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltutils.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "feeds/style_functions.h"
#include "feeds/xml_encoding.h"

namespace norvane {

namespace {

// The libraries' own messages (stylesheet compile errors, XPath and encoding errors)
// go to the calling thread's buffer instead of the console; Transform reports them.
// Bounded, since nothing else ever empties it.
void CollectMessage(void*, const char* format, ...) {
  std::string& messages = XsltMessages();
  if (messages.size() > 8192) return;
  char buf[1024];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  if (n > 0) messages.append(buf, std::min(static_cast<size_t>(n), sizeof buf - 1));
}

void InitOnce() {
  xmlInitParser();
  xsltInit();
  // Feeds and files that name Shift_JIS mean the Windows code page.
  for (const char* alias : {"Shift_JIS", "Shift-JIS", "SJIS", "X-SJIS", "MS_Kanji", "Windows-31J"})
    xmlAddEncodingAlias("CP932", alias);
  RegisterShiftJisHandler();
  xsltSecurityPrefsPtr prefs = xsltNewSecurityPrefs();
  xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
  xsltSetSecurityPrefs(prefs, XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
  xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
  xsltSetSecurityPrefs(prefs, XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
  xsltSetDefaultSecurityPrefs(prefs);  // kept for the life of the process
  xsltSetGenericErrorFunc(nullptr, &CollectMessage);
  RegisterStyleFunctions();
  xmlThrDefSetGenericErrorFunc(nullptr, &CollectMessage);  // threads started from now on
}

}  // namespace

std::string& XsltMessages() {
  thread_local std::string messages;
  return messages;
}

void XmlInit() {
  static std::once_flag once;
  std::call_once(once, InitOnce);
  // libxml2 keeps its message sink per thread; threads older than InitOnce need it too.
  thread_local const bool quiet = [] {
    xmlSetGenericErrorFunc(nullptr, &CollectMessage);
    return true;
  }();
  (void)quiet;
}

int ParseOptionsFor(std::string_view bytes) {
  // "ENTITY" in any width of ASCII: UTF-16 and UTF-32 put NUL bytes between the letters.
  static constexpr std::string_view kWord = "ENTITY";
  size_t matched = 0;
  for (char c : bytes) {
    if (c == '\0') continue;
    matched = c == kWord[matched] ? matched + 1 : (c == kWord[0] ? 1 : 0);
    if (matched == kWord.size()) return kXmlParseOptions;
  }
  return kXmlParseOptions | XML_PARSE_HUGE;
}

XmlDocument::XmlDocument(xmlDocPtr doc) : doc_(doc) {
  if (!doc_) doc_ = xmlNewDoc(BAD_CAST "1.0");
  if (!doc_) throw std::bad_alloc();
  doc_->_private = this;
}

XmlDocument::~XmlDocument() {
  for (xmlNodePtr n : detached_) {
    if (n->parent == nullptr && n->doc == doc_) xmlFreeNode(n);
  }
  xmlFreeDoc(doc_);
}

XmlDocument* XmlDocument::Of(const xmlNode* n) {
  return n && n->doc ? static_cast<XmlDocument*>(n->doc->_private) : nullptr;
}

}  // namespace norvane
