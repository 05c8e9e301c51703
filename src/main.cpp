#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include <unistd.h>

#include "app/autostart.h"
#include "app/headless_run.h"
#include "app/home_choice.h"
#include "core/allocator_tuning.h"
#include "core/program_folder.h"
#include "app/run_mode.h"
#ifdef NORVANE_DESKTOP_BUILD
#include "ui/desktop_run.h"
#endif
#ifdef NORVANE_DESKTOP_PROGRAM
#include <cerrno>
#endif

namespace {

const char* Env(const char* name) { return std::getenv(name); }

void PrintUsage(const std::string& home) {
  std::printf(
      "usage: norvane [--headless] [--home DIR] [URL]\n"
      "       norvane [--home DIR] --autostart on|off\n"
      "       norvane --version\n"
      "\n"
      "  --headless      run without the desktop (implied when there is no display)\n"
      "  --home DIR      use DIR as the program folder\n"
      "  --autostart on  start Norvane with your desktop session (writes\n"
      "                  $XDG_CONFIG_HOME/autostart/norvane.desktop, ~/.config when unset);\n"
      "                  off removes it\n"
      "  --version       print the name and the version\n"
      "  URL             a feed to add: opens the add page for it in the browser\n"
      "\n"
      "Without --home the program folder is the executable's folder when it holds\n"
      "norvane.ini or channels/ (a portable copy), else $XDG_DATA_HOME/norvane\n"
      "(~/.local/share/norvane when unset): made at the first start and given the files the\n"
      "program ships; a later start adds newly shipped files and never overwrites one you\n"
      "changed.\n"
      "%s\n"
      "\n"
      "Environment: NORVANE_WEB_USER and NORVANE_WEB_PASSWORD set the credentials other\n"
      "machines must give; NORVANE_BROWSER names the command that opens pages;\n"
      "NORVANE_TRACE=1 writes a line to standard error at every trace point; a comma list\n"
      "of areas (fetch,merge,router,script,patrol,style,group,scrap) keeps only those.\n",
      norvane::DescribeHome(norvane::ChooseHome(home, norvane::ExecutableFolder(), Env)).c_str());
}

// --autostart on|off: the entry starts this executable (with --home when given).
int Autostart(const std::string& value, const std::string& home) {
  if (value != "on" && value != "off") {
    std::fprintf(stderr, "norvane: --autostart takes on or off\n");
    return 2;
  }
  std::string folder;
  if (!home.empty()) {
    std::error_code ec;
    folder = std::filesystem::absolute(home, ec).lexically_normal().string();
  }
  std::string message;
  const bool ok = norvane::SetAutostart(value == "on", norvane::ExecutablePath(), folder, Env, message);
  std::fprintf(ok ? stdout : stderr, "norvane: %s\n", message.c_str());
  return ok ? 0 : 1;
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
  bool help = false;
  std::optional<std::string> autostart;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      help = true;
    } else if (a == "--version") {
      std::puts("Norvane " NORVANE_VERSION);
      return 0;
    } else if (a == "--autostart") {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "norvane: --autostart needs on or off\n");
        return 2;
      }
      autostart = argv[++i];
    } else if (a.rfind("--autostart=", 0) == 0) {
      autostart = a.substr(12);
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
  // After the loop, so --help names the folder a --home given after it chooses.
  if (help) {
    PrintUsage(opts.home);
    return 0;
  }
  if (autostart) return Autostart(*autostart, opts.home);
#if defined(NORVANE_DESKTOP_BUILD) || defined(NORVANE_DESKTOP_PROGRAM)
  constexpr bool desktopBuilt = true;
#else
  constexpr bool desktopBuilt = false;
#endif
  // Settled before any Qt application exists: one without a display ends the process.
  if (norvane::WantsDesktop(opts.headless, desktopBuilt, Env)) {
#if defined(NORVANE_DESKTOP_BUILD)
    return norvane::RunDesktop(opts, argv[0]);
#elif defined(NORVANE_DESKTOP_PROGRAM)
    ExecDesktop(argv);
#endif
  }
  return norvane::RunHeadless(opts);
}
