#pragma once
#include "app/start.h"

namespace norvane {

// Starts the program on the desktop (tray icon, hidden main window, patrol popup),
// runs it until it is told to end, and ends it in order. Returns the exit status.
// Only called when a display was found (app/run_mode).
int RunDesktop(const StartOptions& options, const char* programPath);

}  // namespace norvane
