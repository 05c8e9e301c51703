#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "app/headless_run.h"
#include "core/allocator_tuning.h"
#include "app/run_mode.h"
#ifdef NORVANE_DESKTOP_BUILD
#include "ui/desktop_run.h"
#endif
#ifdef NORVANE_DESKTOP_PROGRAM
#include <cerrno>

#include "core/program_folder.h"
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

#ifdef NORVANE_DESKTOP_PROGRAM
// The desktop is a program of its own beside this one: a headless run never maps Qt.
// It is handed the same arguments; only when it cannot be started does this run go on
// headless, with one line saying why.
void ExecDesktop(char** argv) {
  const std::string path = norvane::ExecutableFolder() + "/" NORVANE_DESKTOP_PROGRAM;
  execv(path.c_str(), argv);
  std::fprintf(stderr, "norvane: the desktop %s cannot be started (%s); running headless\n", path.c_str(),
               std::strerror(errno));
}
#endif

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
#if defined(NORVANE_DESKTOP_BUILD) || defined(NORVANE_DESKTOP_PROGRAM)
  constexpr bool desktopBuilt = true;
#else
  constexpr bool desktopBuilt = false;
#endif
  // Settled before any Qt application exists: one without a display ends the process.
  if (norvane::WantsDesktop(opts.headless, desktopBuilt, [](const char* n) { return std::getenv(n); })) {
#if defined(NORVANE_DESKTOP_BUILD)
    return norvane::RunDesktop(opts, argv[0]);
#elif defined(NORVANE_DESKTOP_PROGRAM)
    ExecDesktop(argv);
#endif
  }
  return norvane::RunHeadless(opts);
}
