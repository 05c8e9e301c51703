#pragma once
#include <string>
#include <string_view>

#include "groups/group_catalogue.h"

namespace norvane {

// What the import page was sent.
struct ImportUpload {
  bool posted = false;        // a POST: an import was asked for
  bool editsAllowed = true;   // false: a page of the browser sent no form token
  bool incomplete = false;    // the body broke off or was malformed
  bool hasFile = false;       // the form's file field "opml" came
  std::string fileName;       // as the browser named it (UTF-8)
  std::string_view bytes;     // the file
};

// The import page "import.html": the upload form, and after a POST the report of what
// was added to which group and what was skipped and why (see ImportOpml), through the
// style's "import.xsl" (Default's when the style has none). A POST without the form
// token, one that broke off and one without a file import nothing and say so. Report
// lists are cut at kReportLines each, their full counts given. Never throws: a failure
// is its message, escaped.
std::string CreateImportHtml(TGP& gp, const ImportUpload& upload);

inline constexpr size_t kReportLines = 1000;

}  // namespace norvane
