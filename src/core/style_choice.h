#pragma once
#include <string>

namespace norvane {

// Whether "xsls/<name>" is a style folder the program can use: a folder that exists and
// a name that does not leave xsls/.
bool StyleFolderExists(const std::string& name);

// At start: a XSL_STYLE that names no usable style folder would make every page fail,
// so the setting becomes "Default" and one line on standard error says so. Returns
// whether it changed.
bool FallBackToDefaultStyle();

}  // namespace norvane
