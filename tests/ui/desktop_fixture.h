#pragma once
// Shared parts of the desktop tests: a program folder, a host that records what the
// main window asks of the program, message boxes closed as a user would, screenshots.

#include <cxxabi.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <typeinfo>
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

// How long a test waits for a window to come or to go before it fails: a test whose
// wait would never end fails instead of hanging.
inline constexpr std::chrono::milliseconds kDeadline{20000};

// The watchers below are timers of the application with these names while they watch.
// What a test leaves is removed at its end (EndWatches), so none acts in a later test.
inline constexpr const char* kModalWatch = "test-watch-modal";
inline constexpr const char* kMessageBoxWatch = "test-watch-message-box";

inline std::string TypeName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                              std::free);
  return status == 0 && name ? name.get() : type.name();
}

// Removes the watchers a test left. With failUnseen, a WhenModal whose window never
// came fails the test.
inline void EndWatches(bool failUnseen) {
  for (QTimer* t : qApp->findChildren<QTimer*>(kModalWatch, Qt::FindDirectChildrenOnly)) {
    if (failUnseen) ADD_FAILURE() << "no " << t->property("awaited").toString().toStdString() << " came";
    delete t;
  }
  for (QTimer* t : qApp->findChildren<QTimer*>(kMessageBoxWatch, Qt::FindDirectChildrenOnly)) delete t;
}

// Closes a modal window that stays open longer than kDeadline, failing the test that
// waits on it: every modal loop a test enters ends. Installed once, by the tests' main.
inline void InstallModalDeadline() {
  struct Seen {
    QPointer<QWidget> modal;
    QElapsedTimer since;
  };
  auto seen = std::make_shared<Seen>();
  auto* watch = new QTimer(qApp);
  watch->setInterval(100);
  QObject::connect(watch, &QTimer::timeout, [seen] {
    QWidget* top = QApplication::activeModalWidget();
    if (top != seen->modal) {
      seen->modal = top;
      seen->since.start();
      return;
    }
    if (!top || seen->since.elapsed() < kDeadline.count()) return;
    ADD_FAILURE() << "the modal " << TypeName(typeid(*top)) << " \""
                  << top->windowTitle().toStdString() << "\" stayed open "
                  << kDeadline.count() / 1000 << " s; closed";
    seen->modal = nullptr;
    if (auto* dialog = qobject_cast<QDialog*>(top))
      dialog->done(QDialog::Rejected);
    else
      top->close();
  });
  watch->start();
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
    EndWatches(true);
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
  auto* watch = new QTimer(qApp);  // removed at the test's end if no box comes
  watch->setObjectName(kMessageBoxWatch);
  watch->setInterval(10);
  QObject::connect(watch, &QTimer::timeout, [watch, onBox] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    watch->setObjectName({});
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
// another). If none comes before the test ends, the test fails; if the window does not
// go, InstallModalDeadline closes it.
template <class W>
inline void WhenModal(std::function<void(W&)> act) {
  auto* watch = new QTimer(qApp);
  watch->setObjectName(kModalWatch);
  watch->setProperty("awaited", QString::fromStdString(TypeName(typeid(W))));
  watch->setInterval(10);
  QObject::connect(watch, &QTimer::timeout, [watch, act] {
    auto* w = dynamic_cast<W*>(QApplication::activeModalWidget());
    if (!w || !w->isVisible()) return;
    watch->setObjectName({});
    watch->stop();
    watch->deleteLater();
    act(*w);
  });
  watch->start();
}

// Picks path in Qt's own file chooser as a user does: typed into its file name box,
// then Open. (QFileDialog::selectFile writes the box only while it lacks the focus,
// which it has once the chooser is active: a pick made that way could leave the box
// empty, and Open then keeps the chooser up.)
inline void ChooseFile(QFileDialog& chooser, const QString& path) {
  auto* name = chooser.findChild<QLineEdit*>("fileNameEdit");
  ASSERT_NE(name, nullptr);
  name->setText(path);
  static_cast<QDialog&>(chooser).accept();  // QFileDialog::accept, which picks
}

// Whether a click on button reaches it the way the platform delivers one: a window that
// a modal one blocks gets none (so the tray icon got none under an application-modal
// dialog). The button's window must be shown.
inline bool ClickReaches(QAbstractButton& button) {
  int clicks = 0;
  QMetaObject::Connection counting =
      QObject::connect(&button, &QAbstractButton::clicked, [&clicks] { ++clicks; });
  QWidget* window = button.window();
  QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                    button.mapTo(window, button.rect().center()));
  QObject::disconnect(counting);
  return clicks == 1;
}

// Saves a picture of widget as build-asan/screenshots/ui-<name>.png.
inline bool Screenshot(QWidget& widget, const std::string& name) {
  const QString dir = QString::fromStdString(NORVANE_SCREENSHOT_DIR);
  QDir().mkpath(dir);
  QPixmap shot = widget.grab();
  return !shot.isNull() && shot.save(dir + "/ui-" + QString::fromStdString(name) + ".png");
}

}  // namespace norvane::test
