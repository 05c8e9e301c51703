#include "core/main_loop.h"

#include <cstdio>
#include <exception>

namespace norvane {

void MainLoop::SetErrorHandler(std::function<void(const std::string&)> handler) {
  std::lock_guard lock(m_);
  onError_ = std::move(handler);
}

void MainLoop::Guarded(const std::function<void()>& fn) {
  std::string message;
  try {
    fn();
    return;
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "unknown error";
  }
  std::function<void(const std::string&)> handler;
  {
    std::lock_guard lock(m_);
    handler = onError_;
  }
  if (handler) {
    try {
      handler(message);
    } catch (...) {
      // The handler itself failed: the end still comes.
    }
  } else {
    std::fprintf(stderr, "norvane: %s\n", message.c_str());
  }
  Quit(1);
}

void MainLoop::Post(std::function<void()> task) {
  std::lock_guard lock(m_);
  tasks_.push_back(std::move(task));
  cv_.notify_all();
}

MainLoop::TimerId MainLoop::StartTimer(std::chrono::milliseconds period, std::function<void()> fn) {
  std::lock_guard lock(m_);
  TimerId id = nextId_++;
  timers_[id] = Timer{period, Clock::now() + period, std::move(fn)};
  cv_.notify_all();
  return id;
}

void MainLoop::StopTimer(TimerId id) {
  std::lock_guard lock(m_);
  timers_.erase(id);
}

void MainLoop::Quit(int code) {
  std::lock_guard lock(m_);
  if (!quit_) code_ = code;
  quit_ = true;
  cv_.notify_all();
}

int MainLoop::Run() {
  std::unique_lock lock(m_);
  while (!quit_) {
    if (!tasks_.empty()) {
      auto batch = std::move(tasks_);
      tasks_.clear();
      lock.unlock();
      for (auto& t : batch) Guarded(t);
      lock.lock();
      continue;
    }
    // The earliest due timer, if any.
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it)
      if (next == timers_.end() || it->second.due < next->second.due) next = it;
    if (next == timers_.end()) {
      cv_.wait(lock);
      continue;
    }
    if (Clock::now() < next->second.due) {
      cv_.wait_until(lock, next->second.due);
      continue;
    }
    next->second.due = Clock::now() + next->second.period;
    auto fn = next->second.fn;  // a copy: the callback may stop its own timer
    lock.unlock();
    Guarded(fn);
    lock.lock();
  }
  return code_;
}

}  // namespace norvane
