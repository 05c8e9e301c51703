#include "htr/process.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

#include "core/cancellation.h"
#include "core/child_process.h"
#include "core/disk_path.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "core/trace.h"
#include "htr/command_line.h"
#include "htr/pipe_io.h"

namespace norvane {

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kChunk = 65536;

// Reads what is there; false at end of file or on a real error.
bool ReadSome(int fd, std::string* into) {
  char buf[kChunk];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
      if (into) into->append(buf, static_cast<size_t>(n));
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
}

struct Spawned {
  pid_t pid = -1;
  UniqueFd in, out, err;  // our ends
};

bool Spawn(const std::vector<std::string>& args, const std::string& dir, Spawned& child) {
  PipeEnds in, out, err;
  if (!MakePipe(in) || !MakePipe(out) || !MakePipe(err)) return false;
  ChildSpec spec;
  spec.argv = args;
  spec.dir = dir;
  spec.stdinFd = in.read.Get();
  spec.stdoutFd = out.write.Get();
  spec.stderrFd = err.write.Get();
  spec.ownGroup = true;  // so a time-out ends whatever it started as well
  pid_t pid = StartChild(spec);
  if (pid < 0) {
    WriteErrorLog(TraceArea::Script, "spawn", args[0]);
    return false;
  }
  child.pid = pid;
  child.in = std::move(in.write);
  child.out = std::move(out.read);
  child.err = std::move(err.read);
  return true;  // the child's ends close as the PipeEnds go
}

}  // namespace

std::chrono::milliseconds ChildTimeLimit() {
  return std::chrono::milliseconds(std::max(GetSettings().READTIMEOUT, 1000));
}

std::optional<std::string> RunProcess(std::string_view commandLine, std::string_view input,
                                      std::string_view currentDir,
                                      std::chrono::milliseconds limit, std::stop_token stop) {
  std::vector<std::string> args = SplitCommandLine(commandLine);
  if (args.empty()) return std::nullopt;
  args[0] = DiskPath(args[0]);
  for (size_t i = 1; i < args.size(); ++i) args[i] = SjisToUtf8(args[i]);
  std::string dir = currentDir.empty() ? std::string() : DiskPath(currentDir);
  // A relative program path names a file below our own folder, not below the child's
  // new one (the child changes folder before it looks the program up).
  if (!dir.empty() && args[0].find('/') != std::string::npos && args[0][0] != '/') {
    std::error_code ec;
    std::filesystem::path here = std::filesystem::current_path(ec);
    if (!ec) args[0] = (here / args[0]).string();
  }

  SigpipeGuard guard;
  Spawned child;
  if (!Spawn(args, dir, child)) return std::nullopt;

  UniqueFd pidfd = ChildEndFd(child.pid);
  UniqueFd wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  std::stop_callback onStop(stop, [&wake] {
    uint64_t one = 1;
    if (wake.Valid()) {
      [[maybe_unused]] ssize_t n = write(wake.Get(), &one, sizeof one);
    }
  });
  SetNonBlocking(child.in.Get());
  SetNonBlocking(child.out.Get());
  SetNonBlocking(child.err.Get());

  std::string output;
  size_t written = 0;
  if (input.empty()) child.in.Reset();  // end of input at once
  bool exited = false, killIt = false;
  const Clock::time_point deadline = Clock::now() + limit;

  while (child.out.Valid() || child.err.Valid() || !exited) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || stop.stop_requested() || OutstandingWorkCancelled()) {
      killIt = true;
      break;
    }
    if (!pidfd.Valid() && !child.out.Valid() && !child.err.Valid()) {
      // No process descriptor (an old kernel): the pipes are done, wait for the exit
      // in short naps, still within the limit.
      if (waitpid(child.pid, nullptr, WNOHANG) == child.pid) {
        child.pid = -1;
        exited = true;
        break;
      }
      timespec nap{0, 10'000'000};
      nanosleep(&nap, nullptr);
      continue;
    }
    pollfd fds[5];
    int n = 0;
    int iIn = -1, iOut = -1, iErr = -1, iPid = -1, iWake = -1;
    if (child.in.Valid()) fds[iIn = n++] = {child.in.Get(), POLLOUT, 0};
    if (child.out.Valid()) fds[iOut = n++] = {child.out.Get(), POLLIN, 0};
    if (child.err.Valid()) fds[iErr = n++] = {child.err.Get(), POLLIN, 0};
    if (!exited && pidfd.Valid()) fds[iPid = n++] = {pidfd.Get(), POLLIN, 0};
    if (wake.Valid()) fds[iWake = n++] = {wake.Get(), POLLIN, 0};
    // Woken at least every quarter second to see whether the program is ending.
    int r = poll(fds, static_cast<nfds_t>(n), static_cast<int>(std::min<long long>(left, 250)));
    if (r < 0) {
      if (errno == EINTR) continue;
      killIt = true;
      break;
    }
    if (iWake >= 0 && fds[iWake].revents) {
      killIt = true;
      break;
    }
    if (iIn >= 0 && fds[iIn].revents) {
      size_t piece = std::min(kChunk, input.size() - written);
      ssize_t w = write(child.in.Get(), input.data() + written, piece);
      if (w > 0) written += static_cast<size_t>(w);
      // A child that stops reading (or has gone) simply gets no more input.
      if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) child.in.Reset();
      if (written == input.size()) child.in.Reset();
    }
    if (iOut >= 0 && fds[iOut].revents && !ReadSome(child.out.Get(), &output)) child.out.Reset();
    if (iErr >= 0 && fds[iErr].revents && !ReadSome(child.err.Get(), nullptr)) child.err.Reset();
    if (iPid >= 0 && fds[iPid].revents) {
      // The child has ended (not yet reaped, so its group id is still its own). What it
      // wrote is in the pipes; anything it left running there is ended now, so the
      // pipes reach end of file.
      exited = true;
      child.in.Reset();
      KillChildAndGroup(child.pid);
    }
  }
  if (killIt) {
    WriteLog(TraceArea::Script, "child killed", 1);
    if (child.pid > 0) KillChildAndGroup(child.pid);
  }
  child.in.Reset();
  child.out.Reset();
  child.err.Reset();
  if (child.pid > 0) ReapChild(child.pid);
  return output;
}

TPThread::TPThread(ProcessIn in)
    : In_(std::move(in)), thread_([this] { Execute(stop_.get_token()); }) {}

TPThread::~TPThread() {
  Kill();
  Wait();
}

void TPThread::Kill() { stop_.request_stop(); }

void TPThread::Wait() {
  if (thread_.joinable()) thread_.join();
}

void TPThread::Execute(std::stop_token stop) {
  try {
    Output_ = RunProcess(In_.CommandLine, In_.StdinText, In_.CurrentDir, ChildTimeLimit(), stop)
                  .value_or(std::string());
  } catch (const std::exception& e) {
    // No output is the runner's failure answer; the thread must not end the process.
    WriteErrorLog(TraceArea::Script, "Exception", e.what());
    Output_.clear();
  }
}

TPMnage::~TPMnage() {
  if (thread_) thread_->Kill();
  thread_.reset();
}

std::string TPMnage::Run(ProcessIn in) {
  thread_ = std::make_unique<TPThread>(std::move(in));
  thread_->Wait();
  Output = thread_->Output();
  return Output;
}

}  // namespace norvane
