#pragma once
#include <libxml/tree.h>

#include <optional>
#include <string>
#include <string_view>

namespace norvane {

// The publisher's HTML (item descriptions), made safe to place in a page of the gateway.
// It is read by the XML library's HTML parser, so what comes out is always well formed.
// Kept: a list of harmless elements (links, images, lists, emphasis, tables, line
// breaks and the like) with harmless attributes. Dropped with their content: scripts,
// styles, frames, plugins, forms, SVG and MathML, media, head, title, meta and base.
// Dropped with their content kept: every other element. Attributes: no event handlers,
// no style, class or id (they would dress the text as the gateway's own controls), and
// URLs only with http, https, mailto or a relative address (images also data:image/).

// Appends the safe copy of html (UTF-8) to parent, whose document receives the nodes.
void AppendSafeHtml(std::string_view html, xmlNodePtr parent);
// The same safe copy as HTML markup (UTF-8), serialised as a page of the HTML output
// method writes it: for a style to put out as it stands (disable-output-escaping).
std::string SafeHtmlMarkup(std::string_view html);
// The text of html alone (UTF-8), with a space where a block or a line break was: for
// styles that show descriptions as plain text.
std::string SafeHtmlText(std::string_view html);

// The children of parent as the HTML output method writes them into a page of doc (whose
// encoding decides how attribute text is written); nullopt when they cannot be written.
std::optional<std::string> HtmlMarkupOfChildren(const xmlNode* parent, xmlDocPtr doc);

}  // namespace norvane
