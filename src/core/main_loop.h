#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace norvane {

// The main thread's loop of a run without a desktop: tasks posted from any thread and
// repeating timers, run one at a time on the thread that calls Run. It sleeps until the
// next task or timer is due.
class MainLoop {
 public:
  using Clock = std::chrono::steady_clock;
  using TimerId = int;

  void Post(std::function<void()> task);
  // A repeating timer; the first call is one period from now.
  TimerId StartTimer(std::chrono::milliseconds period, std::function<void()> fn);
  void StopTimer(TimerId id);

  // Runs until Quit; returns the code given to Quit. A task or timer that throws does
  // not end the thread: the exception's message (Shift_JIS) goes to the error handler,
  // or, without one, to standard error, and the loop quits with 1.
  int Run();
  void SetErrorHandler(std::function<void(const std::string&)> handler);
  void Quit(int code = 0);

 private:
  void Guarded(const std::function<void()>& fn);

  struct Timer {
    std::chrono::milliseconds period;
    Clock::time_point due;
    std::function<void()> fn;
  };

  std::mutex m_;
  std::condition_variable cv_;
  std::vector<std::function<void()>> tasks_;
  std::map<TimerId, Timer> timers_;
  TimerId nextId_ = 1;
  std::function<void(const std::string&)> onError_;
  bool quit_ = false;
  int code_ = 0;
};

}  // namespace norvane
