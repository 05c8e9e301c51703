#pragma once
// A program folder for the desktop logic tests: the current directory and the program
// folder for the test's length, with every setting at its default.

#include <gtest/gtest.h>

#include <string>

#include "core/program_folder.h"
#include "core/settings.h"
#include "support/program_home.h"

namespace norvane::test {

class DesktopHome : public ::testing::Test {
 protected:
  void SetUp() override {
    oldFolder_ = ProgramFolder();
    SetProgramFolder(home_.path());
  }
  void TearDown() override { SetProgramFolder(oldFolder_); }
  // A style folder under xsls/ (name in UTF-8, as on disk).
  void AddStyle(const std::string& name) const { home_.Write("xsls/" + name + "/rss.xsl", "<x/>"); }

  ProgramHome home_;
  std::string oldFolder_;
};

}  // namespace norvane::test
