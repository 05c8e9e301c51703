#pragma once
#include <string>

#include "app/run_mode.h"

namespace norvane {

// Which folder a run uses as its program folder, and why.
struct HomeChoice {
  enum Kind {
    kGiven,     // --home DIR
    kPortable,  // the executable's folder: it holds norvane.ini or channels/
    kUser,      // $XDG_DATA_HOME/norvane, seeded from the installed shipped files
  };
  Kind kind = kGiven;
  std::string folder;   // empty when no user folder can be named (no home folder)
  std::string shipped;  // kUser: the shipped program folder, share/norvane beside bin/
};

// The shipped program folder of the executable in exeFolder: share/norvane of the
// prefix it is installed in, as a disk path.
std::string ShippedFolder(const std::string& exeFolder);

// --home DIR when given; else the executable's folder when it is a program folder of
// its own (a portable copy, as the build makes it); else the user's data folder,
// $XDG_DATA_HOME/norvane, where XDG_DATA_HOME unset, empty or relative means
// ~/.local/share. Touches nothing.
HomeChoice ChooseHome(const std::string& given, const std::string& exeFolder, const EnvReader& env);

// The lines of --help that say which folder this run would use.
std::string DescribeHome(const HomeChoice& choice);

// Makes the user's folder (and missing folders above it, private to the user) and seeds
// it from the shipped files, without overwriting anything the user has; the other kinds
// are used as they are. Writes a line on standard error for what a start added or
// replaced. False, with error set, when the folder cannot be made; a shipped file that
// cannot be copied only gets its line.
bool PrepareHome(const HomeChoice& choice, std::string& error);

}  // namespace norvane
