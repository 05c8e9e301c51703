#pragma once
#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

namespace norvane {

// One external program to run for the script gateway.
struct ProcessIn {
  std::string CommandLine;  // program first, split by the gateway's quoting rule
  std::string StdinText;    // bytes for the child's standard input
  std::string CurrentDir;   // the child's current folder; empty: the caller's own
};

// How long a child (or a gateway script) may run before it is killed: READTIMEOUT, but
// never under one second. A read time-out of 0 or a few milliseconds, which some users
// set to mean "fail fast" for feeds, would otherwise kill every script before it could
// even read its input.
std::chrono::milliseconds ChildTimeLimit();

// Runs one child process and collects its standard output. CommandLine and CurrentDir
// are program text (Shift_JIS): the program name and the folder become disk paths, the
// arguments are passed as UTF-8. No shell is involved. The child gets the whole input,
// then end of input; its standard error is read and dropped; it runs in a process group
// of its own, with an empty signal mask and SIGPIPE at its default.
//
// Output is collected until the child has exited and its output pipe reached end of
// file; what it left running in its process group is killed then, so that a forgotten
// background process cannot hold the pipe open. A child still running after the time
// limit, or when stop is requested, is killed with its group; the output read so far
// is returned. Returns nothing when the program could not be started.
std::optional<std::string> RunProcess(std::string_view commandLine, std::string_view input,
                                      std::string_view currentDir,
                                      std::chrono::milliseconds limit,
                                      std::stop_token stop = {});

// The runner thread: starts at once, runs one process to its end.
class TPThread {
 public:
  explicit TPThread(ProcessIn in);
  ~TPThread();  // stops the child if still running, then joins
  TPThread(const TPThread&) = delete;
  TPThread& operator=(const TPThread&) = delete;

  // Asks the thread to stop: the child is killed, the thread ends soon after.
  void Kill();
  // Blocks until the thread has ended.
  void Wait();
  // The child's standard output (empty when it could not be started); valid after Wait.
  const std::string& Output() const { return Output_; }

 private:
  void Execute(std::stop_token stop);

  ProcessIn In_;
  std::string Output_;
  std::stop_source stop_;  // Kill may come from another thread while Wait joins
  std::jthread thread_;  // last: starts once the fields above exist
};

// Blocking entry point of the gateway: one runner per gateway request.
class TPMnage {
 public:
  TPMnage() = default;
  ~TPMnage();  // kills and frees a thread still running
  TPMnage(const TPMnage&) = delete;
  TPMnage& operator=(const TPMnage&) = delete;

  // Runs the process on a runner thread and waits for it; returns its output. Must not
  // be called on the GUI thread.
  std::string Run(ProcessIn in);

  std::string Output;

 private:
  std::unique_ptr<TPThread> thread_;
};

}  // namespace norvane
