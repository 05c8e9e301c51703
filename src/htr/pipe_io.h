#pragma once
#include <signal.h>
#include <unistd.h>

#include <utility>

namespace norvane {

// Sole owner of one file descriptor; closes it when it goes.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

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
