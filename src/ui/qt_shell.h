#pragma once
#include <QObject>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/shell.h"

class QTimer;

namespace norvane {

// The shell of the desktop run: tasks and timers on the GUI thread's event loop, the
// tray image changed there, errors shown in a message box. Nothing thrown in a task,
// timer or window handler crosses Qt's event handling: Guard hands it to the error
// handler, which shows it and ends the program.
class QtShell : public Shell {
 public:
  // Created on the GUI thread, after the application object.
  QtShell();
  ~QtShell() override;
  QtShell(const QtShell&) = delete;
  QtShell& operator=(const QtShell&) = delete;

  // Any thread. The message (Shift_JIS) goes to standard error and, on the GUI thread,
  // into an error box; when that is closed the event loop ends with status 1.
  void ShowErrorAndEnd(const std::string& message) override;
  // Any thread: the change is queued to the GUI thread.
  void SetTrayImage(int index) override;
  // The desktop shows patrol results in its popup; nothing to do here.
  void ShowResult(const std::vector<std::string>& lines) override {}
  void Post(std::function<void()> task) override;
  TimerId StartTimer(std::chrono::milliseconds period, std::function<void()> fn) override;
  void StopTimer(TimerId id) override;

  // What shows a tray image on the GUI thread; none until the tray exists.
  void SetTraySink(std::function<void(int)> sink);
  // The image last asked for (-1: none yet).
  int trayImage() const { return trayImage_.load(); }

  // Any thread: the event loop ends with code (the first code asked for wins).
  void Quit(int code);
  // True once the end was asked for, by Quit or an error.
  bool ending() const { return ending_.load(); }
  // 1 after an error, whatever ended the loop; otherwise the code given to Quit.
  int exitCode() const { return failed_.load() ? 1 : exitCode_.load(); }

  // Runs fn on the calling thread; whatever it throws goes to ShowErrorAndEnd.
  void Guard(const std::function<void()>& fn);

 private:
  bool OnGuiThread() const;
  void MakeTimer(TimerId id, std::chrono::milliseconds period, std::function<void()> fn);
  void DropTimer(TimerId id);

  QObject context_;  // lives on the GUI thread; receives every queued call
  std::mutex m_;
  std::map<TimerId, QTimer*> timers_;  // children of context_
  TimerId nextId_ = 1;
  std::function<void(int)> traySink_;  // GUI thread only
  std::atomic<int> trayImage_{-1};
  std::atomic<bool> ending_{false};
  std::atomic<int> exitCode_{0};
  std::atomic<bool> failed_{false};
  bool errorShown_ = false;  // GUI thread only
};

}  // namespace norvane
