#pragma once
#include <atomic>
#include <exception>
#include <functional>
#include <thread>

#include "core/cancellation.h"

namespace norvane {

// One piece of slow work (a fetch) run on a thread of its own, so that the thread that
// asked for it (the desktop's) keeps serving its windows: it polls Finished() and may
// Cancel(), which makes the work's fetches give up. The work must not touch what the
// asking thread uses until Finished() is true.
class BackgroundTask {
 public:
  // Starts work at once.
  explicit BackgroundTask(std::function<void()> work);
  // Cancels work that still runs and waits for its end.
  ~BackgroundTask();
  BackgroundTask(const BackgroundTask&) = delete;
  BackgroundTask& operator=(const BackgroundTask&) = delete;

  void Cancel() { flag_.Cancel(); }
  bool Cancelled() const { return flag_.Cancelled(); }
  bool Finished() const { return finished_.load(std::memory_order_acquire); }
  // Once Finished(): throws what the work threw, if anything.
  void Rethrow() const;

 private:
  CancelFlag flag_;
  std::atomic<bool> finished_{false};
  std::exception_ptr failure_;  // written by the work's thread before finished_
  std::thread thread_;
};

}  // namespace norvane
