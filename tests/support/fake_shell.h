#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/shell.h"

namespace norvane::test {

// A shell whose timers fire only when a test says so, and whose posted tasks run when
// the test runs them: the schedule can be stepped tick by tick without waiting.
class FakeShell : public Shell {
 public:
  void ShowErrorAndEnd(const std::string& message) override { errors.push_back(message); }
  void SetTrayImage(int index) override {
    std::lock_guard lock(m_);
    trayImages.push_back(index);
  }
  void ShowResult(const std::vector<std::string>& lines) override { results.push_back(lines); }
  void Post(std::function<void()> task) override {
    std::lock_guard lock(m_);
    posted_.push_back(std::move(task));
    cv_.notify_all();
  }
  TimerId StartTimer(std::chrono::milliseconds period, std::function<void()> fn) override {
    TimerId id = next_++;
    timers_[id] = Timer{period, std::move(fn)};
    return id;
  }
  void StopTimer(TimerId id) override { timers_.erase(id); }

  // Fires every timer whose period equals period once; false when there is none.
  bool Fire(std::chrono::milliseconds period) {
    for (auto& [id, t] : timers_)
      if (t.period == period) {
        auto fn = t.fn;
        fn();
        return true;
      }
    return false;
  }
  bool HasTimer(std::chrono::milliseconds period) const {
    for (const auto& [id, t] : timers_)
      if (t.period == period) return true;
    return false;
  }
  // Waits (bounded) for one posted task and runs it; false on time-out.
  bool RunOnePosted(std::chrono::milliseconds wait = std::chrono::seconds(10)) {
    std::function<void()> task;
    {
      std::unique_lock lock(m_);
      if (!cv_.wait_for(lock, wait, [&] { return !posted_.empty(); })) return false;
      task = std::move(posted_.front());
      posted_.pop_front();
    }
    task();
    return true;
  }

  std::vector<std::string> errors;
  std::vector<int> trayImages;
  std::vector<std::vector<std::string>> results;

 private:
  struct Timer {
    std::chrono::milliseconds period;
    std::function<void()> fn;
  };
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> posted_;
  std::map<TimerId, Timer> timers_;  // touched by the test thread only
  TimerId next_ = 1;
};

}  // namespace norvane::test
