#pragma once
#include <optional>
#include <string>

namespace norvane {

// The program path of a group file: "opmls/<file>".
std::string GroupFilePath(const std::string& file);

// A group file name as a browser sent it: the name as given when that file exists;
// otherwise, once more percent-decoded (a modern browser's UTF-8 made Shift_JIS), when
// that one exists; otherwise the name as given. nullopt when the name would leave the
// group folder, or names a link that leads out of it: nothing is to be read for it.
std::optional<std::string> ResolveGroupFile(const std::string& file);

}  // namespace norvane
