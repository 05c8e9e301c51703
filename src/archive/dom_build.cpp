#include "archive/dom_build.h"

#include <new>
#include <string>

#include "feeds/rg_namespace.h"
#include "feeds/xml_owners.h"

namespace norvane {

namespace {

void AppendText(xmlNodePtr e, std::string_view utf8) {
  if (utf8.empty()) return;
  xmlNodePtr t = xmlNewDocTextLen(e->doc, reinterpret_cast<const xmlChar*>(utf8.data()), static_cast<int>(utf8.size()));
  if (!t) throw std::bad_alloc();
  xmlAddChild(e, t);
}

xmlNodePtr NewChild(xmlNodePtr parent, std::string_view name) {
  xmlNodePtr e = xmlNewDocNode(parent->doc, nullptr, X(std::string(name)), nullptr);
  if (!e) throw std::bad_alloc();
  xmlAddChild(parent, e);
  return e;
}

}  // namespace

xmlNodePtr AddDomChild(xmlNodePtr parent, std::string_view name, std::string_view utf8) {
  xmlNodePtr e = NewChild(parent, name);
  AppendText(e, utf8);
  return e;
}

xmlNodePtr AddNamespacedChild(xmlNodePtr parent, const char* href, const char* prefix, std::string_view local,
                              std::string_view utf8) {
  xmlNodePtr e = NewChild(parent, local);
  xmlNsPtr ns = xmlSearchNsByHref(parent->doc, parent, BAD_CAST href);
  if (!ns) ns = xmlNewNs(e, BAD_CAST href, BAD_CAST prefix);
  if (!ns) throw std::bad_alloc();
  xmlSetNs(e, ns);
  AppendText(e, utf8);
  return e;
}

xmlNodePtr AddRgChild(xmlNodePtr parent, std::string_view local, std::string_view utf8) {
  return AddNamespacedChild(parent, kRgNamespace, "rg", local, utf8);
}

void SetDomAttribute(xmlNodePtr element, std::string_view name, std::string_view utf8) {
  if (!xmlSetProp(element, X(std::string(name)), X(std::string(utf8)))) throw std::bad_alloc();
}

}  // namespace norvane
