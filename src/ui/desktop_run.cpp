#include "ui/desktop_run.h"

#include <QSessionManager>

#include <cstdio>
#include <memory>
#include <optional>

#include "app/data_module.h"
#include "app/desktop_texts.h"
#include "app/main_form_host.h"
#include "core/browser.h"
#include "core/settings.h"
#include "core/signal_watch.h"
#include "ui/desktop_look.h"
#include "ui/main_form.h"
#include "ui/norvane_application.h"
#include "ui/organizer_window.h"
#include "ui/patrol_popup_view.h"
#include "ui/qt_shell.h"
#include "ui/tray_images.h"

namespace norvane {

int RunDesktop(const StartOptions& options, const char* programPath) {
  int endStatus = 0;
  std::unique_ptr<InstanceLock> instance = StartProcess(options, endStatus);
  if (!instance) return endStatus;

  // The application, with the main window hidden at first. Qt sees no arguments of
  // ours: the first one is a feed URL.
  int argc = 1;
  char* argv[] = {const_cast<char*>(programPath), nullptr};
  NorvaneApplication app(argc, argv);
  QApplication::setApplicationName("Norvane");
  // Ties the windows to the installed desktop entry (its icon, on Wayland too).
  QGuiApplication::setDesktopFileName("norvane");
  QApplication::setQuitOnLastWindowClosed(false);
  InstallJapaneseLook(app);

  // The global error handler: whatever escapes a task, timer or window handler of the
  // GUI thread is shown in an error box, and then the program ends in order.
  QtShell shell;
  app.SetShell(&shell);
  SignalWatch endSignals([&shell](int) { shell.Quit(0); });
  // The session ending ends the program like a signal: in order, with its saves.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                   [&shell](QSessionManager&) { shell.Quit(0); });

  QtPopupView popupView;
  TForm5 popup(shell, popupView);
  int status = 0;
  {
    std::unique_ptr<TDataM> module;
    std::unique_ptr<DataModuleHost> host;
    std::unique_ptr<TForm1> form;
    shell.Guard([&] {
      module = std::make_unique<TDataM>(shell);
      host = std::make_unique<DataModuleHost>(
          *module, [&shell] { shell.Quit(0); }, [&shell] { return shell.ending(); });
      host->SetOrganizer(popup, [&shell](TDataM& m) { RunOrganizerWindow(m, shell); });
      form = std::make_unique<TForm1>(*host, shell);  // the settings tab filled
      module->StartPatrol(popup, PatrolTick());
      module->RestartServer();
      const bool tray = form->ShowTrayIcon();
      shell.SetTrayImage(kIdleTrayImage);
      if (!tray) {
        std::fprintf(stderr, "%s\n", DT().noTray.c_str());
        std::fflush(stderr);
      }
      const Settings s = GetSettings();
      if (s.OPEN) OpenInBrowser(HomeURL(s.PORT));
      if (!s.MINIMIZE || !tray) form->show();
      ForwardArgument(s.PORT, options.argument);
    });

    std::optional<SaveTimers> saves;
    if (!shell.ending() && module) {
      saves.emplace(shell, *module);
      status = app.exec();
      saves->Stop();
    }
    if (shell.ending()) status = shell.exitCode();

    // The end: the window and the tray go first, then outstanding work is cancelled,
    // what the program keeps is saved and the server stops, all under the bound.
    EndWatchdog watchdog(kEndBound);
    shell.SetTraySink(nullptr);
    if (form) form->SetEnding();
    form.reset();
    host.reset();
    if (module) module->EndInOrder();
    module.reset();  // saves the channel list and every scrapbook
  }
  app.SetShell(nullptr);
  FlushBrowserRequests();
  return status;
}

}  // namespace norvane
