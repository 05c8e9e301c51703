#pragma once
#include <atomic>

namespace norvane {

// The program's end cancels what it waits for: fetches in flight give up, scripts and
// external programs are stopped, and nothing new is begun. Set once by the orderly end;
// every long wait polls it at least once a second.
void CancelOutstandingWork();
bool OutstandingWorkCancelled();
// Back to normal operation (tests that start several servers in one process).
void ResetCancellation();

// A stop the user asks for, for the work of one thread (a fetch the desktop waits for).
class CancelFlag {
 public:
  void Cancel() { set_.store(true); }
  bool Cancelled() const { return set_.load(); }

 private:
  std::atomic<bool> set_{false};
};

// While it lives, the calling thread's waits that poll WorkCancelled also give up once
// flag is set. One scope per thread at a time; flag must outlive it.
class CancelScope {
 public:
  explicit CancelScope(const CancelFlag& flag);
  ~CancelScope();
  CancelScope(const CancelScope&) = delete;
  CancelScope& operator=(const CancelScope&) = delete;

 private:
  const CancelFlag* outer_;
};

// True once the program's end cancelled outstanding work, or the calling thread's
// CancelScope flag is set.
bool WorkCancelled();

}  // namespace norvane
