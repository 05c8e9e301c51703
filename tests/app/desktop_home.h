#pragma once
// A program folder for the desktop logic tests: the current directory and the program
// folder for the test's length, with every setting at its default.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "core/program_folder.h"
#include "core/settings.h"
#include "support/temp_dir.h"

namespace norvane::test {

class DesktopHome : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(getcwd(cwd_, sizeof cwd_), cwd_);
    ASSERT_EQ(chdir(home_.path().c_str()), 0);
    oldFolder_ = ProgramFolder();
    SetProgramFolder(home_.path());
    ResetSettings();
  }
  void TearDown() override {
    ResetSettings();
    SetProgramFolder(oldFolder_);
    ASSERT_EQ(chdir(cwd_), 0);
  }
  // A style folder under xsls/ (name in UTF-8, as on disk).
  void AddStyle(const std::string& name) const { home_.Write("xsls/" + name + "/rss.xsl", "<x/>"); }

  TempDir home_;
  char cwd_[4096];
  std::string oldFolder_;
};

}  // namespace norvane::test
