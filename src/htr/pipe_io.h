#pragma once
#include <signal.h>

#include "core/unique_fd.h"

namespace norvane {

// Both ends of one pipe, close-on-exec, so no other child inherits them.
struct PipeEnds {
  UniqueFd read;
  UniqueFd write;
};

// False (errno set) when the pipe could not be made.
bool MakePipe(PipeEnds& ends);

void SetNonBlocking(int fd);

// Keeps SIGPIPE from ending the process while this thread writes to a child that has
// gone (the program ignores SIGPIPE, but not every host of this code does); the write
// fails with EPIPE instead. A SIGPIPE raised meanwhile is taken back before the old
// mask returns.
class SigpipeGuard {
 public:
  SigpipeGuard();
  ~SigpipeGuard();
  SigpipeGuard(const SigpipeGuard&) = delete;
  SigpipeGuard& operator=(const SigpipeGuard&) = delete;

 private:
  sigset_t pipe_, old_;
};

}  // namespace norvane
