#pragma once
#include <map>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace norvane::test {

// The path of a command on PATH; empty when it is not installed.
std::string FindTool(const std::string& name);

// Runs a program to its end (bounded: killed after 60 s) with standard input from
// /dev/null; returns its exit status, or -1. env is the whole environment.
int RunToEnd(const std::vector<std::string>& argv, const std::vector<std::string>& env,
             std::string* out = nullptr, std::string* err = nullptr);

// This process's environment without the variables named, with those given added.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& without,
                                         const std::map<std::string, std::string>& with);

// The build this suite belongs to installed with `cmake --install` into a temporary
// prefix, removed with everything in it when the object goes.
class InstalledCopy {
 public:
  InstalledCopy();
  bool ok() const { return status_ == 0; }
  const std::string& log() const { return log_; }  // what cmake --install said
  const TempDir& prefix() const { return prefix_; }
  std::string Bin(const std::string& program = "norvane") const { return prefix_ / ("bin/" + program); }

 private:
  TempDir prefix_;
  int status_ = -1;
  std::string log_;
};

}  // namespace norvane::test
