#pragma once
#include <string>
#include <string_view>

namespace norvane {

// A data path of the program (Shift_JIS, relative to the program folder, "\" or "/"
// as separators) as a name on the Linux disk: UTF-8 with "/" separators.
std::string DiskPath(std::string_view sjisPath);

// True when the path stays inside the folder it is mapped into: no NUL, not absolute,
// no ".." segment (either separator counts).
bool StaysInside(std::string_view path);

bool FileExists(const std::string& diskPath);       // a regular file
bool DirectoryExists(const std::string& diskPath);

}  // namespace norvane
