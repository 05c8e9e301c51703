#pragma once
#include <libxml/tree.h>

#include <string>
#include <string_view>

#include "feeds/xml_document.h"

namespace norvane {

// Node operations on the documents of TRXML. Texts and names are Shift_JIS, as everywhere
// in the program; the DOM keeps UTF-8. Move and remove nodes only through these, so that
// a removed node stays alive while a node list may still name it.

// The qualified name as written ("rg:log", "title").
std::string NodeName(const xmlNode* node);
// The text content of a node and all its descendants.
std::string NodeText(const xmlNode* node);
// Replaces the children of an element by one text node (none for empty text).
void SetNodeText(xmlNodePtr element, std::string_view text);
// The same with the text content of another node, DOM to DOM: a character that program
// text (Shift_JIS) cannot hold, or holds only as another one (¥ is '\\' there), stays.
void CopyNodeText(xmlNodePtr element, const xmlNode* from);

// Attributes by qualified name. "xmlns" and "xmlns:p" read and set namespace
// declarations. GetAttribute gives empty text for a missing attribute.
bool HasAttribute(const xmlNode* element, std::string_view name);
std::string GetAttribute(const xmlNode* element, std::string_view name);
void SetAttribute(xmlNodePtr element, std::string_view name, std::string_view value);

// A new element of doc under the qualified name, without a namespace of its own; it is
// detached until placed.
xmlNodePtr CreateElement(XmlDocument& doc, std::string_view name);

// Places node as the last child of parent (an element or a document node), or
// immediately before ref. The node leaves wherever it was, also another document.
void AppendChild(xmlNodePtr parent, xmlNodePtr node);
void InsertBefore(xmlNodePtr ref, xmlNodePtr node);
// Detaches the node; it stays alive until its document goes.
void RemoveNode(xmlNodePtr node);
// A detached deep copy in the same document.
xmlNodePtr CloneNode(const xmlNode* node);

// Element navigation; nullptr when there is none.
xmlNodePtr FirstChildElement(const xmlNode* node);
xmlNodePtr NextSiblingElement(const xmlNode* node);

// Path selection relative to a node (an element or a document node).
NodeList SelectNodes(const xmlNode* context, std::string_view path);
xmlNodePtr SelectSingleNode(const xmlNode* context, std::string_view path);

}  // namespace norvane
