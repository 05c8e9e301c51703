#include "ui/norvane_application.h"

#include <exception>
#include <string>

#include "core/shell.h"

namespace norvane {

NorvaneApplication::NorvaneApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool NorvaneApplication::notify(QObject* receiver, QEvent* event) {
  std::string message;
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "unknown error";
  }
  if (shell_) shell_->ShowErrorAndEnd(message);
  return false;
}

}  // namespace norvane
