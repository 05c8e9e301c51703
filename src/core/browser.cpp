#include "core/browser.h"

#include <sys/wait.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "core/child_process.h"

namespace norvane {

namespace {

// How long one browser command may take before the queue moves on without it.
constexpr int kCommandWaitMs = 10000;

// Runs the command and waits a bounded time for it. Returns the pid of a command that
// is still running when the wait ends, or 0.
pid_t RunCommand(const std::string& url) {
  const char* custom = std::getenv("NORVANE_BROWSER");
  ChildSpec spec;
  spec.argv = {custom && *custom ? custom : "xdg-open", url};
  pid_t pid = StartChild(spec);
  if (pid < 0) return 0;
  // Still running: left to a later pass.
  return WaitForChild(pid, std::chrono::milliseconds(kCommandWaitMs)) ? 0 : pid;
}

class Launcher {
 public:
  void Add(std::string url) {
    std::lock_guard lock(m_);
    queue_.push_back(std::move(url));
    if (!worker_.joinable()) worker_ = std::jthread([this](std::stop_token st) { Loop(st); });
    cv_.notify_all();
  }

  void Flush() {
    std::unique_lock lock(m_);
    idle_.wait_for(lock, std::chrono::milliseconds(kCommandWaitMs * 2),
                   [this] { return queue_.empty() && !busy_; });
  }

  ~Launcher() {
    Flush();
    if (worker_.joinable()) {
      worker_.request_stop();
      cv_.notify_all();
      worker_.join();
    }
  }

 private:
  void Loop(std::stop_token st) {
    std::unique_lock lock(m_);
    for (;;) {
      cv_.wait(lock, [&] { return st.stop_requested() || !queue_.empty(); });
      if (queue_.empty()) return;
      std::string url = std::move(queue_.front());
      queue_.pop_front();
      busy_ = true;
      lock.unlock();
      if (pid_t slow = RunCommand(url)) lingering_.push_back(slow);
      // Reap only our own commands: other children belong to the process runner.
      std::erase_if(lingering_, [](pid_t p) { return waitpid(p, nullptr, WNOHANG) != 0; });
      lock.lock();
      busy_ = false;
      idle_.notify_all();
    }
  }

  std::mutex m_;
  std::condition_variable cv_, idle_;
  std::deque<std::string> queue_;
  bool busy_ = false;
  std::vector<pid_t> lingering_;  // only touched by the worker
  std::jthread worker_;
};

Launcher& TheLauncher() {
  static Launcher launcher;
  return launcher;
}

}  // namespace

void OpenInBrowser(const std::string& url) { TheLauncher().Add(url); }

void FlushBrowserRequests() { TheLauncher().Flush(); }

}  // namespace norvane
