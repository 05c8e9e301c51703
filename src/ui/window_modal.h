#pragma once
#include <QDialog>

namespace norvane {

// Runs dialog modally to its own parent windows only: the tray icon (a window of its
// own) and the windows outside that line keep taking input while it is open.
inline int ExecWindowModal(QDialog& dialog) {
  dialog.setWindowModality(Qt::WindowModal);
  return dialog.exec();
}

}  // namespace norvane
