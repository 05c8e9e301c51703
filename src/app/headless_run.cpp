#include "app/headless_run.h"

#include <cstdlib>
#include <memory>

#include "app/data_module.h"
#include "app/headless_popup.h"
#include "app/start.h"
#include "core/browser.h"
#include "core/headless_shell.h"
#include "core/settings.h"
#include "core/signal_watch.h"

namespace norvane {

namespace {

std::string EnvOrEmpty(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

}  // namespace

int RunHeadless(const StartOptions& options) {
  int endStatus = 0;
  std::unique_ptr<InstanceLock> instance = StartProcess(options, endStatus);
  if (!instance) return endStatus;

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
    SaveTimers saves(shell, *module);
    const Settings s = GetSettings();
    if (s.OPEN) OpenInBrowser(HomeURL(s.PORT));
    ForwardArgument(s.PORT, options.argument);

    status = shell.loop().Run();
    saves.Stop();

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
