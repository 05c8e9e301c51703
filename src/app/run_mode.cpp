#include "app/run_mode.h"

namespace norvane {

bool WantsDesktop(bool headlessFlag, bool desktopBuilt, const EnvReader& env) {
  if (headlessFlag || !desktopBuilt) return false;
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* v = env(name);
    if (v && *v) return true;
  }
  return false;
}

}  // namespace norvane
