#pragma once
// Shared parts of the desktop tests: a program folder, a host that records what the
// main window asks of the program, message boxes closed as a user would, screenshots.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "app/main_form_host.h"
#include "core/program_folder.h"
#include "core/settings.h"
#include "support/temp_dir.h"

namespace norvane::test {

class RecordingHost : public MainFormHost {
 public:
  bool IsIdle() const override { return idle; }
  void RestartServer() override { events.push_back("restart"); }
  std::vector<std::string> AccessLogLines() const override { return log; }
  void OpenUrl(const std::string& url) override { urls.push_back(url); }
  void EndProgram() override { events.push_back("end"); }
  bool Ending() const override { return false; }

  bool idle = true;
  std::vector<std::string> events;
  std::vector<std::string> urls;
  std::vector<std::string> log;
};

// A test before may have ended the application (a shell's error asks it to quit): until
// the application's own loop has run once more, every modal loop would return at once.
inline void ClearPendingQuit() {
  QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
  QCoreApplication::exec();
}

// The current directory and program folder for the test's length, with two styles.
class DesktopFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearPendingQuit();
    ASSERT_EQ(getcwd(cwd_, sizeof cwd_), cwd_);
    ASSERT_EQ(chdir(home_.path().c_str()), 0);
    oldFolder_ = ProgramFolder();
    SetProgramFolder(home_.path());
    ResetSettings();
    home_.Write("xsls/Default/rss.xsl", "<x/>");
    home_.Write("xsls/Compact/rss.xsl", "<x/>");
  }
  void TearDown() override {
    ResetSettings();
    SetProgramFolder(oldFolder_);
    ASSERT_EQ(chdir(cwd_), 0);
  }

  TempDir home_;
  char cwd_[4096];
  std::string oldFolder_;
};

// Closes the next message box that opens, with its default button, after onBox has
// seen it. Returns the timer that watches for it (it stops and deletes itself once the
// box came; a test that expects none deletes it, so it cannot act in a later test).
inline QPointer<QTimer> CloseNextMessageBox(std::function<void(QMessageBox&)> onBox) {
  auto* watch = new QTimer(qApp);  // goes with the application if no box comes
  watch->setInterval(10);
  QObject::connect(watch, &QTimer::timeout, [watch, onBox] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    watch->stop();
    watch->deleteLater();
    onBox(*box);
    QAbstractButton* button = box->defaultButton();
    if (!button && !box->buttons().isEmpty()) button = box->buttons().first();
    if (button) button->click();
  });
  watch->start();
  return watch;
}

// Runs act on the next modal window of type W once it is up (act closes it, or opens
// another). The watching timer goes with the application if none comes.
template <class W>
inline void WhenModal(std::function<void(W&)> act) {
  auto* watch = new QTimer(qApp);
  watch->setInterval(10);
  QObject::connect(watch, &QTimer::timeout, [watch, act] {
    auto* w = dynamic_cast<W*>(QApplication::activeModalWidget());
    if (!w || !w->isVisible()) return;
    watch->stop();
    watch->deleteLater();
    act(*w);
  });
  watch->start();
}

// Saves a picture of widget as build-asan/screenshots/ui-<name>.png.
inline bool Screenshot(QWidget& widget, const std::string& name) {
  const QString dir = QString::fromStdString(NORVANE_SCREENSHOT_DIR);
  QDir().mkpath(dir);
  QPixmap shot = widget.grab();
  return !shot.isNull() && shot.save(dir + "/ui-" + QString::fromStdString(name) + ".png");
}

}  // namespace norvane::test
