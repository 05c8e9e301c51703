#include "app/start.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/browser.h"
#include "core/gate_lock.h"
#include "core/program_files.h"
#include "core/program_folder.h"
#include "core/route_names.h"
#include "core/settings.h"
#include "core/signal_watch.h"
#include "core/style_choice.h"
#include "core/url_helpers.h"
#include "app/data_module.h"
#include "app/home_choice.h"

namespace norvane {

namespace {

bool MakeFolderCurrent(const std::string& home) {
  const HomeChoice choice = ChooseHome(home, ExecutableFolder(), [](const char* n) { return std::getenv(n); });
  std::string error;
  if (!PrepareHome(choice, error)) {
    std::fprintf(stderr, "norvane: %s\n", error.c_str());
    return false;
  }
  const std::string& folder = choice.folder;
  if (chdir(folder.c_str()) != 0) {
    std::fprintf(stderr, "norvane: %s: %s\n", folder.c_str(), std::strerror(errno));
    return false;
  }
  char cwd[PATH_MAX];
  SetProgramFolder(getcwd(cwd, sizeof cwd) ? cwd : folder);
  return true;
}

}  // namespace

std::string HomeURL(int port) { return "http://localhost:" + std::to_string(port) + "/"; }

void ForwardArgument(int port, const std::optional<std::string>& argument) {
  if (argument) OpenInBrowser(HomeURL(port) + std::string(routes::kAddHtml) + "?u=" + *argument + "/");
}

std::unique_ptr<InstanceLock> StartProcess(const StartOptions& options, int& endStatus) {
  // Every later thread inherits the blocked end signals.
  BlockEndSignals();
  GateLock();
  const std::string localAddress = GetLocalAddress();
  UpdateSettings([&](Settings& s) { s.LocalAddress = localAddress; });
  endStatus = 1;
  if (!MakeFolderCurrent(options.home)) return nullptr;
  MakeWrittenFolders();
  LoadSettings();
  FallBackToDefaultStyle();

  auto instance = std::make_unique<InstanceLock>(ProgramFolder() + "/" + std::string(files::kInstanceLock));
  if (instance->held()) return instance;
  if (!instance->error().empty()) {
    std::fprintf(stderr, "norvane: %s\n", instance->error().c_str());
    return nullptr;
  }
  // Another copy runs here: hand it the argument through the browser and end.
  ForwardArgument(ReadPortSetting(), options.argument);
  FlushBrowserRequests();
  endStatus = 0;
  return nullptr;
}

std::chrono::milliseconds PatrolTick() {
  const char* v = std::getenv("NORVANE_PATROL_TICK_MS");
  if (v && *v) {
    char* end = nullptr;
    long ms = std::strtol(v, &end, 10);
    if (end && *end == '\0' && ms > 0) return std::chrono::milliseconds(ms);
  }
  return std::chrono::milliseconds(600000);
}

SaveTimers::SaveTimers(Shell& shell, TDataM& module) : shell_(shell) {
  books_ = shell_.StartTimer(std::chrono::minutes(1), [&module] { module.SaveChangedBooks(); });
  channels_ =
      shell_.StartTimer(std::chrono::seconds(5), [&module] { module.SaveChannelListIfChanged(); });
}

void SaveTimers::Stop() {
  if (books_) shell_.StopTimer(books_);
  if (channels_) shell_.StopTimer(channels_);
  books_ = channels_ = 0;
}

EndWatchdog::EndWatchdog(std::chrono::seconds bound)
    : thread_([this, bound] {
        std::unique_lock lock(m_);
        if (cv_.wait_for(lock, bound, [this] { return done_; })) return;
        std::fprintf(stderr, "norvane: the end took longer than %lld s; ended without waiting\n",
                     static_cast<long long>(bound.count()));
        std::fflush(stderr);
        _exit(1);
      }) {}

EndWatchdog::~EndWatchdog() {
  {
    std::lock_guard lock(m_);
    done_ = true;
  }
  cv_.notify_all();
}

}  // namespace norvane
