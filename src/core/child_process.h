#pragma once
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/unique_fd.h"

namespace norvane {

// One child to start: a program looked up in PATH and started without a shell.
struct ChildSpec {
  std::vector<std::string> argv;  // the program first; at least one entry
  std::string dir;                // the child's current folder (a disk path); empty: ours
  int stdinFd = -1;               // becomes the child's standard input; -1: /dev/null
  int stdoutFd = -1;              // -1: ours
  int stderrFd = -1;              // -1: ours
  bool ownGroup = false;          // a process group of its own, ended with all it started
};

// Starts the child with an empty signal mask and SIGPIPE at its default: the program
// blocks its end signals and ignores SIGPIPE, and neither may reach a child, or it could
// not be stopped and would not see broken pipes. Returns its pid, or -1 when it could
// not be started (the program does not exist, for one).
pid_t StartChild(const ChildSpec& spec);

// A descriptor that turns readable when the child has ended (before it is reaped);
// invalid on a kernel without process descriptors.
UniqueFd ChildEndFd(pid_t pid);

// Waits at most limit for the child to end and reaps it. False when it still runs then;
// it is left as it is, to be reaped later.
bool WaitForChild(pid_t pid, std::chrono::milliseconds limit);

// Reaps a child that has ended or was killed, however long that takes.
void ReapChild(pid_t pid);

// Kills the child's process group and the child itself: a child that moved to another
// group is still hit.
void KillChildAndGroup(pid_t pid);

}  // namespace norvane
