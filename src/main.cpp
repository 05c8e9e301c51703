#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/headless_run.h"
#include "core/allocator_tuning.h"
#include "app/run_mode.h"
#ifdef NORVANE_DESKTOP_BUILD
#include "ui/desktop_run.h"
#endif

namespace {

void PrintUsage() {
  std::puts(
      "usage: norvane [--headless] [--home DIR] [URL]\n"
      "\n"
      "  --headless   run without the desktop (implied when there is no display)\n"
      "  --home DIR   use DIR as the program folder (default: the executable's folder)\n"
      "  URL          a feed to add: opens the add page for it in the browser\n"
      "\n"
      "Environment: NORVANE_WEB_USER and NORVANE_WEB_PASSWORD set the credentials other\n"
      "machines must give; NORVANE_BROWSER names the command that opens pages;\n"
      "NORVANE_TRACE=1 writes a line to standard error at every trace point; a comma list\n"
      "of areas (fetch,merge,router,script,patrol,style,group,scrap) keeps only those.");
}

}  // namespace

int main(int argc, char** argv) {
  norvane::TuneAllocator();
  norvane::StartOptions opts;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      PrintUsage();
      return 0;
    } else if (a == "--headless") {
      opts.headless = true;
    } else if (a == "--home") {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "norvane: --home needs a folder\n");
        return 2;
      }
      opts.home = argv[++i];
    } else if (a.rfind("--home=", 0) == 0) {
      opts.home = a.substr(7);
    } else if (a.size() > 2 && a.rfind("--", 0) == 0) {
      std::fprintf(stderr, "norvane: unknown option %s (see --help)\n", a.c_str());
      return 2;
    } else if (!opts.argument) {
      opts.argument = a;  // further arguments are ignored
    }
  }
#ifdef NORVANE_DESKTOP_BUILD
  constexpr bool desktopBuilt = true;
#else
  constexpr bool desktopBuilt = false;
#endif
  // Settled before any Qt application exists: one without a display ends the process.
  if (norvane::WantsDesktop(opts.headless, desktopBuilt, [](const char* n) { return std::getenv(n); })) {
#ifdef NORVANE_DESKTOP_BUILD
    return norvane::RunDesktop(opts, argv[0]);
#endif
  }
  return norvane::RunHeadless(opts);
}
