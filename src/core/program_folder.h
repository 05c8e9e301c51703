#pragma once
#include <string>

namespace norvane {

// The program folder (absolute disk path): --home DIR, a portable executable's own
// folder or the user's data folder (app/home_choice.h). Every data path of the program is relative to it, and it is made the
// current directory at start.
std::string ProgramFolder();
void SetProgramFolder(std::string absolutePath);

// Creates, in the current directory (the program folder), every folder of it that the
// program writes into and that is missing: "channels" (feed logs), "opmls" (groups) and
// "scrap" (scrapbooks). The shipped folder need not hold them. Failures are left to
// the first write, which reports them.
void MakeWrittenFolders();

// mkdir -p for a folder of the user's own (their program folder, their autostart
// folder): every folder it makes is private to the user, as the XDG base folders are.
// False, with "folder: reason" in error, when one cannot be made.
bool MakeFolderPath(const std::string& path, std::string& error);

// The running executable's own path, links resolved.
std::string ExecutablePath();
// The folder holding the running executable.
std::string ExecutableFolder();

}  // namespace norvane
