#include "htr/script_host.h"

#include <duktape.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "core/atomic_file.h"
#include "core/cancellation.h"
#include "core/child_process.h"
#include "core/sjis.h"
#include "core/trace.h"
#include "core/utf8.h"
#include "htr/pipe_io.h"
#include "htr/process.h"
#include "htr/script_arena.h"

namespace norvane {

// Named outside an anonymous namespace: ScriptHost::Impl, which has external linkage,
// holds a member of it.
struct ScriptHeapDestroy {
  void operator()(duk_context* ctx) const { duk_destroy_heap(ctx); }
};

struct ScriptHost::Impl {
  size_t limit = 0;     // bytes the heap may hold
  size_t used = 0;      // bytes it holds
  int toParent = -1;    // set only in the child copy
  int fromParent = -1;
  OutputHandler output;
  InputHandler input;
  std::string error;
  bool compiled = false;  // the compiled function sits at stack index 0
  ScriptArena arena;      // the engine's memory: the forked copy must not need malloc
  std::unique_ptr<duk_context, ScriptHeapDestroy> ctx;  // last: its destruction still frees through this

  // What a script writes (its pieces one after the other) and asks to read. In the
  // forked copy neither calls malloc (see ScriptArena): the pieces go out as they are,
  // and a reply is pushed on the engine's stack as read.
  void Emit(const std::string_view* pieces, size_t count);
  void PushAsked(duk_context* engine, bool wholeLine, int count);
};

namespace {

using Clock = std::chrono::steady_clock;

// Frames on the pipe from the child: type, payload length (4 bytes, little end first),
// payload. Replies to an input request: success byte, length, text.
constexpr char kOutput = 'O';
constexpr char kInput = 'I';
constexpr char kDone = 'D';
constexpr char kThrew = 'X';
constexpr size_t kFrameHead = 5;

void PutU32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint32_t GetU32(const char* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return v;
}

std::string Frame(char type, std::string_view payload) {
  std::string f(1, type);
  PutU32(f, static_cast<uint32_t>(payload.size()));
  f.append(payload);
  return f;
}

// A frame's head without an allocation, for the forked copy.
void FillHead(char (&head)[kFrameHead], char type, size_t size) {
  head[0] = type;
  for (int i = 0; i < 4; ++i) head[1 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
}

// Byte sequences that form no UTF-8 character become U+FFFD: raw bytes would otherwise
// reach the engine, which reads a string starting with some of them as a hidden symbol.
std::string ToScript(std::string_view sjis) { return ReplaceIllFormedUtf8(SjisToUtf8(sjis)); }
std::string FromScript(std::string_view text) { return Utf8ToSjis(text); }

// Child side: plain blocking writes and reads.
bool WriteBlocking(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool ReadBlocking(int fd, char* into, size_t size) {
  while (size) {
    ssize_t n = read(fd, into, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    into += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// --- the heap: capped, over the arena.

void* HeapAlloc(void* udata, duk_size_t size) {
  auto* h = static_cast<ScriptHost::Impl*>(udata);
  if (size > h->limit - h->used) return nullptr;
  void* block = h->arena.Allocate(size);
  if (!block) return nullptr;
  h->used += size;
  return block;
}

void HeapFree(void* udata, void* ptr) {
  if (!ptr) return;
  auto* h = static_cast<ScriptHost::Impl*>(udata);
  h->used -= ScriptArena::SizeOf(ptr);
  h->arena.Free(ptr);
}

void* HeapRealloc(void* udata, void* ptr, duk_size_t size) {
  if (!ptr) return HeapAlloc(udata, size);
  if (size == 0) {
    HeapFree(udata, ptr);
    return nullptr;
  }
  auto* h = static_cast<ScriptHost::Impl*>(udata);
  size_t old = ScriptArena::SizeOf(ptr);
  if (size > old && size - old > h->limit - h->used) return nullptr;
  void* block = h->arena.Resize(ptr, size);
  if (!block) return nullptr;
  h->used = h->used - old + size;
  return block;
}

[[noreturn]] void HeapFatal(void* udata, const char* message) {
  auto* h = static_cast<ScriptHost::Impl*>(udata);
  if (h->toParent >= 0) {
    const std::string_view text = message ? message : "";
    char head[kFrameHead];
    FillHead(head, kThrew, text.size());
    WriteBlocking(h->toParent, std::string_view(head, sizeof head));
    WriteBlocking(h->toParent, text);
    _exit(70);
  }
  std::fprintf(stderr, "script engine failure: %s\n", message ? message : "");
  std::abort();
}

ScriptHost::Impl& HostOf(duk_context* ctx) {
  duk_memory_functions funcs;
  duk_get_memory_functions(ctx, &funcs);
  return *static_cast<ScriptHost::Impl*>(funcs.udata);
}

// print, write, stdout.write; magic 1 adds the line end.
duk_ret_t HostWrite(duk_context* ctx) {
  // Every argument as a string, then the line end: pieces on the stack, no copy joined.
  constexpr duk_idx_t kMostPieces = 64;
  std::string_view pieces[kMostPieces + 1];
  const duk_idx_t n = duk_get_top(ctx);
  if (n > kMostPieces) {
    duk_concat(ctx, n);  // many arguments: one string made by the engine
  }
  const duk_idx_t parts = duk_get_top(ctx);
  size_t count = 0;
  for (duk_idx_t i = 0; i < parts; ++i) {
    duk_size_t len = 0;
    const char* s = duk_safe_to_lstring(ctx, i, &len);
    pieces[count++] = std::string_view(s, len);
  }
  if (duk_get_current_magic(ctx)) pieces[count++] = "\n";
  HostOf(ctx).Emit(pieces, count);
  return 0;
}

duk_ret_t PushRead(duk_context* ctx, bool wholeLine, int count) {
  HostOf(ctx).PushAsked(ctx, wholeLine, count);
  return 1;
}

duk_ret_t HostReadLine(duk_context* ctx) { return PushRead(ctx, true, 0); }

duk_ret_t HostRead(duk_context* ctx) {
  int count = duk_is_number(ctx, 0) ? duk_to_int(ctx, 0) : -1;
  return PushRead(ctx, false, count);
}

void PutFunction(duk_context* ctx, const char* name, duk_c_function fn, int magic) {
  duk_push_c_function(ctx, fn, DUK_VARARGS);
  duk_set_magic(ctx, -1, magic);
  duk_put_prop_string(ctx, -2, name);
}

// The child copy keeps only its two pipe ends: sockets and files of the server must
// not stay open in it.
void CloseAllBut(int a, int b) {
  int lo = std::min(a, b), hi = std::max(a, b);
  if (lo > 3) close_range(3, static_cast<unsigned>(lo - 1), 0);
  if (hi > lo + 1) close_range(static_cast<unsigned>(lo + 1), static_cast<unsigned>(hi - 1), 0);
  close_range(static_cast<unsigned>(hi + 1), ~0U, 0);
}

[[noreturn]] void RunChild(ScriptHost::Impl& h, int toParent, int fromParent) {
  CloseAllBut(toParent, fromParent);
  h.toParent = toParent;
  h.fromParent = fromParent;
  duk_context* ctx = h.ctx.get();
  duk_dup(ctx, 0);
  char head[kFrameHead];
  if (duk_pcall(ctx, 0) != DUK_EXEC_SUCCESS) {
    const std::string_view trace = duk_safe_to_stacktrace(ctx, -1);
    FillHead(head, kThrew, trace.size());
    if (WriteBlocking(toParent, std::string_view(head, sizeof head))) WriteBlocking(toParent, trace);
  } else {
    FillHead(head, kDone, 0);
    WriteBlocking(toParent, std::string_view(head, sizeof head));
  }
  _exit(0);
}

// Ends and reaps the child copy whichever way the parent leaves.
class ChildGuard {
 public:
  explicit ChildGuard(pid_t pid) : pid_(pid) {}
  ~ChildGuard() {
    kill(pid_, SIGKILL);  // ours and not yet reaped: the pid cannot belong to another
    ReapChild(pid_);
  }
  ChildGuard(const ChildGuard&) = delete;
  ChildGuard& operator=(const ChildGuard&) = delete;

 private:
  pid_t pid_;
};

enum class Got { kData, kEnd, kLate };

// How often a wait on the script looks whether the program is ending.
constexpr int kCancelCheckMs = 250;

int MsLeft(Clock::time_point deadline) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

// Parent side: reads until buf holds at least size bytes.
Got Fill(int fd, std::string& buf, size_t size, Clock::time_point deadline) {
  char chunk[65536];
  while (buf.size() < size) {
    int left = MsLeft(deadline);
    if (left == 0 || OutstandingWorkCancelled()) return Got::kLate;
    pollfd p{fd, POLLIN, 0};
    int r = poll(&p, 1, std::min(left, kCancelCheckMs));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return Got::kEnd;
    if (r == 0) continue;
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return Got::kEnd;
    buf.append(chunk, static_cast<size_t>(n));
  }
  return Got::kData;
}

Got WriteUntil(int fd, std::string_view data, Clock::time_point deadline) {
  while (!data.empty()) {
    int left = MsLeft(deadline);
    if (left == 0 || OutstandingWorkCancelled()) return Got::kLate;
    pollfd p{fd, POLLOUT, 0};
    int r = poll(&p, 1, std::min(left, kCancelCheckMs));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return Got::kEnd;
    if (r == 0) continue;
    ssize_t n = write(fd, data.data(), data.size());
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return Got::kEnd;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return Got::kData;
}

}  // namespace

void ScriptHost::Impl::Emit(const std::string_view* pieces, size_t count) {
  if (toParent < 0) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text.append(pieces[i]);
    if (output) output(FromScript(text));
    return;
  }
  size_t size = 0;
  for (size_t i = 0; i < count; ++i) size += pieces[i].size();
  char head[kFrameHead];
  FillHead(head, kOutput, size);
  bool ok = WriteBlocking(toParent, std::string_view(head, sizeof head));
  for (size_t i = 0; ok && i < count; ++i) ok = WriteBlocking(toParent, pieces[i]);
  if (!ok) _exit(1);
}

void ScriptHost::Impl::PushAsked(duk_context* engine, bool wholeLine, int count) {
  if (toParent < 0) {
    std::string sjis;
    if (!input || !input(wholeLine, count, sjis)) {
      duk_push_null(engine);
      return;
    }
    const std::string text = ToScript(sjis);
    duk_push_lstring(engine, text.data(), text.size());
    return;
  }
  char request[kFrameHead + 5];
  FillHead(*reinterpret_cast<char(*)[kFrameHead]>(request), kInput, 5);
  request[kFrameHead] = wholeLine ? '\1' : '\0';
  for (int i = 0; i < 4; ++i)
    request[kFrameHead + 1 + i] = static_cast<char>((static_cast<uint32_t>(count) >> (8 * i)) & 0xFF);
  char head[kFrameHead];
  if (!WriteBlocking(toParent, std::string_view(request, sizeof request)) ||
      !ReadBlocking(fromParent, head, sizeof head))
    _exit(1);
  // The reply is read into the engine's own buffer, then made a string there.
  const size_t size = GetU32(head + 1);
  char* into = static_cast<char*>(duk_push_fixed_buffer(engine, size));
  if (size && !ReadBlocking(fromParent, into, size)) _exit(1);
  if (head[0] == 0) {
    duk_pop(engine);
    duk_push_null(engine);
    return;
  }
  duk_buffer_to_string(engine, -1);
}

ScriptHost::ScriptHost(size_t heapLimit) : impl_(std::make_unique<Impl>()) {
  impl_->limit = heapLimit;
  impl_->ctx.reset(duk_create_heap(HeapAlloc, HeapRealloc, HeapFree, impl_.get(), HeapFatal));
  if (!impl_->ctx) throw std::bad_alloc();
  duk_context* ctx = impl_->ctx.get();
  duk_push_global_object(ctx);
  PutFunction(ctx, "print", HostWrite, 0);
  PutFunction(ctx, "write", HostWrite, 0);
  PutFunction(ctx, "println", HostWrite, 1);
  PutFunction(ctx, "writeln", HostWrite, 1);
  PutFunction(ctx, "readln", HostReadLine, 0);
  duk_push_object(ctx);
  PutFunction(ctx, "write", HostWrite, 0);
  PutFunction(ctx, "writeln", HostWrite, 1);
  duk_put_prop_string(ctx, -2, "stdout");
  duk_push_object(ctx);
  PutFunction(ctx, "readln", HostReadLine, 0);
  PutFunction(ctx, "read", HostRead, 0);
  duk_put_prop_string(ctx, -2, "stdin");
  duk_push_array(ctx);
  duk_put_prop_string(ctx, -2, "args");
  duk_pop(ctx);
}

ScriptHost::~ScriptHost() = default;

void ScriptHost::SetOutputHandler(OutputHandler handler) { impl_->output = std::move(handler); }
void ScriptHost::SetInputHandler(InputHandler handler) { impl_->input = std::move(handler); }
const std::string& ScriptHost::ErrorText() const { return impl_->error; }

bool ScriptHost::CompileFile(const std::string& diskPath) {
  Impl& h = *impl_;
  duk_context* ctx = h.ctx.get();
  duk_set_top(ctx, 0);
  h.compiled = false;
  h.error.clear();
  std::string source;
  if (!ReadWholeFile(diskPath, source)) {
    h.error = "cannot read script " + Utf8ToSjis(diskPath);
    return false;
  }
  if (source.starts_with("\xEF\xBB\xBF"))
    source.erase(0, 3);
  else if (!IsWellFormedUtf8(source))
    source = ToScript(source);
  duk_push_lstring(ctx, diskPath.data(), diskPath.size());
  if (duk_pcompile_lstring_filename(ctx, 0, source.data(), source.size()) != 0) {
    h.error = FromScript(duk_safe_to_string(ctx, -1));
    duk_set_top(ctx, 0);
    return false;
  }
  h.compiled = true;
  return true;
}

bool ScriptHost::Run(const std::vector<std::string>& args) { return Run(args, ChildTimeLimit()); }

bool ScriptHost::Run(const std::vector<std::string>& args, std::chrono::milliseconds limit) {
  Impl& h = *impl_;
  duk_context* ctx = h.ctx.get();
  h.error.clear();
  if (!h.compiled) {
    h.error = "no script compiled";
    return false;
  }
  duk_push_array(ctx);
  for (size_t i = 0; i < args.size(); ++i) {
    std::string a = ToScript(args[i]);
    duk_push_lstring(ctx, a.data(), a.size());
    duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
  }
  duk_put_global_string(ctx, "args");

  PipeEnds up, down;
  if (!MakePipe(up) || !MakePipe(down)) {
    h.error = "cannot make pipes for the script";
    return false;
  }
  SigpipeGuard guard;
  const Clock::time_point deadline = Clock::now() + limit;
  pid_t pid = fork();
  if (pid < 0) {
    h.error = "cannot start the script";
    return false;
  }
  if (pid == 0) RunChild(h, up.write.Get(), down.read.Get());
  ChildGuard child(pid);
  up.write.Reset();
  down.read.Reset();
  SetNonBlocking(up.read.Get());
  SetNonBlocking(down.write.Get());

  std::string buf;
  for (;;) {
    Got got = Fill(up.read.Get(), buf, kFrameHead, deadline);
    uint32_t size = got == Got::kData ? GetU32(buf.data() + 1) : 0;
    if (got == Got::kData) got = Fill(up.read.Get(), buf, kFrameHead + size, deadline);
    if (got != Got::kData) {
      h.error = got == Got::kLate ? "script stopped: time limit reached"
                                  : "script ended abnormally";
      WriteErrorLog(TraceArea::Script, "script", h.error);
      return false;
    }
    char type = buf[0];
    std::string payload = buf.substr(kFrameHead, size);
    buf.erase(0, kFrameHead + size);
    if (type == kOutput) {
      if (h.output) h.output(FromScript(payload));
    } else if (type == kInput) {
      bool wholeLine = !payload.empty() && payload[0] != 0;
      int count = payload.size() >= 5 ? static_cast<int>(GetU32(payload.data() + 1)) : -1;
      std::string text;
      bool ok = h.input && h.input(wholeLine, count, text);
      std::string reply = Frame(ok ? '\1' : '\0', ok ? ToScript(text) : std::string());
      if (WriteUntil(down.write.Get(), reply, deadline) == Got::kLate) {
        h.error = "script stopped: time limit reached";
        return false;
      }
    } else if (type == kDone) {
      return true;
    } else {
      h.error = FromScript(payload);
      WriteErrorLog(TraceArea::Script, "script", h.error);
      return false;
    }
  }
}

}  // namespace norvane
