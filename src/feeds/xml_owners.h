#pragma once
#include <libxml/tree.h>
#include <libxml/xmlmemory.h>

#include <memory>
#include <string>

namespace norvane {

// Owners of what libxml2 hands out to be freed, and the casts between its text and ours,
// for the code that works on documents beside TRXML (feed conversion, address fixing).
struct XmlFree {
  void operator()(xmlChar* p) const { xmlFree(p); }
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
using XmlText = std::unique_ptr<xmlChar, XmlFree>;
using OwnedDoc = std::unique_ptr<xmlDoc, XmlFree>;

inline const char* C(const xmlChar* s) { return reinterpret_cast<const char*>(s); }
inline const xmlChar* X(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }

}  // namespace norvane
