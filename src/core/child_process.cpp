#include "core/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <cerrno>

extern char** environ;

namespace norvane {

pid_t StartChild(const ChildSpec& spec) {
  if (spec.argv.empty()) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (spec.stdinFd >= 0)
    posix_spawn_file_actions_adddup2(&actions, spec.stdinFd, 0);
  else
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (spec.stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, spec.stdoutFd, 1);
  if (spec.stderrFd >= 0) posix_spawn_file_actions_adddup2(&actions, spec.stderrFd, 2);
  if (!spec.dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, spec.dir.c_str());

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (spec.ownGroup) {
    posix_spawnattr_setpgroup(&attr, 0);
    flags |= POSIX_SPAWN_SETPGROUP;
  }
  posix_spawnattr_setflags(&attr, flags);

  std::vector<char*> argv;
  for (const std::string& a : spec.argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  // glibc reports a failed exec here and reaps that child itself.
  int rc = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

UniqueFd ChildEndFd(pid_t pid) {
  return UniqueFd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
}

bool WaitForChild(pid_t pid, std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + limit;
  if (UniqueFd ended = ChildEndFd(pid); ended.Valid()) {
    pollfd p{ended.Get(), POLLIN, 0};
    for (;;) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      int r = poll(&p, 1, static_cast<int>(std::clamp<long long>(left, 0, 1 << 30)));
      if (r > 0) break;
      if (r == 0) return false;
      if (errno != EINTR) break;  // cannot watch it: reap below, it is ours
    }
    ReapChild(pid);
    return true;
  }
  // No process descriptor (an old kernel): short naps, still within the limit.
  for (;;) {
    pid_t r = waitpid(pid, nullptr, WNOHANG);
    if (r == pid || (r < 0 && errno != EINTR)) return true;
    if (Clock::now() >= deadline) return false;
    timespec nap{0, 10'000'000};
    nanosleep(&nap, nullptr);
  }
}

void ReapChild(pid_t pid) {
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

void KillChildAndGroup(pid_t pid) {
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
}

}  // namespace norvane
