#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace norvane::test {

struct SpawnFiles {
  std::string out, err;  // standard output and error go to these files
  bool append = false;   // else the files are emptied first
};

// Starts argv[0] (found on PATH when it holds no '/') with standard input from /dev/null;
// env is the whole environment, or this process's own when empty. -1 when it cannot start.
pid_t SpawnProcess(std::vector<std::string> argv, std::vector<std::string> env, const SpawnFiles& files);

// This process's environment, one "NAME=value" a line.
std::vector<std::string> OwnEnvironment();

}  // namespace norvane::test
