#pragma once
#include <string>

namespace norvane {

// The program folder (absolute disk path): the executable's folder unless --home named
// another. Every data path of the program is relative to it, and it is made the
// current directory at start.
std::string ProgramFolder();
void SetProgramFolder(std::string absolutePath);

// Creates, in the current directory (the program folder), every folder of it that the
// program writes into and that is missing: "channels" (feed logs), "opmls" (groups) and
// "scrap" (scrapbooks). The shipped folder need not hold them. Failures are left to
// the first write, which reports them.
void MakeWrittenFolders();

// The folder holding the running executable.
std::string ExecutableFolder();

}  // namespace norvane
