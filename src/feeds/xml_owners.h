#pragma once
#include <libxml/tree.h>
#include <libxml/xmlmemory.h>

#include <memory>
#include <new>
#include <string>

namespace norvane {

// Owners of what libxml2 hands out to be freed, and the casts between its text and ours,
// for the code that works on documents beside TRXML (feed conversion, address fixing)
// and for TRXML's own writing.
struct XmlFree {
  void operator()(xmlChar* p) const { xmlFree(p); }
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
  void operator()(xmlBuffer* b) const { xmlBufferFree(b); }
};
using XmlText = std::unique_ptr<xmlChar, XmlFree>;
using OwnedDoc = std::unique_ptr<xmlDoc, XmlFree>;
using XmlBuffer = std::unique_ptr<xmlBuffer, XmlFree>;

// An empty buffer that doubles as it grows. The library's default grows it by just what
// each write needs, copying a large document over and over while it is written.
inline XmlBuffer NewXmlBuffer() {
  XmlBuffer b(xmlBufferCreate());
  if (!b) throw std::bad_alloc();
  xmlBufferSetAllocationScheme(b.get(), XML_BUFFER_ALLOC_DOUBLEIT);
  return b;
}

inline const char* C(const xmlChar* s) { return reinterpret_cast<const char*>(s); }
inline const xmlChar* X(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }

// An attribute as the DOM holds it (UTF-8); empty when missing.
inline std::string DomAttr(const xmlNode* n, const char* name) {
  XmlText v(xmlGetProp(n, reinterpret_cast<const xmlChar*>(name)));
  return v ? C(v.get()) : "";
}

}  // namespace norvane
