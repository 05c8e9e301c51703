#pragma once
#include <QApplication>

namespace norvane {

// The application object. Window handlers catch their own errors; notify is only the
// backstop for one that slipped through, so no exception crosses Qt's event handling.
class NorvaneApplication : public QApplication {
 public:
  NorvaneApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace norvane
