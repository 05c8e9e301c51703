#include "pattern/awk_str.h"

#include <gtest/gtest.h>

#include <string>

#include "core/sjis.h"
#include "core/texts.h"
#include "support/u8_text.h"

namespace norvane {
namespace {


// The dialect alone, without the fuzzy table.
class PlainMatcher : public ::testing::Test {
 protected:
  PlainMatcher() { m.SetUseFuzzyCharDic(false); }
  bool Match(const std::string& pattern, const std::string& text) {
    m.SetRegExp(pattern);
    return m.IsMatch(text);
  }
  TAWKStr m;
};

TEST_F(PlainMatcher, DotIsAnyCharacterButNulLineBreaksAndCodesBeyondShiftJis) {
  EXPECT_TRUE(Match("^.$", "a"));
  EXPECT_TRUE(Match("^.$", S(u8"あ")));  // two bytes, one character
  EXPECT_FALSE(Match("^..$", S(u8"あ")));
  EXPECT_TRUE(Match("^.$", "\xFC\xFC"));
  EXPECT_FALSE(Match("^.$", "\xFC\xFD"));
  EXPECT_FALSE(Match("^.$", std::string(1, '\0')));
  EXPECT_FALSE(Match("a.b", "a\nb"));
  EXPECT_FALSE(Match("a.b", "a\rb"));
  EXPECT_TRUE(Match("a.b", "a\tb"));
  EXPECT_TRUE(Match("^.$", "\x83"));  // a lone lead byte at the end is a character
}

TEST_F(PlainMatcher, AnchorsFollowTheLineSeparator) {
  EXPECT_TRUE(Match("^b", "a\nb"));
  EXPECT_FALSE(Match("^b", "a\rb"));
  EXPECT_TRUE(Match("a$", "a\r\nb"));
  EXPECT_FALSE(Match("a$", "a\nb"));
  EXPECT_TRUE(Match("a$", "xa"));
  EXPECT_FALSE(Match("^a$", "ab"));
  m.SetLineSeparator(TLineSeparator::mcls_LF);  // applies the current pattern again
  EXPECT_TRUE(m.IsMatch("ab") == false);
  EXPECT_TRUE(Match("a$", "a\nb"));
  EXPECT_FALSE(Match("a$", "a\rb"));
}

TEST_F(PlainMatcher, EscapesStandForTheirCharacters) {
  EXPECT_TRUE(Match("\\t", "\t"));
  EXPECT_TRUE(Match("\\b", "\b"));
  EXPECT_TRUE(Match("a\\nb", "a\nb"));
  EXPECT_TRUE(Match("\\r", "\r"));
  EXPECT_TRUE(Match("\\x41", "A"));
  EXPECT_TRUE(Match("\\x41-", "A-"));
  EXPECT_FALSE(Match("\\x41B", "AB"));  // up to four digits are taken: one code, 0x41B
  EXPECT_TRUE(Match("\\x0041B", "AB"));
  EXPECT_TRUE(Match("\\x82a0", S(u8"あ")));
  EXPECT_TRUE(Match("\\101", "A"));
  EXPECT_TRUE(Match("\\0", std::string(1, '\0')));
  EXPECT_TRUE(Match("a\\.b", "a.b"));
  EXPECT_FALSE(Match("a\\.b", "axb"));
  EXPECT_TRUE(Match("\\(\\)\\[\\]\\|\\*", "()[]|*"));
  EXPECT_TRUE(Match("\\q", "q"));
}

TEST_F(PlainMatcher, SetsRangesAndNegation) {
  EXPECT_TRUE(Match("^[a-c]$", "b"));
  EXPECT_FALSE(Match("^[a-c]$", "d"));
  EXPECT_TRUE(Match("^[a-]$", "-"));
  EXPECT_TRUE(Match("^[^a]$", "b"));
  EXPECT_FALSE(Match("^[^a]$", "a"));
  EXPECT_TRUE(Match(S(u8"^[ァ-ヶ]+$"), S(u8"カタカナ")));
  EXPECT_FALSE(Match(S(u8"^[ァ-ヶ]+$"), S(u8"かな")));
  EXPECT_TRUE(Match("^[(|)]$", "|"));
  EXPECT_TRUE(Match("^[\\]]$", "]"));
  EXPECT_TRUE(Match("^[\\x41-\\x43]$", "B"));
}

TEST_F(PlainMatcher, AlternationGroupsAndQuantifiers) {
  EXPECT_TRUE(Match("^(ab|cd)+$", "abcdab"));
  EXPECT_FALSE(Match("^(ab|cd)+$", "abc"));
  EXPECT_TRUE(Match("^a?b*c$", "c"));
  EXPECT_TRUE(Match("^()$", ""));
  EXPECT_TRUE(Match("^(a|)$", ""));
  EXPECT_TRUE(Match("x|", "anything"));  // an empty alternative matches anywhere
  EXPECT_FALSE(Match("^x+$", ""));
  EXPECT_TRUE(Match("colou?r", "my color"));
  EXPECT_TRUE(Match("{2}", "a{2}"));  // braces are no operators
}

TEST_F(PlainMatcher, TrailBytesThatLookLikeOperatorsAreNeverTakenForThem) {
  const std::string so = S(u8"ソ"), hyo = S(u8"表"), po = S(u8"ポ");
  // ポ ends in 0x7C: taken for "|" it would make an empty alternative matching all.
  EXPECT_FALSE(Match(po, "abc"));
  EXPECT_TRUE(Match(po, S(u8"ポスト")));
  // 表 ends in 0x5C: taken for a backslash it would escape the dot.
  EXPECT_TRUE(Match(hyo + ".", hyo + "x"));
  EXPECT_FALSE(Match(hyo + ".", "\x95."));
  EXPECT_TRUE(Match("(" + so + ")+", so + so));
  // And in the text: ソ is one character, its 0x5C never a backslash.
  EXPECT_FALSE(Match("\\\\", so));
  EXPECT_FALSE(Match("\\|", po));
  EXPECT_FALSE(Match("^.\\\\$", so));
}

TEST(TAWKStrTest, StartsWithTheEmptyPatternWhichMatchesEverything) {
  TAWKStr m;
  EXPECT_EQ(m.RegExp(), "");
  EXPECT_TRUE(m.UseFuzzyCharDic());
  EXPECT_TRUE(m.UseSynonymDic());
  EXPECT_EQ(m.LineSeparator(), TLineSeparator::mcls_CRLF);
  EXPECT_TRUE(m.IsMatch(""));
  EXPECT_TRUE(m.IsMatch("abc"));
}

TEST(TAWKStrTest, RejectedPatternLeavesNoPatternAndMatchesNothing) {
  TAWKStr m;
  m.SetRegExp("abc");
  EXPECT_EQ(m.RegExp(), "abc");
  try {
    m.SetRegExp("C++");
    FAIL() << "accepted";
  } catch (const ERegExpParser& e) {
    EXPECT_EQ(std::string(e.what()), T().regexpNeedAtom);
    EXPECT_EQ(e.Position(), 2u);
  }
  EXPECT_EQ(m.RegExp(), "");
  EXPECT_FALSE(m.IsMatch("abc"));
  EXPECT_FALSE(m.IsMatch(""));
  // Switching options keeps it without a pattern rather than inventing one.
  m.SetUseFuzzyCharDic(false);
  EXPECT_FALSE(m.IsMatch("abc"));
  m.SetRegExp("b");
  EXPECT_TRUE(m.IsMatch("abc"));
}

TEST(TAWKStrTest, FuzzyTableIsAppliedAndCanBeSwitchedOff) {
  TAWKStr m;
  m.SetRegExp("abc");
  EXPECT_TRUE(m.IsMatch(S(u8"ＡＢＣ")));
  EXPECT_TRUE(m.IsMatch("aBc"));
  m.SetUseFuzzyCharDic(false);
  EXPECT_EQ(m.RegExp(), "abc");
  EXPECT_FALSE(m.IsMatch("aBc"));
  EXPECT_TRUE(m.IsMatch("xabcx"));
  // Inside a set nothing is widened.
  m.SetUseFuzzyCharDic(true);
  m.SetRegExp("[a]");
  EXPECT_TRUE(m.IsMatch("a"));
  EXPECT_FALSE(m.IsMatch("A"));
  EXPECT_FALSE(m.IsMatch(S(u8"ａ")));
}

TEST(TAWKStrTest, PathologicalBacktrackingGivesUpAsNoMatch) {
  TAWKStr m;
  m.SetUseFuzzyCharDic(false);
  // The "b" at the end defeats the engine's quick required-character check.
  const std::string text = std::string(60, 'a') + "cb";
  for (const char* p : {"(a+)+b", "^(a|a)*b", "^((a*)*)*b", "(a|aa)+b"}) {
    SCOPED_TRACE(p);
    m.SetRegExp(p);
    EXPECT_FALSE(m.IsMatch(text));
  }
  m.SetRegExp("(a+)+b");
  m.IsMatch(text);
  EXPECT_TRUE(m.LastMatchHitLimit());
  EXPECT_TRUE(m.IsMatch("aab"));
  EXPECT_FALSE(m.LastMatchHitLimit());
}

TEST(TAWKStrTest, LongSingleLineTextsAreSearchedToTheEnd) {
  // A keyword pattern on a long description without line breaks must find a match
  // far in, and fail cleanly when there is none.
  TAWKStr m;
  m.SetRegExp("(.*(foo).*(bar).*)|(.*(bar).*(foo).*)");
  std::string text;
  for (int i = 0; i < 4000; ++i) text += S(u8"ニュース本文 ");
  EXPECT_FALSE(m.IsMatch(text));
  EXPECT_FALSE(m.LastMatchHitLimit());
  EXPECT_TRUE(m.IsMatch(text + S(u8"ＢＡＲ と foo")));
  EXPECT_TRUE(m.IsMatch("foo " + text + "bar"));
  EXPECT_FALSE(m.IsMatch("foo " + text + "\nbar"));
}

}  // namespace
}  // namespace norvane
