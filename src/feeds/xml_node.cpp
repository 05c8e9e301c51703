#include "feeds/xml_node.h"

#include <cstring>

#include "feeds/xml_encoding.h"
#include "feeds/xml_owners.h"
#include "feeds/xml_path.h"

namespace norvane {

namespace {

const char* Chars(const xmlChar* s) { return reinterpret_cast<const char*>(s ? s : BAD_CAST ""); }

std::string QualifiedUtf8(const xmlNode* n) {
  std::string q;
  if (n->ns && n->ns->prefix) {
    q = Chars(n->ns->prefix);
    q.push_back(':');
  }
  q += Chars(n->name);
  return q;
}

bool AttrHasName(const xmlAttr* a, std::string_view name) {
  return HasQualifiedName(reinterpret_cast<const xmlNode*>(a), name);
}

// The namespace declaration of prefix on this element (prefix empty: the default one).
xmlNsPtr OwnDeclaration(const xmlNode* e, std::string_view prefix) {
  for (xmlNsPtr ns = e->nsDef; ns; ns = ns->next) {
    std::string_view p = ns->prefix ? Chars(ns->prefix) : "";
    if (p == prefix) return ns;
  }
  return nullptr;
}

// "xmlns" gives "", "xmlns:p" gives "p"; other names give false.
bool DeclarationPrefix(std::string_view name, std::string_view& prefix) {
  if (name == "xmlns") {
    prefix = {};
    return true;
  }
  if (name.size() > 6 && name.substr(0, 6) == "xmlns:") {
    prefix = name.substr(6);
    return true;
  }
  return false;
}

void RequireElement(const xmlNode* n, const char* what) {
  if (!n || n->type != XML_ELEMENT_NODE) throw XmlError(std::string(what) + ": not an element");
}

// Takes node out of wherever it is and makes it belong to dest, ready to be linked.
void Detach(xmlNodePtr node, xmlDocPtr dest, xmlNodePtr destParent) {
  if (node->type == XML_DOCUMENT_NODE || node->type == XML_ATTRIBUTE_NODE)
    throw XmlError("this node cannot be moved");
  XmlDocument* from = XmlDocument::Of(node);
  if (node->parent) xmlUnlinkNode(node);
  else if (from) from->Reattached(node);
  if (node->doc != dest) {
    xmlNodePtr scope = destParent && destParent->type == XML_ELEMENT_NODE ? destParent : nullptr;
    if (xmlDOMWrapAdoptNode(nullptr, node->doc, node, dest, scope, 0) != 0) {
      if (from) from->KeepDetached(node);
      throw XmlError("the node cannot be moved to the other document");
    }
  }
}

// After a move inside one document a namespace may be declared out of the node's scope.
void Reconcile(xmlNodePtr node) {
  if (node->type == XML_ELEMENT_NODE) xmlReconciliateNs(node->doc, node);
}

// The children of an element are being replaced: elements among them may still be
// named by node lists, so they are kept; text and the like go at once.
void DropChildren(xmlNodePtr e) {
  XmlDocument* holder = XmlDocument::Of(e);
  xmlNodePtr c = e->children;
  while (c) {
    xmlNodePtr next = c->next;
    xmlUnlinkNode(c);
    if (c->type == XML_ELEMENT_NODE && holder) holder->KeepDetached(c);
    else xmlFreeNode(c);
    c = next;
  }
}

}  // namespace

std::string NodeName(const xmlNode* node) {
  if (!node) return {};
  return DomToSjis(QualifiedUtf8(node));
}

std::string NodeText(const xmlNode* node) {
  if (!node) return {};
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = DomToSjis(Chars(content));
  xmlFree(content);
  return text;
}

void SetNodeText(xmlNodePtr element, std::string_view text) {
  RequireElement(element, "SetNodeText");
  DropChildren(element);
  if (text.empty()) return;
  std::string utf8 = SjisToDom(text);
  xmlNodePtr t = xmlNewDocTextLen(element->doc, X(utf8), static_cast<int>(utf8.size()));
  if (!t) throw std::bad_alloc();
  xmlAddChild(element, t);
}

void CopyNodeText(xmlNodePtr element, const xmlNode* from) {
  RequireElement(element, "CopyNodeText");
  DropChildren(element);
  if (!from) return;
  xmlChar* content = xmlNodeGetContent(from);
  if (!content) return;
  xmlNodePtr t = xmlNewDocText(element->doc, content);
  xmlFree(content);
  if (!t) throw std::bad_alloc();
  xmlAddChild(element, t);
}

bool HasAttribute(const xmlNode* element, std::string_view name) {
  if (!element || element->type != XML_ELEMENT_NODE) return false;
  std::string n = SjisToDom(name);
  std::string_view prefix;
  if (DeclarationPrefix(n, prefix)) return OwnDeclaration(element, prefix) != nullptr;
  for (const xmlAttr* a = element->properties; a; a = a->next)
    if (AttrHasName(a, n)) return true;
  return false;
}

std::string GetAttribute(const xmlNode* element, std::string_view name) {
  if (!element || element->type != XML_ELEMENT_NODE) return {};
  std::string n = SjisToDom(name);
  std::string_view prefix;
  if (DeclarationPrefix(n, prefix)) {
    xmlNsPtr ns = OwnDeclaration(element, prefix);
    return ns ? DomToSjis(Chars(ns->href)) : std::string();
  }
  for (const xmlAttr* a = element->properties; a; a = a->next) {
    if (!AttrHasName(a, n)) continue;
    xmlChar* v = xmlNodeListGetString(element->doc, a->children, 1);
    std::string value = DomToSjis(Chars(v));
    xmlFree(v);
    return value;
  }
  return {};
}

void SetAttribute(xmlNodePtr element, std::string_view name, std::string_view value) {
  RequireElement(element, "SetAttribute");
  std::string n = SjisToDom(name);
  std::string v = SjisToDom(value);
  std::string_view prefix;
  if (DeclarationPrefix(n, prefix)) {
    if (xmlNsPtr ns = OwnDeclaration(element, prefix)) {
      xmlFree(const_cast<xmlChar*>(ns->href));
      ns->href = xmlStrdup(X(v));
    } else {
      std::string p(prefix);
      if (!xmlNewNs(element, X(v), prefix.empty() ? nullptr : X(p)))
        throw XmlError("cannot declare namespace " + n);
    }
    return;
  }
  for (xmlAttrPtr a = element->properties; a; a = a->next) {
    if (AttrHasName(a, n)) {
      xmlSetNsProp(element, a->ns, a->name, X(v));
      return;
    }
  }
  // A prefixed name binds to a namespace in scope when there is one, as a parser would.
  size_t colon = n.find(':');
  if (colon != std::string::npos && colon > 0) {
    std::string p = n.substr(0, colon), local = n.substr(colon + 1);
    if (xmlNsPtr ns = xmlSearchNs(element->doc, element, X(p))) {
      xmlSetNsProp(element, ns, X(local), X(v));
      return;
    }
  }
  if (!xmlSetNsProp(element, nullptr, X(n), X(v))) throw XmlError("cannot set attribute " + n);
}

xmlNodePtr CreateElement(XmlDocument& doc, std::string_view name) {
  std::string n = SjisToDom(name);
  if (n.empty()) throw XmlError("an element needs a name");
  xmlNodePtr e = xmlNewDocNode(doc.doc(), nullptr, X(n), nullptr);
  if (!e) throw std::bad_alloc();
  doc.KeepDetached(e);
  return e;
}

void AppendChild(xmlNodePtr parent, xmlNodePtr node) {
  if (!parent || !node) throw XmlError("AppendChild: no node");
  if (parent->type != XML_ELEMENT_NODE && parent->type != XML_DOCUMENT_NODE)
    throw XmlError("AppendChild: the parent cannot hold children");
  for (xmlNodePtr p = parent; p; p = p->parent)
    if (p == node) throw XmlError("AppendChild: a node cannot hold itself");
  if (parent->type == XML_DOCUMENT_NODE && node->type == XML_ELEMENT_NODE &&
      xmlDocGetRootElement(reinterpret_cast<xmlDocPtr>(parent)) && node->parent != parent)
    throw XmlError("AppendChild: the document already has a root element");
  xmlDocPtr dest = parent->type == XML_DOCUMENT_NODE ? reinterpret_cast<xmlDocPtr>(parent) : parent->doc;
  bool sameDoc = node->doc == dest;
  Detach(node, dest, parent);
  xmlAddChild(parent, node);
  if (sameDoc) Reconcile(node);
}

void InsertBefore(xmlNodePtr ref, xmlNodePtr node) {
  if (!ref || !node) throw XmlError("InsertBefore: no node");
  if (!ref->parent) throw XmlError("InsertBefore: the reference node has no parent");
  if (ref == node) return;
  for (xmlNodePtr p = ref->parent; p; p = p->parent)
    if (p == node) throw XmlError("InsertBefore: a node cannot hold itself");
  xmlNodePtr parent = ref->parent;
  if (parent->type == XML_DOCUMENT_NODE && node->type == XML_ELEMENT_NODE &&
      xmlDocGetRootElement(reinterpret_cast<xmlDocPtr>(parent)) && node->parent != parent)
    throw XmlError("InsertBefore: the document already has a root element");
  bool sameDoc = node->doc == ref->doc;
  Detach(node, ref->doc, parent);
  xmlAddPrevSibling(ref, node);
  if (sameDoc) Reconcile(node);
}

void RemoveNode(xmlNodePtr node) {
  if (!node || !node->parent) return;
  XmlDocument* holder = XmlDocument::Of(node);
  xmlUnlinkNode(node);
  if (holder) holder->KeepDetached(node);
  else xmlFreeNode(node);
}

xmlNodePtr CloneNode(const xmlNode* node) {
  if (!node) throw XmlError("CloneNode: no node");
  xmlNodePtr copy = xmlDocCopyNode(const_cast<xmlNodePtr>(node), node->doc, 1);
  if (!copy) throw std::bad_alloc();
  if (XmlDocument* holder = XmlDocument::Of(node)) holder->KeepDetached(copy);
  return copy;
}

xmlNodePtr FirstChildElement(const xmlNode* node) {
  if (!node) return nullptr;
  for (xmlNodePtr c = node->children; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE) return c;
  return nullptr;
}

xmlNodePtr NextSiblingElement(const xmlNode* node) {
  if (!node) return nullptr;
  for (xmlNodePtr c = node->next; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE) return c;
  return nullptr;
}

NodeList SelectNodes(const xmlNode* context, std::string_view path) {
  std::vector<PathStep> steps = ParsePath(SjisToDom(path));
  if (!context) return {};
  std::vector<xmlNodePtr> nodes = EvaluatePath(context, steps);
  XmlDocument* holder = XmlDocument::Of(context);
  std::shared_ptr<const XmlDocument> keep;
  if (holder) keep = holder->shared_from_this();
  return NodeList(std::move(keep), std::move(nodes));
}

xmlNodePtr SelectSingleNode(const xmlNode* context, std::string_view path) {
  std::vector<PathStep> steps = ParsePath(SjisToDom(path));
  if (!context) return nullptr;
  std::vector<xmlNodePtr> nodes = EvaluatePath(context, steps);
  return nodes.empty() ? nullptr : nodes.front();
}

}  // namespace norvane
