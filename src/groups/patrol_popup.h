#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/shell.h"

namespace norvane {

// What draws the patrol popup. The desktop draws a small window near the tray; a run
// without a desktop writes each line to standard error.
class PopupView {
 public:
  virtual ~PopupView() = default;
  virtual void ShowPopup() = 0;
  virtual void HidePopup() = 0;
  virtual void AppendLine(const std::string& sjisLine) = 0;
  virtual void ClearLines() = 0;
};

// The popup's behaviour: it types the pending result one line per timer tick, keeps the
// whole text for a pause after the last line, then hides and empties itself. Runs on
// the main thread; ShowResult may be called from any thread.
class TForm5 {
 public:
  TForm5(Shell& shell, PopupView& view);
  ~TForm5();
  TForm5(const TForm5&) = delete;
  TForm5& operator=(const TForm5&) = delete;

  // Hands a result over (under GateLock): replaces what was still pending; shows the
  // popup when ROUNDRESULT is on and it is hidden.
  void ShowResult(const std::vector<std::string>& lines);
  bool visible() const { return visible_; }

  // The timer's handler (public for the main loop and tests).
  void Timer1Timer();
  int timerInterval() const { return interval_; }

 private:
  void StartTimer();
  void StopTimer();

  Shell& shell_;
  PopupView& view_;
  std::vector<std::string> pending_;  // guarded by GateLock
  bool visible_ = false;
  bool closing_ = false;
  int interval_ = 1000;  // the first showing types faster
  Shell::TimerId timer_ = 0;
};

}  // namespace norvane
