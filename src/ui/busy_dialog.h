#pragma once
#include <QDialog>
#include <QTimer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace norvane {

class BackgroundTask;

// The wait for a fetch the organizer asked for: what is read, a bar that shows it is
// busy, and キャンセル. It closes itself once the task has finished. キャンセル (also Esc
// and the close box) cancels the task and waits, saying so, until it has given up.
class BusyDialog : public QDialog {
 public:
  BusyDialog(const QString& message, BackgroundTask& task, QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QPushButton* Button1 = nullptr;

 protected:
  void reject() override;

 private:
  BackgroundTask& task_;
  QTimer poll_;
};

}  // namespace norvane
