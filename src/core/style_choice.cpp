#include "core/style_choice.h"

#include "core/disk_path.h"
#include "core/headless_shell.h"
#include "core/program_files.h"
#include "core/settings.h"

namespace norvane {

bool StyleFolderExists(const std::string& name) {
  return !name.empty() && name != "." && StaysInside(name) && DirectoryExists(DiskPath(files::StyleFolder(name)));
}

bool FallBackToDefaultStyle() {
  const std::string style = GetSettings().XSL_STYLE;
  if (StyleFolderExists(style)) return false;
  UpdateSettings([](Settings& s) { s.XSL_STYLE = "Default"; });
  ConsoleLine("norvane: XSL_STYLE=" + style + ": xsls/" + style + " is no style folder; Default is used");
  return true;
}

}  // namespace norvane
