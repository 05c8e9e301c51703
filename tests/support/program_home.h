#pragma once
#include <string>

#include "support/temp_dir.h"

namespace norvane::test {

// A temporary program folder made the current directory, with every setting at its
// default, for as long as the object lives; then the old directory comes back and the
// settings are reset again. Every program path is relative to it.
class ProgramHome : public TempDir {
 public:
  ProgramHome();  // throws when the folder cannot be entered
  ~ProgramHome();

 private:
  std::string oldCwd_;
};

}  // namespace norvane::test
