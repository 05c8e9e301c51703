#include "support/program_home.h"

#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "core/settings.h"

namespace norvane::test {

ProgramHome::ProgramHome() : oldCwd_(std::filesystem::current_path().string()) {
  if (chdir(path().c_str()) != 0) throw std::runtime_error("cannot enter " + path());
  ResetSettings();
}

ProgramHome::~ProgramHome() {
  ResetSettings();
  if (chdir(oldCwd_.c_str()) != 0) {
    // The folder went away meanwhile: the next fixture enters its own anyway.
  }
}

}  // namespace norvane::test
