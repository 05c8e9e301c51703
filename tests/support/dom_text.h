#pragma once
#include <libxml/tree.h>

#include <string>

#include "feeds/rxml.h"

namespace norvane::test {

// The DOM's own text (UTF-8) of the first element at path, without the program's
// conversion to Shift_JIS; "<missing>" when there is none.
inline std::string DomText(const TRXML& x, const char* path) {
  xmlNodePtr n = x.SelectSingleNode(path);
  if (!n) return "<missing>";
  xmlChar* c = xmlNodeGetContent(n);
  std::string s = c ? reinterpret_cast<const char*>(c) : "";
  xmlFree(c);
  return s;
}

}  // namespace norvane::test
