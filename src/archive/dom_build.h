#pragma once
#include <libxml/tree.h>

#include <string_view>

namespace norvane {

// Elements made straight in a document, with texts the document's own (UTF-8), so that
// nothing Shift_JIS lacks is lost between a stored item and a page. Each is appended to
// parent at once; a failure of the library throws std::bad_alloc.

// An element without a namespace holding text (none for empty text).
xmlNodePtr AddDomChild(xmlNodePtr parent, std::string_view name, std::string_view utf8);
// An element in the namespace href, bound to the declaration in scope or declared on it
// with prefix: it is namespaced at once, before any parse of the text.
xmlNodePtr AddNamespacedChild(xmlNodePtr parent, const char* href, const char* prefix, std::string_view local,
                              std::string_view utf8 = {});
// The program's rg namespace.
xmlNodePtr AddRgChild(xmlNodePtr parent, std::string_view local, std::string_view utf8 = {});
void SetDomAttribute(xmlNodePtr element, std::string_view name, std::string_view utf8);

}  // namespace norvane
