#include "groups/import_page.h"

#include "core/form_token.h"
#include "core/html_text.h"
#include "core/sjis.h"
#include "core/texts.h"
#include "feeds/xml_node.h"
#include "gateway/page_builders.h"
#include "groups/opml_import.h"

namespace norvane {

namespace {

// report/added or report/skipped: the lines, at most kReportLines, and how many in all.
void ListLines(TRXML& doc, xmlNodePtr report, const char* name, const std::vector<ImportLine>& lines) {
  xmlNodePtr list = doc.AddChild(report, name, "");
  SetAttribute(list, "count", std::to_string(lines.size()));
  const size_t shown = std::min(lines.size(), kReportLines);
  if (shown < lines.size()) SetAttribute(list, "more", std::to_string(lines.size() - shown));
  for (size_t i = 0; i < shown; ++i) {
    xmlNodePtr feed = doc.AddChild(list, "feed", "");
    SetAttribute(feed, "title", lines[i].title);
    SetAttribute(feed, "xmlUrl", lines[i].url);
    SetAttribute(feed, "group", lines[i].group);
    if (!lines[i].reason.empty()) SetAttribute(feed, "reason", lines[i].reason);
  }
}

}  // namespace

std::string CreateImportHtml(TGP& gp, const ImportUpload& upload) {
  try {
    TRXML doc;
    doc.Clear();
    xmlNodePtr root = doc.CreateRoot("import");
    SetAttribute(root, "token", FormToken());  // for the page's own upload form
    if (upload.posted) {
      xmlNodePtr result = doc.AddChild(root, "result", "");
      xmlNodePtr error = doc.AddChild(result, "error", "1");
      xmlNodePtr message = doc.AddChild(result, "message", "");
      if (upload.hasFile) SetAttribute(doc.AddChild(root, "file", ""), "name", Utf8ToSjis(upload.fileName));
      if (upload.incomplete) {
        SetNodeText(message, T().importIncomplete);
      } else if (!upload.editsAllowed) {
        SetNodeText(message, T().importNoToken);
      } else if (!upload.hasFile || upload.bytes.empty()) {
        SetNodeText(message, T().importNoFile);
      } else if (ImportReport imported = ImportOpml(gp, upload.bytes); !imported.refused.empty()) {
        SetNodeText(message, imported.refused);
      } else {
        SetNodeText(error, "0");
        if (imported.added.empty() && imported.skipped.empty()) SetNodeText(message, T().importNothing);
        else if (!imported.catalogueError.empty()) SetNodeText(message, imported.catalogueError);
        xmlNodePtr report = doc.AddChild(root, "report", "");
        for (const ImportedGroup& g : imported.groups) {
          xmlNodePtr group = doc.AddChild(report, "group", "");
          SetAttribute(group, "title", g.title);
          SetAttribute(group, "file", g.file);
          if (g.made) SetAttribute(group, "made", "on");
          SetAttribute(group, "added", std::to_string(g.added));
        }
        ListLines(doc, report, "added", imported.added);
        ListLines(doc, report, "skipped", imported.skipped);
      }
    }
    return TransformWithStyle(doc, "import.xsl");
  } catch (const std::exception& e) {
    return T().xsltFailed + EscapeHtml(e.what());
  }
}

}  // namespace norvane
