#include "htr/script_host.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "core/sjis.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using std::chrono::milliseconds;
using Texts = std::vector<std::string>;
constexpr milliseconds kGenerous{60000};

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

  bool Run(const std::string& source, const Texts& args = {}, milliseconds limit = kGenerous) {
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
  ASSERT_TRUE(bare.Run({}, kGenerous));
  EXPECT_EQ(out, (Texts{"true"}));
}

TEST(ScriptHost, ArgumentsArriveAsAnArray) {
  Session s;
  ASSERT_TRUE(s.Run("print(args.length + ':' + args.join('|'));", {"one", "two words", ""}));
  EXPECT_EQ(s.outputs, (Texts{"3:one|two words|"}));
  ASSERT_TRUE(s.host.Run({}, kGenerous));
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
  ASSERT_TRUE(s.host.Run({Utf8ToSjis("ソース")}, kGenerous));
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
  EXPECT_FALSE(host.Run({}, kGenerous));  // nothing compiled
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
  ASSERT_TRUE(s.host.Run({}, kGenerous));
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

}  // namespace
}  // namespace norvane
