#include "htr/script_host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "core/sjis.h"
#include "htr/script_arena.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using std::chrono::milliseconds;
using Texts = std::vector<std::string>;
constexpr milliseconds kScriptLimit{60000};

// One script run with a page on standard input; records every output and read.
struct Session {
  test::TempDir dir;
  ScriptHost host;
  Texts outputs;
  std::string page;
  Texts reads;  // "line" or "count=N" per input request

  explicit Session(size_t heapLimit = ScriptHost::kHeapLimit) : host(heapLimit) {
    host.SetOutputHandler([this](const std::string& text) { outputs.push_back(text); });
    host.SetInputHandler([this](bool wholeLine, int count, std::string& text) {
      reads.push_back(wholeLine ? "line" : "count=" + std::to_string(count));
      text = wholeLine ? page : "";
      return true;
    });
  }

  bool Run(const std::string& source, const Texts& args = {}, milliseconds limit = kScriptLimit) {
    EXPECT_TRUE(host.CompileFile(dir.Write("s.js", source))) << host.ErrorText();
    return host.Run(args, limit);
  }
};

TEST(ScriptHost, EveryOutputCallIsOneText) {
  Session s;
  ASSERT_TRUE(s.Run("print('a', 1, true); println('b'); write(); writeln();"
                    "stdout.write('c', 'd'); stdout.writeln(null);"))
      << s.host.ErrorText();
  EXPECT_EQ(s.outputs, (Texts{"a1true", "b\n", "", "\n", "cd", "null\n"}));
}

TEST(ScriptHost, TwoOutputsAndNoOutput) {
  Session two;
  ASSERT_TRUE(two.Run("print('<first/>'); print('<second/>');"));
  ASSERT_EQ(two.outputs.size(), 2u);
  EXPECT_EQ(two.outputs.back(), "<second/>");

  Session none;
  ASSERT_TRUE(none.Run("var x = 1 + 1;"));
  EXPECT_TRUE(none.outputs.empty());
  EXPECT_TRUE(none.reads.empty());
}

TEST(ScriptHost, ReadsGoThroughTheInputHandler) {
  Session s;
  s.page = "<html>page</html>";
  ASSERT_TRUE(s.Run("var a = readln(); var b = stdin.readln(); var c = stdin.read(10);"
                    "var d = stdin.read(); print(a + '|' + b + '|[' + c + ']|[' + d + ']');"));
  EXPECT_EQ(s.outputs, (Texts{"<html>page</html>|<html>page</html>|[]|[]"}));
  EXPECT_EQ(s.reads, (Texts{"line", "line", "count=10", "count=-1"}));

  // Without a handler (or when it fails) a read gives null.
  ScriptHost bare;
  test::TempDir dir;
  Texts out;
  bare.SetOutputHandler([&](const std::string& t) { out.push_back(t); });
  ASSERT_TRUE(bare.CompileFile(dir.Write("r.js", "print(readln() === null);")));
  ASSERT_TRUE(bare.Run({}, kScriptLimit));
  EXPECT_EQ(out, (Texts{"true"}));
}

TEST(ScriptHost, ArgumentsArriveAsAnArray) {
  Session s;
  ASSERT_TRUE(s.Run("print(args.length + ':' + args.join('|'));", {"one", "two words", ""}));
  EXPECT_EQ(s.outputs, (Texts{"3:one|two words|"}));
  ASSERT_TRUE(s.host.Run({}, kScriptLimit));
  EXPECT_EQ(s.outputs.back(), "0:");
}

TEST(ScriptHost, JapaneseTextRoundTrips) {
  Session s;
  s.page = Utf8ToSjis("日本語のお知らせ、表示");
  // String functions see characters, not bytes; the literal is Japanese too.
  ASSERT_TRUE(s.Run("var p = readln(); print(p.length + ':' + p.substring(0, 3) + '/' +"
                    " p.indexOf('表') + '/' + '新着');"));
  EXPECT_EQ(s.outputs, (Texts{Utf8ToSjis("11:日本語/9/新着")}));

  // A script saved in Shift_JIS reads the same.
  ASSERT_TRUE(s.host.CompileFile(s.dir.Write("sjis.js", Utf8ToSjis("print('表示' + args[0]);"))))
      << s.host.ErrorText();
  ASSERT_TRUE(s.host.Run({Utf8ToSjis("ソース")}, kScriptLimit));
  EXPECT_EQ(s.outputs.back(), Utf8ToSjis("表示ソース"));
}

TEST(ScriptHost, BytesThatAreNoTextStayStrings) {
  Session s;
  s.page = std::string("\x80\xFF", 2) + "ok\x82";
  ASSERT_TRUE(s.Run("var p = readln(); print(typeof p + ':' + p.length + ':' + p.slice(2, 4));"));
  EXPECT_EQ(s.outputs, (Texts{"string:5:ok"}));
}

TEST(ScriptHost, ScriptErrorsAreCaught) {
  Session s;
  EXPECT_FALSE(s.Run("print('before'); throw new Error('boom'); print('after');"));
  EXPECT_EQ(s.outputs, (Texts{"before"}));
  EXPECT_NE(s.host.ErrorText().find("boom"), std::string::npos) << s.host.ErrorText();

  ScriptHost host;
  test::TempDir dir;
  EXPECT_FALSE(host.CompileFile(dir.Write("bad.js", "print('x'")));
  EXPECT_NE(host.ErrorText().find("SyntaxError"), std::string::npos) << host.ErrorText();
  EXPECT_FALSE(host.Run({}, kScriptLimit));  // nothing compiled
  EXPECT_FALSE(host.CompileFile(dir / "missing.js"));
}

