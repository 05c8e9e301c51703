#pragma once
#include <functional>
#include <string>

namespace norvane {

// Reads an environment variable; nullptr when it is unset.
using EnvReader = std::function<const char*(const char*)>;

// Whether this run gets the desktop. It must be settled before any Qt application
// exists: creating one without a display ends the process. A run is headless when
// asked to be, when the build has no desktop, or when nothing names a display
// (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM all unset or empty).
bool WantsDesktop(bool headlessFlag, bool desktopBuilt, const EnvReader& env);

}  // namespace norvane
