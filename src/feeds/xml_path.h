#pragma once
#include <libxml/tree.h>

#include <string>
#include <string_view>
#include <vector>

namespace norvane {

// One step of a selection path: an element name as written in the document (prefix,
// colon and local name) with at most one predicate.
struct PathStep {
  enum class Filter { None, Index, ChildText };
  std::string name;     // UTF-8
  Filter filter = Filter::None;
  size_t index = 0;     // Filter::Index: the n-th match among one parent's children, from 0
  std::string child;    // Filter::ChildText: a child element's name...
  std::string literal;  // ...and the text it must hold (UTF-8)
};

// Parses "a/b[c=\"x\"]/d[0]" (UTF-8). Throws XmlError on a malformed path.
std::vector<PathStep> ParsePath(std::string_view utf8Path);

// The elements the path selects from context (a document node or an element), in
// document order. From a document node the first step matches the root element.
std::vector<xmlNodePtr> EvaluatePath(const xmlNode* context, const std::vector<PathStep>& steps);

// True when the element's qualified name, as written, equals name (UTF-8).
bool HasQualifiedName(const xmlNode* element, std::string_view name);

}  // namespace norvane
