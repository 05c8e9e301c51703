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

// The real path of a file on disk (links followed) when it lies inside the real path of
// the folder; empty otherwise, and when either does not exist. A link inside the folder
// may point elsewhere inside it; the folder itself may be a link.
std::string ResolveInside(const std::string& folderDisk, const std::string& fileDisk);

bool FileExists(const std::string& diskPath);       // a regular file
bool DirectoryExists(const std::string& diskPath);

}  // namespace norvane
