#pragma once
#include <string>

namespace norvane {

// The program folder (absolute disk path): the executable's folder unless --home named
// another. Every data path of the program is relative to it, and it is made the
// current directory at start.
std::string ProgramFolder();
void SetProgramFolder(std::string absolutePath);

// The folder holding the running executable.
std::string ExecutableFolder();

}  // namespace norvane
