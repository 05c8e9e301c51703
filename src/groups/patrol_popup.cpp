#include "groups/patrol_popup.h"

#include <chrono>

#include "core/gate_lock.h"
#include "core/settings.h"

namespace norvane {

TForm5::TForm5(Shell& shell, PopupView& view) : shell_(shell), view_(view) {}

TForm5::~TForm5() { StopTimer(); }

void TForm5::StartTimer() {
  StopTimer();
  timer_ = shell_.StartTimer(std::chrono::milliseconds(interval_), [this] { Timer1Timer(); });
}

void TForm5::StopTimer() {
  if (timer_) shell_.StopTimer(timer_);
  timer_ = 0;
}

void TForm5::ShowResult(const std::vector<std::string>& lines) {
  GateGuard lock(GateLock());
  pending_ = lines;
  if (GetSettings().ROUNDRESULT && !visible_) {
    visible_ = true;
    view_.ShowPopup();
    StartTimer();
  }
}

void TForm5::Timer1Timer() {
  if (closing_) {
    StopTimer();
    closing_ = false;
    visible_ = false;
    view_.HidePopup();
    interval_ = 1500;
    view_.ClearLines();
    return;
  }
  std::string line;
  bool have = false;
  {
    GateGuard lock(GateLock());
    if (!pending_.empty()) {
      line = pending_.front();
      pending_.erase(pending_.begin());
      have = true;
    }
  }
  if (have) {
    view_.AppendLine(line);
    return;
  }
  interval_ = 3000;
  closing_ = true;
  StartTimer();
}

}  // namespace norvane
