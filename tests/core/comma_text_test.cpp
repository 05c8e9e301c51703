#include "core/comma_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace norvane {
namespace {

using Items = std::vector<std::string>;

TEST(ParseCommaText, QuotedItemsHoldCommasSpacesAndDoubledQuotes) {
  EXPECT_EQ(ParseCommaText(R"("a,b","c d","say ""hi""",e)"), (Items{"a,b", "c d", R"(say "hi")", "e"}));
  EXPECT_EQ(ParseCommaText(R"(""",""")"), (Items{R"(",")"}));
  EXPECT_EQ(ParseCommaText(R"(" lead and trail ")"), (Items{" lead and trail "}));
  EXPECT_EQ(ParseCommaText(R"("",x)"), (Items{"", "x"}));
  // Text right after a closing quote starts the next item.
  EXPECT_EQ(ParseCommaText(R"("ab"cd,e)"), (Items{"ab", "cd", "e"}));
  // A quote that never closes takes the rest of the text.
  EXPECT_EQ(ParseCommaText(R"(a,"open, to the end)"), (Items{"a", "open, to the end"}));
}

TEST(ParseCommaText, UnquotedItemsEndAtCommaOrAnyByteFrom1To32) {
  for (char c : {'\x01', '\t', '\n', '\r', '\x1F', ' '}) {
    const std::string text = std::string("ab") + c + "cd";
    EXPECT_EQ(ParseCommaText(text), (Items{"ab", "cd"})) << static_cast<int>(c);
  }
  EXPECT_EQ(ParseCommaText("a!b,~x\x7F"), (Items{"a!b", "~x\x7F"}));  // 33 and up belong to the item
  EXPECT_EQ(ParseCommaText("a , b"), (Items{"a", "b"}));
  // Shift_JIS bytes, trails 0x5C and 0x7C included, are ordinary item bytes.
  EXPECT_EQ(ParseCommaText("\x83\x5C,\x95\x5C\x83\x7C"), (Items{"\x83\x5C", "\x95\x5C\x83\x7C"}));
}

TEST(ParseCommaText, EmptyItemsAndTheEnds) {
  EXPECT_EQ(ParseCommaText(""), Items{});
  EXPECT_EQ(ParseCommaText("  \t "), Items{});
  EXPECT_EQ(ParseCommaText("   a,b"), (Items{"a", "b"}));  // leading spaces are skipped
  EXPECT_EQ(ParseCommaText("a,"), (Items{"a", ""}));        // a final comma adds an item
  EXPECT_EQ(ParseCommaText("a, "), (Items{"a"}));           // unless something follows it
  EXPECT_EQ(ParseCommaText(","), (Items{"", ""}));
  EXPECT_EQ(ParseCommaText("a,,b"), (Items{"a", "", "b"}));
  EXPECT_EQ(ParseCommaText(",,"), (Items{"", "", ""}));
  EXPECT_EQ(ParseCommaText(std::string("a,b\0c,d", 7)), (Items{"a", "b"}));  // a zero byte ends it
}

TEST(WriteCommaText, QuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(WriteCommaText({"u=http://x/feed", "r=on"}), "u=http://x/feed,r=on");
  EXPECT_EQ(WriteCommaText({"a b", R"(x"y)", "", "c,d"}), R"("a b","x""y","","c,d")");
  EXPECT_EQ(WriteCommaText({}), "");
}

TEST(CommaText, RoundTrips) {
  const std::vector<Items> lists = {
      {""},
      {"", ""},
      {"a"},
      {" ", "  lead", "trail  ", "in side"},
      {"\"", "\"\"", "\"quoted\"", ","},
      {"tab\there", "line\r\nbreak", "\x01\x1F"},
      {"w=\x93\xFA\x96\x7B", "\x83\x5C\x95\x5C", "\x83\x7C"},  // Shift_JIS
      {"u=http://example.com/rss?a=1&b=2", "r=on", "w=", "sel=new"},
  };
  for (const Items& items : lists) EXPECT_EQ(ParseCommaText(WriteCommaText(items)), items);

  // Random items over every byte but zero, which ends a text.
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<int> byte(1, 255), length(0, 6), count(1, 6);
  for (int round = 0; round < 2000; ++round) {
    Items items(count(rng));
    for (std::string& item : items) {
      item.resize(length(rng));
      for (char& c : item) c = static_cast<char>(byte(rng));
    }
    const std::string text = WriteCommaText(items);
    ASSERT_EQ(ParseCommaText(text), items) << "text: " << text;
  }
}

}  // namespace
}  // namespace norvane