TEST(ScriptHost, EndlessScriptIsStopped) {
  Session s;
  EXPECT_FALSE(s.Run("print('partial'); for (;;) {}", {}, milliseconds(300)));
  EXPECT_EQ(s.outputs, (Texts{"partial"}));
  EXPECT_NE(s.host.ErrorText().find("time limit"), std::string::npos);
}

TEST(ScriptHost, HeapIsCapped) {
  Session s(size_t{8} << 20);
  ASSERT_TRUE(s.Run("var t = 'x'; try { for (;;) t = t + t; } catch (e) { print(e.name + ': ' + e.message); }"));
  EXPECT_EQ(s.outputs, (Texts{"Error: alloc failed"}));
}

TEST(ScriptHost, RunsStartFromTheCompiledState) {
  Session s;
  ASSERT_TRUE(s.Run("var n = (typeof n === 'undefined') ? 1 : n + 1; print(n);"));
  ASSERT_TRUE(s.host.Run({}, kScriptLimit));
  EXPECT_EQ(s.outputs, (Texts{"1", "1"}));
}

TEST(ScriptHost, IndependentHostsOnSeveralThreads) {
  constexpr int kThreads = 4;
  std::vector<Texts> results(kThreads);
  {
    std::vector<std::jthread> threads;
    for (int i = 0; i < kThreads; ++i)
      threads.emplace_back([&results, i] {
        Session s;
        s.page = "page" + std::to_string(i);
        if (s.Run("for (var k = 0; k < 3; k++) print(readln() + ':' + k);")) results[i] = s.outputs;
      });
  }
  for (int i = 0; i < kThreads; ++i) {
    std::string p = "page" + std::to_string(i);
    EXPECT_EQ(results[i], (Texts{p + ":0", p + ":1", p + ":2"}));
  }
}

// A script runs in a forked copy of a process whose other threads keep allocating: the
// copy must never wait for an allocator lock one of them held at the fork (it did, under
// AddressSanitizer, until each run met its time limit).
TEST(ScriptHost, ScriptsRunWhileOtherThreadsAllocate) {
  std::atomic<bool> stop{false};
  std::vector<std::jthread> busy;
  for (int t = 0; t < 3; ++t)
    busy.emplace_back([&stop, t] {
      std::vector<std::unique_ptr<char[]>> held(64);
      for (size_t k = 0; !stop.load(std::memory_order_relaxed); ++k)
        held[k % held.size()] = std::make_unique<char[]>(16 + (k * 37 + static_cast<size_t>(t)) % 4000);
    });
  for (int run = 0; run < 30; ++run) {
    Session s;
    s.page = "page";
    ASSERT_TRUE(s.Run("var a = []; for (var k = 0; k < 2000; k++) a.push({k: k, t: 'x' + k});"
                      "print(readln() + ':' + a.length);",
                      {}, milliseconds(20000)))
        << "run " << run << ": " << s.host.ErrorText();
    EXPECT_EQ(s.outputs, (Texts{"page:2000"}));
  }
  stop = true;
}

TEST(ScriptHost, ManyArgumentsAreOneOutput) {
  Session s;
  ASSERT_TRUE(s.Run("var a = []; for (var k = 0; k < 100; k++) a.push(k % 10); print.apply(null, a);"));
  ASSERT_EQ(s.outputs.size(), 1u);
  std::string digits;
  for (int k = 0; k < 100; ++k) digits += static_cast<char>('0' + k % 10);
  EXPECT_EQ(s.outputs[0], digits);
}

// The engine's heap keeps each block's contents whatever its size, and hands freed
// blocks out again.
TEST(ScriptArena, BlocksOfEverySizeKeepTheirContents) {
  ScriptArena arena;
  const size_t sizes[] = {1, 16, 17, 1000, 65536, (size_t{1} << 20), (size_t{1} << 20) + 1, size_t{3} << 20};
  std::vector<void*> blocks;
  for (size_t size : sizes) {
    auto* b = static_cast<unsigned char*>(arena.Allocate(size));
    ASSERT_NE(b, nullptr) << size;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % alignof(std::max_align_t), 0u) << size;
    EXPECT_EQ(ScriptArena::SizeOf(b), size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<unsigned char>(i * 7 + size);
    blocks.push_back(b);
  }
  for (size_t n = 0; n < std::size(sizes); ++n) {
    // Grown past its size class (or its mapping), then shrunk: the first bytes stay.
    auto* grown = static_cast<unsigned char*>(arena.Resize(blocks[n], sizes[n] * 2 + 40));
    ASSERT_NE(grown, nullptr);
    for (size_t i = 0; i < sizes[n]; ++i) ASSERT_EQ(grown[i], static_cast<unsigned char>(i * 7 + sizes[n])) << sizes[n];
    auto* shrunk = static_cast<unsigned char*>(arena.Resize(grown, 1));
    EXPECT_EQ(shrunk, grown) << "a smaller size fits where it is";
    EXPECT_EQ(ScriptArena::SizeOf(shrunk), 1u);
    arena.Free(shrunk);
  }
  void* a = arena.Allocate(100);
  arena.Free(a);
  EXPECT_EQ(arena.Allocate(120), a) << "the same size class comes back from its free list";
}

}  // namespace
}  // namespace norvane
