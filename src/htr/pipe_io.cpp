#include "htr/pipe_io.h"

#include <fcntl.h>
#include <time.h>

namespace norvane {

bool MakePipe(PipeEnds& ends) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  ends.read = UniqueFd(fds[0]);
  ends.write = UniqueFd(fds[1]);
  return true;
}

void SetNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

SigpipeGuard::SigpipeGuard() {
  sigemptyset(&pipe_);
  sigaddset(&pipe_, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
}

SigpipeGuard::~SigpipeGuard() {
  if (!sigismember(&old_, SIGPIPE)) {
    timespec zero{0, 0};
    while (sigtimedwait(&pipe_, nullptr, &zero) == SIGPIPE) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &old_, nullptr);
}

}  // namespace norvane
