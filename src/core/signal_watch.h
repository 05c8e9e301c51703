#pragma once
#include <functional>
#include <thread>

#include "core/unique_fd.h"

namespace norvane {

// Blocks the end signals (SIGINT, SIGTERM, SIGHUP) in the calling thread, so every
// thread started afterwards inherits the mask, and ignores SIGPIPE.
void BlockEndSignals();

// Watches the end signals on its own thread and calls onSignal for each one caught.
class SignalWatch {
 public:
  explicit SignalWatch(std::function<void(int)> onSignal);
  ~SignalWatch();
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

 private:
  UniqueFd signalFd_;
  UniqueFd stopFd_;
  std::jthread thread_;  // last: it uses the descriptors above
};

}  // namespace norvane
