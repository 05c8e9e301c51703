#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace norvane {

// The ECMAScript host of the script gateway, over one Duktape heap per instance.
// Every text crossing this interface is Shift_JIS; scripts see it as ordinary strings
// (converted to the engine's Unicode and back), so string functions work on Japanese.
//
// What a script can call:
//   print(...), write(...), stdout.write(...)       one output: the arguments joined
//   println(...), writeln(...), stdout.writeln(...)  the same with "\n" appended
//   readln(), stdin.readln()                         a whole line of input
//   stdin.read([count])                              a read of count characters
//   args                                             the arguments, an array of strings
// Each call of an output function is one call of the output handler, whatever the
// number of arguments (they are joined with nothing between them). A read returns what
// the input handler gives, or null when it reports failure.
//
// Duktape offers no way to interrupt a running script, so Run executes it in a forked
// copy of this process, which is killed when the time limit passes; the handlers run
// here, on the caller's thread, fed through a pipe. The copy does nothing but run the
// engine and write to that pipe: a lock it inherited in a held state can at worst stall
// it until the limit. The heap is also capped, so a runaway script fails with an
// "alloc failed" error (which it may catch) instead of eating the machine's memory.
class ScriptHost {
 public:
  using OutputHandler = std::function<void(const std::string& text)>;
  // wholeLine: a line is asked for (count is then 0); else count characters, or -1 for
  // all. Returns false for "nothing can be read".
  using InputHandler = std::function<bool(bool wholeLine, int count, std::string& text)>;

  // Largest heap a script may use, by default.
  static constexpr size_t kHeapLimit = size_t{256} << 20;

  explicit ScriptHost(size_t heapLimit = kHeapLimit);
  ~ScriptHost();
  ScriptHost(const ScriptHost&) = delete;
  ScriptHost& operator=(const ScriptHost&) = delete;

  void SetOutputHandler(OutputHandler handler);
  void SetInputHandler(InputHandler handler);

  // Compiles a script file (disk path). Accepts UTF-8 (with or without a mark) and
  // Shift_JIS sources. False, with ErrorText, when it cannot be read or does not parse.
  bool CompileFile(const std::string& diskPath);

  // Runs the compiled script with its arguments (Shift_JIS), at most for the limit.
  // Each run starts from the compiled state: nothing a run changes is kept. False, with
  // ErrorText, when nothing was compiled, the script threw, was killed or could not be
  // started; what it wrote before has reached the output handler all the same.
  bool Run(const std::vector<std::string>& args, std::chrono::milliseconds limit);
  bool Run(const std::vector<std::string>& args);  // limit: ChildTimeLimit()

  // The last failure, Shift_JIS.
  const std::string& ErrorText() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace norvane
