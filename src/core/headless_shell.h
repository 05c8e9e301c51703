#pragma once
#include "core/main_loop.h"
#include "core/shell.h"

namespace norvane {

// The shell of a run without a desktop: a main loop, messages on standard error (UTF-8).
// Whatever escapes a task or timer of its loop goes to ShowErrorAndEnd.
class HeadlessShell : public Shell {
 public:
  HeadlessShell() {
    loop_.SetErrorHandler([this](const std::string& message) { ShowErrorAndEnd(message); });
  }
  void ShowErrorAndEnd(const std::string& message) override;
  void SetTrayImage(int index) override {}
  void ShowResult(const std::vector<std::string>& lines) override;
  void Post(std::function<void()> task) override { loop_.Post(std::move(task)); }
  TimerId StartTimer(std::chrono::milliseconds period, std::function<void()> fn) override {
    return loop_.StartTimer(period, std::move(fn));
  }
  void StopTimer(TimerId id) override { loop_.StopTimer(id); }

  MainLoop& loop() { return loop_; }

 private:
  MainLoop loop_;
};

// Writes one line (Shift_JIS) to standard error as UTF-8.
void ConsoleLine(const std::string& sjisLine);

}  // namespace norvane
