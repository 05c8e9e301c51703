#include "core/signal_watch.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace norvane {

namespace {
sigset_t EndSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}
}  // namespace

void BlockEndSignals() {
  sigset_t set = EndSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

SignalWatch::SignalWatch(std::function<void(int)> onSignal) {
  sigset_t set = EndSignals();
  signalFd_ = UniqueFd(signalfd(-1, &set, SFD_CLOEXEC));
  stopFd_ = UniqueFd(eventfd(0, EFD_CLOEXEC));
  thread_ = std::jthread([this, onSignal = std::move(onSignal)] {
    pollfd fds[2] = {{signalFd_.Get(), POLLIN, 0}, {stopFd_.Get(), POLLIN, 0}};
    for (;;) {
      int r = poll(fds, 2, -1);
      if (r < 0 && errno == EINTR) continue;
      if (r < 0 || (fds[1].revents & POLLIN)) return;
      if (fds[0].revents & POLLIN) {
        signalfd_siginfo info;
        if (read(signalFd_.Get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info))
          onSignal(static_cast<int>(info.ssi_signo));
      }
    }
  });
}

SignalWatch::~SignalWatch() {
  uint64_t one = 1;
  if (write(stopFd_.Get(), &one, sizeof one) < 0) {
    // Nothing else can wake the thread; it ends with the process.
  }
  if (thread_.joinable()) thread_.join();
}

}  // namespace norvane
