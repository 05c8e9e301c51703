#include "app/headless_run.h"

#include "app/data_module.h"
#include "app/headless_popup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "core/browser.h"
#include "core/gate_lock.h"
#include "core/headless_shell.h"
#include "core/program_folder.h"
#include "core/settings.h"
#include "core/signal_watch.h"
#include "core/single_instance.h"
#include "core/style_choice.h"
#include "core/texts.h"
#include "core/url_helpers.h"

namespace norvane {

namespace {

std::string HomeURL(int port) { return "http://localhost:" + std::to_string(port) + "/"; }

// A feed URL given on the command line opens the add page for it.
void ForwardArgument(int port, const std::optional<std::string>& argument) {
  if (argument) OpenInBrowser(HomeURL(port) + "add.html?u=" + *argument + "/");
}

bool MakeFolderCurrent(const std::string& home) {
  std::string folder = home.empty() ? ExecutableFolder() : home;
  if (chdir(folder.c_str()) != 0) {
    std::fprintf(stderr, "norvane: %s: %s\n", folder.c_str(), std::strerror(errno));
    return false;
  }
  char cwd[PATH_MAX];
  SetProgramFolder(getcwd(cwd, sizeof cwd) ? cwd : folder);
  return true;
}

// The patrol period: ten minutes, or NORVANE_PATROL_TICK_MS (read once at start), so
// the schedule can be watched in seconds.
std::chrono::milliseconds PatrolTick() {
  const char* v = std::getenv("NORVANE_PATROL_TICK_MS");
  if (v && *v) {
    char* end = nullptr;
    long ms = std::strtol(v, &end, 10);
    if (end && *end == '\0' && ms > 0) return std::chrono::milliseconds(ms);
  }
  return std::chrono::milliseconds(600000);
}

// The orderly end has this long to finish once outstanding work was cancelled; what the
// program keeps is saved before the wait that could outlast it.
constexpr auto kEndBound = std::chrono::seconds(20);

// Ends the process if the orderly end hangs past its bound, so a stop request always
// ends the program.
class EndWatchdog {
 public:
  explicit EndWatchdog(std::chrono::seconds bound)
      : thread_([this, bound] {
          std::unique_lock lock(m_);
          if (cv_.wait_for(lock, bound, [this] { return done_; })) return;
          std::fprintf(stderr, "norvane: the end took longer than %lld s; ended without waiting\n",
                       static_cast<long long>(bound.count()));
          std::fflush(stderr);
          _exit(1);
        }) {}
  ~EndWatchdog() {
    {
      std::lock_guard lock(m_);
      done_ = true;
    }
    cv_.notify_all();
  }
  EndWatchdog(const EndWatchdog&) = delete;
  EndWatchdog& operator=(const EndWatchdog&) = delete;

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool done_ = false;
  std::jthread thread_;  // last: joined before the rest goes
};

std::string EnvOrEmpty(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

}  // namespace

int Run(const StartOptions& options) {
  // No thread may exist before this: they all inherit the blocked end signals.
  BlockEndSignals();
  GateLock();
  const std::string localAddress = GetLocalAddress();
  UpdateSettings([&](Settings& s) { s.LocalAddress = localAddress; });
  if (!MakeFolderCurrent(options.home)) return 1;
  mkdir("channels", 0755);
  LoadSettings();
  FallBackToDefaultStyle();

  InstanceLock instance(ProgramFolder() + "/EX_Mutex_Norvane.lock");
  if (!instance.held()) {
    if (!instance.error().empty()) {
      std::fprintf(stderr, "norvane: %s\n", instance.error().c_str());
      return 1;
    }
    // Another copy runs here: hand it the argument through the browser and end.
    ForwardArgument(ReadPortSetting(), options.argument);
    FlushBrowserRequests();
    return 0;
  }

  // Without a desktop build every run is headless; the flag is kept for scripts.
  HeadlessShell shell;
  UpdateSettings([](Settings& s) {
    s.WebUserName = EnvOrEmpty("NORVANE_WEB_USER");
    s.WebPassWord = EnvOrEmpty("NORVANE_WEB_PASSWORD");
  });
  SignalWatch signals([&shell](int) { shell.loop().Quit(0); });

  int status = 0;
  HeadlessPopupView popupView;
  TForm5 popup(shell, popupView);
  {
    std::unique_ptr<TDataM> module;
    try {
      module = std::make_unique<TDataM>(shell);
      module->StartPatrol(popup, PatrolTick());
      module->RestartServer();
    } catch (const std::exception& e) {
      ConsoleLine(std::string("norvane: ") + e.what());
      return 1;
    }
    // Scrapbooks are also saved while the program runs, not only at its end.
    auto saveBooks =
        shell.StartTimer(std::chrono::minutes(1), [&module] { module->SaveChangedBooks(); });
    // New channel entries reach the disk within seconds, not only at the end.
    auto saveChannels =
        shell.StartTimer(std::chrono::seconds(5), [&module] { module->SaveChannelListIfChanged(); });
    const Settings s = GetSettings();
    if (s.OPEN) OpenInBrowser(HomeURL(s.PORT));
    ForwardArgument(s.PORT, options.argument);

    status = shell.loop().Run();
    shell.StopTimer(saveBooks);
    shell.StopTimer(saveChannels);

    // Fetches, scripts and programs in flight give up at once, so the requests waiting
    // for them are answered within a second or so.
    EndWatchdog watchdog(kEndBound);
    module->EndInOrder();
    module.reset();  // saves the channel list and every scrapbook, under the watchdog
  }
  FlushBrowserRequests();
  return status;
}

}  // namespace norvane
