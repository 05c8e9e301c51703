#pragma once
#include "app/start.h"

namespace norvane {

// Starts the program without a desktop, runs it until it is told to end, and ends it
// in order. Returns the process exit status.
int RunHeadless(const StartOptions& options);

}  // namespace norvane
