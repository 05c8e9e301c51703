#pragma once
#include <optional>
#include <string>

namespace norvane {

struct StartOptions {
  bool headless = false;
  std::string home;                     // empty: the executable's folder
  std::optional<std::string> argument;  // a feed URL to add
};

// Starts the program, runs it until it is told to end, and ends it in order.
// Returns the process exit status.
int Run(const StartOptions& options);

}  // namespace norvane
