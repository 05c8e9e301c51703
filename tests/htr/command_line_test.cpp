#include "htr/command_line.h"

#include <gtest/gtest.h>

namespace norvane {
namespace {

using Pieces = std::vector<std::string>;

TEST(CommandLine, JoinQuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(JoinCommandLine("scripts\\news.sh", {}), "scripts\\news.sh ");
  EXPECT_EQ(JoinCommandLine("scripts\\news.sh", {"a b", "c"}), "scripts\\news.sh \"a b\" c");
  EXPECT_EQ(JoinCommandLine("perl x.pl", {"say \"hi\"", "tab\there", ""}),
            "perl x.pl \"say \"\"hi\"\"\" \"tab\there\" \"\"");
}

TEST(CommandLine, SplitUndoesJoin) {
  // Shift_JIS "表" is 95 5C: its trail byte is a backslash and must pass untouched.
  const Pieces cases[] = {
      {},
      {"plain"},
      {"a b", "c"},
      {"", "x", ""},
      {"\"", "\"\"", "in\"side", "end\""},
      {"\x95\x5C", "\x93\xFA \x96\x7B", "line\r\nbreak"},
  };
  for (const Pieces& pieces : cases) {
    Pieces split = SplitCommandLine(JoinCommandLine("prog", pieces));
    ASSERT_FALSE(split.empty());
    EXPECT_EQ(split[0], "prog");
    EXPECT_EQ(Pieces(split.begin() + 1, split.end()), pieces);
  }
}

TEST(CommandLine, SplitHandlesHandWrittenLines) {
  EXPECT_EQ(SplitCommandLine("  a   b  "), (Pieces{"a", "b"}));
  EXPECT_EQ(SplitCommandLine("\"/opt/my tools/run\" -x"), (Pieces{"/opt/my tools/run", "-x"}));
  EXPECT_EQ(SplitCommandLine("pre\"mid dle\"post next"), (Pieces{"premid dlepost", "next"}));
  EXPECT_EQ(SplitCommandLine("a \"unclosed tail"), (Pieces{"a", "unclosed tail"}));
  EXPECT_TRUE(SplitCommandLine("").empty());
  EXPECT_TRUE(SplitCommandLine("   ").empty());
}

}  // namespace
}  // namespace norvane
