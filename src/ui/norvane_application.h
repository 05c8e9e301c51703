#pragma once
#include <QApplication>

namespace norvane {

// The application object. Window handlers catch their own errors; notify is only the
// backstop for one that slipped through, so no exception crosses Qt's event handling.
class Shell;

// The backstop for an exception that escapes a Qt event despite the slots' own guards:
// it goes to the shell's error handler, set once the shell exists.
class NorvaneApplication : public QApplication {
 public:
  NorvaneApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
  void SetShell(Shell* shell) { shell_ = shell; }

 private:
  Shell* shell_ = nullptr;
};

}  // namespace norvane
