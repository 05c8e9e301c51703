#include "feeds/xml_path.h"

#include <libxml/tree.h>

#include "feeds/xml_document.h"

namespace norvane {

namespace {

[[noreturn]] void Malformed(std::string_view path, std::string_view why) {
  throw XmlError("malformed path \"" + std::string(path) + "\": " + std::string(why));
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsNameChar(char c) {
  return !IsSpace(c) && c != '/' && c != '[' && c != ']' && c != '"' && c != '=' && c != '\'';
}

// Text content compared without building it when the element holds a single text node.
bool TextEquals(const xmlNode* element, const std::string& literal) {
  const xmlNode* only = element->children;
  if (!only) return literal.empty();
  if (!only->next && (only->type == XML_TEXT_NODE || only->type == XML_CDATA_SECTION_NODE))
    return literal == reinterpret_cast<const char*>(only->content ? only->content : BAD_CAST "");
  xmlChar* content = xmlNodeGetContent(element);
  bool same = literal == reinterpret_cast<const char*>(content ? content : BAD_CAST "");
  xmlFree(content);
  return same;
}

}  // namespace

bool HasQualifiedName(const xmlNode* e, std::string_view name) {
  std::string_view local = reinterpret_cast<const char*>(e->name ? e->name : BAD_CAST "");
  if (e->ns && e->ns->prefix) {
    std::string_view prefix = reinterpret_cast<const char*>(e->ns->prefix);
    return name.size() == prefix.size() + 1 + local.size() && name.substr(0, prefix.size()) == prefix &&
           name[prefix.size()] == ':' && name.substr(prefix.size() + 1) == local;
  }
  return name == local;
}

std::vector<PathStep> ParsePath(std::string_view path) {
  std::vector<PathStep> steps;
  size_t i = 0;
  auto skipSpace = [&] {
    while (i < path.size() && IsSpace(path[i])) ++i;
  };
  auto readName = [&]() {
    size_t start = i;
    while (i < path.size() && IsNameChar(path[i])) ++i;
    return std::string(path.substr(start, i - start));
  };
  if (path.empty()) Malformed(path, "empty");
  for (;;) {
    PathStep step;
    step.name = readName();
    if (step.name.empty()) Malformed(path, "a step has no name");
    if (i < path.size() && path[i] == '[') {
      ++i;
      skipSpace();
      if (i < path.size() && path[i] >= '0' && path[i] <= '9') {
        size_t n = 0;
        while (i < path.size() && path[i] >= '0' && path[i] <= '9') {
          if (n > (SIZE_MAX - 9) / 10) Malformed(path, "index too large");
          n = n * 10 + static_cast<size_t>(path[i++] - '0');
        }
        step.filter = PathStep::Filter::Index;
        step.index = n;
      } else {
        step.child = readName();
        if (step.child.empty()) Malformed(path, "a predicate has no name");
        skipSpace();
        if (i >= path.size() || path[i] != '=') Malformed(path, "'=' expected in predicate");
        ++i;
        skipSpace();
        if (i >= path.size() || path[i] != '"') Malformed(path, "'\"' expected in predicate");
        size_t close = path.find('"', i + 1);
        if (close == std::string_view::npos) Malformed(path, "unterminated literal");
        step.literal = std::string(path.substr(i + 1, close - i - 1));
        i = close + 1;
        step.filter = PathStep::Filter::ChildText;
      }
      skipSpace();
      if (i >= path.size() || path[i] != ']') Malformed(path, "']' expected");
      ++i;
    }
    steps.push_back(std::move(step));
    if (i == path.size()) break;
    if (path[i] != '/') Malformed(path, "'/' expected");
    ++i;
  }
  return steps;
}

std::vector<xmlNodePtr> EvaluatePath(const xmlNode* context, const std::vector<PathStep>& steps) {
  std::vector<xmlNodePtr> current{const_cast<xmlNodePtr>(context)};
  std::vector<xmlNodePtr> next;
  for (const PathStep& step : steps) {
    next.clear();
    for (xmlNodePtr parent : current) {
      size_t seen = 0;
      for (xmlNodePtr c = parent->children; c; c = c->next) {
        if (c->type != XML_ELEMENT_NODE || !HasQualifiedName(c, step.name)) continue;
        switch (step.filter) {
          case PathStep::Filter::None:
            next.push_back(c);
            break;
          case PathStep::Filter::Index:
            if (seen++ == step.index) next.push_back(c);
            break;
          case PathStep::Filter::ChildText:
            for (xmlNodePtr g = c->children; g; g = g->next) {
              if (g->type == XML_ELEMENT_NODE && HasQualifiedName(g, step.child) &&
                  TextEquals(g, step.literal)) {
                next.push_back(c);
                break;
              }
            }
            break;
        }
      }
    }
    current.swap(next);
    if (current.empty()) break;
  }
  return current;
}

}  // namespace norvane
