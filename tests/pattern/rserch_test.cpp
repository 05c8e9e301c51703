#include "pattern/rserch.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/sjis.h"
#include "core/texts.h"
#include "support/temp_dir.h"
#include "support/u8_text.h"

namespace norvane {
namespace {


bool KeywordMatches(TRSerch& m, const std::string& phrase, const std::string& text) {
  m.SetKeyword(phrase);
  return m.IsMatch(text);
}

TEST(RSerchMakePatternTest, WordsInTypedAndReverseOrder) {
  EXPECT_EQ(TRSerch::MakePattern("foo bar"), "(.*(foo).*(bar).*)|(.*(bar).*(foo).*)");
  EXPECT_EQ(TRSerch::MakePattern("a OR b c"), "(.*(a|b).*(c).*)|(.*(c).*(a|b).*)");
  EXPECT_EQ(TRSerch::MakePattern(""), "(.*)|(.*)");
  EXPECT_EQ(TRSerch::MakePattern("A  B"), "(.*(A).*().*(B).*)|(.*(B).*().*(A).*)");
  EXPECT_EQ(TRSerch::MakePattern(" A"), "(.*().*(A).*)|(.*(A).*().*)");
  EXPECT_EQ(TRSerch::MakePattern("A "), "(.*(A).*().*)|(.*().*(A).*)");
  // A full-width space is a space, also next to " OR ".
  EXPECT_EQ(TRSerch::MakePattern(S(u8"a　b")), TRSerch::MakePattern("a b"));
  EXPECT_EQ(TRSerch::MakePattern(S(u8"a　OR　b")), TRSerch::MakePattern("a|b"));
  // " OR " is case-sensitive.
  EXPECT_EQ(TRSerch::MakePattern("a or b"), TRSerch::MakePattern("a or b"));
  EXPECT_NE(TRSerch::MakePattern("a or b").find("(or)"), std::string::npos);
}

TEST(RSerchMakePatternTest, ReplacementsTakeWholeCharactersOnly) {
  // 0x88 0x81 followed by "@" holds the bytes 0x81 0x40 of a full-width space across
  // a character boundary; it must stay as it is.
  const std::string tricky = "\x88\x81@";
  EXPECT_EQ(TRSerch::MakePattern(tricky), "(.*(" + tricky + ").*)|(.*(" + tricky + ").*)");
  // A lead byte takes the space after it as its trail: no word break, no " OR ".
  const std::string lead = "\x81 OR b";
  EXPECT_EQ(TRSerch::MakePattern(lead),
            "(.*(\x81 OR).*(b).*)|(.*(b).*(\x81 OR).*)");
  // ソ (0x83 0x5C) before " OR " is a character of its own.
  const std::string so = S(u8"ソ");
  EXPECT_EQ(TRSerch::MakePattern(so + " OR x"),
            "(.*(" + so + "|x).*)|(.*(" + so + "|x).*)");
}

TEST(RSerchTest, CreateSetsTheDefaults) {
  TRSerch m;
  EXPECT_TRUE(m.UseFuzzyCharDic());
  EXPECT_TRUE(m.UseSynonymDic());
  EXPECT_EQ(m.LineSeparator(), TLineSeparator::mcls_CRLF);
  EXPECT_EQ(m.RegExp(), "");
  EXPECT_TRUE(m.SynonymDics().empty());
  EXPECT_FALSE(m.OwnsSynonymDic());
}

TEST(RSerchTest, WordOrderAndLines) {
  TRSerch m;
  EXPECT_TRUE(KeywordMatches(m, "foo bar", "a foo and a bar"));
  EXPECT_TRUE(KeywordMatches(m, "foo bar", "bar before foo"));
  EXPECT_FALSE(KeywordMatches(m, "foo bar", "foo"));
  EXPECT_FALSE(KeywordMatches(m, "foo bar", "foo\r\nbar"));
  EXPECT_FALSE(KeywordMatches(m, "foo bar", "foo\nbar"));
  EXPECT_TRUE(KeywordMatches(m, "foo bar", "x\r\nfoo bar\r\ny"));
  EXPECT_TRUE(KeywordMatches(m, "a b c", "a-b-c"));
  EXPECT_TRUE(KeywordMatches(m, "a b c", "c-b-a"));
  EXPECT_FALSE(KeywordMatches(m, "a b c", "b-a-c"));
  EXPECT_EQ(m.RegExp(), TRSerch::MakePattern("a b c"));
}

TEST(RSerchTest, OrAndSpaces) {
  TRSerch m;
  EXPECT_TRUE(KeywordMatches(m, "foo OR bar", "only bar here"));
  EXPECT_TRUE(KeywordMatches(m, "foo OR bar", "only foo here"));
  EXPECT_FALSE(KeywordMatches(m, "foo OR bar", "neither"));
  EXPECT_FALSE(KeywordMatches(m, "foo or bar", "foo bar"));
  EXPECT_TRUE(KeywordMatches(m, "foo or bar", "foo or bar"));
  EXPECT_TRUE(KeywordMatches(m, S(u8"foo　bar"), "bar, foo"));
  EXPECT_FALSE(KeywordMatches(m, S(u8"foo　bar"), "foo"));
  EXPECT_TRUE(KeywordMatches(m, "  foo   bar  ", "foobar"));
  EXPECT_FALSE(KeywordMatches(m, "  foo   bar  ", "foo"));
}

TEST(RSerchTest, EmptyPhraseMatchesEveryText) {
  TRSerch m;
  for (std::string text : {"", "x", "a\r\nb", "\n"}) EXPECT_TRUE(KeywordMatches(m, "", text));
}

TEST(RSerchTest, CaseWidthAndKanaFolding) {
  TRSerch m;
  EXPECT_TRUE(KeywordMatches(m, "abc", S(u8"ＡＢＣ")));
  EXPECT_TRUE(KeywordMatches(m, "abc", "aBc"));
  EXPECT_TRUE(KeywordMatches(m, S(u8"ガソリン"), S(u8"ｶﾞｿﾘﾝ")));
  EXPECT_TRUE(KeywordMatches(m, S(u8"ガソリン"), S(u8"がそりん")));
  EXPECT_TRUE(KeywordMatches(m, S(u8"ガソリン"), S(u8"カ゛ソリン")));
  EXPECT_FALSE(KeywordMatches(m, S(u8"ガソリン"), S(u8"カソリン")));
  EXPECT_TRUE(KeywordMatches(m, S(u8"ヴァイオリン"), S(u8"バイオリン")));
  EXPECT_TRUE(KeywordMatches(m, S(u8"第1回"), S(u8"第一回")));
  EXPECT_TRUE(KeywordMatches(m, S(u8"第1回"), S(u8"第①回")));
  EXPECT_TRUE(KeywordMatches(m, S(u8"きって"), S(u8"キッテ")));
  EXPECT_TRUE(KeywordMatches(m, S(u8"わ"), S(u8"ｳｧ")));
}

TEST(RSerchTest, LongVowelMarksMayBeAbsent) {
  TRSerch m;
  EXPECT_TRUE(KeywordMatches(m, S(u8"コンピューター"), S(u8"コンピュータ")));
  EXPECT_TRUE(KeywordMatches(m, S(u8"コンピューター"), S(u8"ｺﾝﾋﾟｭｰﾀｰ")));
  EXPECT_TRUE(KeywordMatches(m, S(u8"コンピューター"), S(u8"コンピュ～タ～")));
  // The other way round the mark is a character that must be there.
  EXPECT_FALSE(KeywordMatches(m, S(u8"コンピュータ"), S(u8"コンピュ")));
}

TEST(RSerchTest, OperatorsInPhrasesAndTheirEscapes) {
  TRSerch m;
  try {
    m.SetKeyword("C++");
    FAIL() << "accepted";
  } catch (const ERegExpParser& e) {
    EXPECT_EQ(std::string(e.what()), T().regexpNeedAtom);
  }
  EXPECT_EQ(m.RegExp(), "");
  EXPECT_FALSE(m.IsMatch("C++"));
  EXPECT_TRUE(KeywordMatches(m, "C\\+\\+", "C++"));
  EXPECT_TRUE(KeywordMatches(m, "C\\+\\+", S(u8"Ｃ＋＋")));
  EXPECT_FALSE(KeywordMatches(m, "C\\+\\+", "C"));
  EXPECT_TRUE(KeywordMatches(m, "[a]", "a"));
  EXPECT_FALSE(KeywordMatches(m, "[a]", "A"));
  EXPECT_FALSE(KeywordMatches(m, "[^a]", "a"));
  EXPECT_TRUE(KeywordMatches(m, "[^a]", S(u8"ａ")));
}

TEST(RSerchTest, PhraseEndingInALoneLeadByteIsRefusedWithItsMessage) {
  TRSerch m;
  m.SetKeyword("ok");
  try {
    m.SetKeyword(S(u8"あい ") + "\x83");
    FAIL() << "accepted";
  } catch (const ERegExpParser& e) {
    EXPECT_EQ(std::string(e.what()), T().regexpBadDoubleByte);
    EXPECT_EQ(e.Position(), 3u);
  }
  EXPECT_EQ(m.RegExp(), "");
  EXPECT_FALSE(m.IsMatch("ok"));
}

TEST(RSerchTest, MultiByteCharactersWithOperatorLikeTrailBytes) {
  TRSerch m;
  // ポ ends in 0x7C ("|"): an empty alternative would make it match everything.
  EXPECT_FALSE(KeywordMatches(m, S(u8"ポ"), "abc"));
  EXPECT_TRUE(KeywordMatches(m, S(u8"ポ"), S(u8"ﾎﾟｲﾝﾄ")));
  // ソ and 表 end in 0x5C (backslash): no escape of the ")" after them.
  EXPECT_TRUE(KeywordMatches(m, S(u8"ソフト"), S(u8"ｿﾌﾄｳｪｱ")));
  EXPECT_TRUE(KeywordMatches(m, S(u8"表示 ソ"), S(u8"そ表示")));
  EXPECT_FALSE(KeywordMatches(m, S(u8"表"), "\x95"));
  EXPECT_FALSE(KeywordMatches(m, S(u8"表"), "\\"));
}

class RSerchDicTest : public ::testing::Test {
 protected:
  std::string WriteDic(const std::string& content) { return dir.Write("dic.csv", content); }
  test::TempDir dir;
};

TEST_F(RSerchDicTest, SynonymsComeBeforeTheFuzzyTable) {
  TRSerch m;
  m.LoadSynonymDic(WriteDic(S(u8"パソコン,PC") + "\r\n"));
  EXPECT_TRUE(m.OwnsSynonymDic());
  EXPECT_TRUE(KeywordMatches(m, S(u8"パソコン"), S(u8"ＰＣ")));
  EXPECT_TRUE(KeywordMatches(m, S(u8"パソコン"), "pc"));
  EXPECT_TRUE(KeywordMatches(m, S(u8"パソコン"), S(u8"ﾊﾟｿｺﾝ")));
  EXPECT_TRUE(KeywordMatches(m, S(u8"パソコン"), S(u8"Ｐｃ")));
  EXPECT_FALSE(KeywordMatches(m, "pc", S(u8"パソコン")));
  EXPECT_TRUE(KeywordMatches(m, "pc", "PC"));
  // RegExp keeps the text before any expansion.
  EXPECT_EQ(m.RegExp(), TRSerch::MakePattern("pc"));
  m.SetUseSynonymDic(false);
  EXPECT_FALSE(KeywordMatches(m, S(u8"パソコン"), "PC"));
}

TEST_F(RSerchDicTest, CommaTextLinesMakeTheClasses) {
  {
    TRSerch m;
    m.LoadSynonymDic(WriteDic(S(u8"パソコン,PC,\"personal computer\"")));
    EXPECT_TRUE(KeywordMatches(m, S(u8"パソコン"), "a personal computer"));
    EXPECT_FALSE(KeywordMatches(m, S(u8"パソコン"), "personal"));
  }
  {
    TRSerch m;
    m.LoadSynonymDic(WriteDic(S(u8"パソコン,PC,personal computer")));
    EXPECT_TRUE(KeywordMatches(m, S(u8"パソコン"), "personal"));
    EXPECT_TRUE(KeywordMatches(m, S(u8"パソコン"), "computer"));
  }
  {
    // A doubled quote inside quotes is one quote.
    TRSerch m;
    m.LoadSynonymDic(WriteDic("say,\"a \"\"b\"\"\""));
    EXPECT_TRUE(KeywordMatches(m, "say", "a \"b\""));
  }
}

TEST_F(RSerchDicTest, EveryLineBreakKindEndsAClass) {
  TRSerch m;
  m.LoadSynonymDic(WriteDic("alpha,one\rbeta,two\ngamma,three\r\n\r\ndelta,four"));
  ASSERT_EQ(m.SynonymDics().size(), 1u);
  EXPECT_EQ(m.SynonymDics()[0]->Classes().size(), 5u);  // the empty line too
  EXPECT_TRUE(KeywordMatches(m, "alpha", "one"));
  EXPECT_TRUE(KeywordMatches(m, "beta", "two"));
  EXPECT_TRUE(KeywordMatches(m, "gamma", "three"));
  EXPECT_TRUE(KeywordMatches(m, "delta", "four"));
  EXPECT_FALSE(KeywordMatches(m, "one", "beta"));
  EXPECT_FALSE(KeywordMatches(m, "alpha", "two"));
}

TEST_F(RSerchDicTest, MembersWithOperatorsAreMatchedAndEmittedLiterally) {
  TRSerch m;
  m.LoadSynonymDic(WriteDic("a.b,x(y,[z]\r\n"));
  EXPECT_TRUE(KeywordMatches(m, "a\\.b", "x(y"));
  EXPECT_TRUE(KeywordMatches(m, "a\\.b", "[z]"));
  EXPECT_TRUE(KeywordMatches(m, "a\\.b", S(u8"ａ．ｂ")));
  EXPECT_FALSE(KeywordMatches(m, "a\\.b", "axb"));
  EXPECT_FALSE(KeywordMatches(m, "a\\.b", "xy"));
  // An unescaped "." is an operator and finds no member.
  EXPECT_TRUE(KeywordMatches(m, "a.b", "axb"));
  EXPECT_FALSE(KeywordMatches(m, "a.b", "x(y"));
}

TEST_F(RSerchDicTest, EmptyMemberLetsTheClassMatchNothingAtAll) {
  TRSerch m;
  m.LoadSynonymDic(WriteDic("foo,\r\n"));
  EXPECT_TRUE(KeywordMatches(m, "foo bar", "bar"));
  EXPECT_FALSE(KeywordMatches(m, "foo bar", "baz"));
}

TEST_F(RSerchDicTest, MissingFileLoadsNothingAndRaisesNothing) {
  TRSerch m;
  EXPECT_NO_THROW(m.LoadSynonymDic(dir / "absent.csv"));
  EXPECT_FALSE(m.OwnsSynonymDic());
  EXPECT_TRUE(m.SynonymDics().empty());
  EXPECT_TRUE(m.UseSynonymDic());
  EXPECT_TRUE(KeywordMatches(m, "abc", "ABC"));
  EXPECT_NO_THROW(m.LoadSynonymDic(dir.path()));  // a folder is no file
  EXPECT_TRUE(m.SynonymDics().empty());
}

TEST_F(RSerchDicTest, LoadingAppliesTheCurrentPatternAgain) {
  TRSerch m;
  m.SetKeyword("pc");
  const std::string before = m.RegExp();
  EXPECT_FALSE(m.IsMatch("laptop"));
  m.LoadSynonymDic(WriteDic("pc,laptop"));
  EXPECT_EQ(m.RegExp(), before);
  EXPECT_TRUE(m.IsMatch("laptop"));
}

TEST_F(RSerchDicTest, BorrowersShareTheDictionaryAndMayOutliveTheLender) {
  auto lender = std::make_unique<TRSerch>();
  lender->LoadSynonymDic(WriteDic("car,automobile"));
  TRSerch borrower;
  borrower.AssignSynonymDic(*lender);
  EXPECT_FALSE(borrower.OwnsSynonymDic());
  ASSERT_EQ(borrower.SynonymDics().size(), 1u);
  EXPECT_EQ(borrower.SynonymDics()[0].get(), lender->SynonymDics()[0].get());
  lender.reset();
  EXPECT_TRUE(KeywordMatches(borrower, "car", "an automobile"));
}

TEST_F(RSerchDicTest, MatchersOnManyThreadsReadOneDictionary) {
  TRSerch lender;
  lender.LoadSynonymDic(WriteDic(S(u8"パソコン,PC") + "\r\n" + S(u8"ニュース,news")));
  std::vector<int> found(4, 0);
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&, t] {
        TRSerch m;
        m.AssignSynonymDic(lender);
        for (int i = 0; i < 50; ++i) {
          m.SetKeyword(i % 2 ? S(u8"パソコン") : S(u8"ニュース"));
          if (m.IsMatch(i % 2 ? "new PC" : "NEWS today")) ++found[t];
        }
      });
    }
  }
  for (int n : found) EXPECT_EQ(n, 50);
}

TEST(RSerchScrapbookTest, SwitchingTwentyNinePatternsCompilesEachOnce) {
  // A feeder sets every book's pattern again for every item it tests.
  std::vector<std::string> patterns;
  for (int i = 0; i < 29; ++i) patterns.push_back(TRSerch::MakePattern("w" + std::to_string(i)));
  TRSerch m;
  const size_t start = m.CompileCount();
  int hits = 0;
  for (int item = 0; item < 5; ++item)
    for (const std::string& p : patterns) {
      m.SetRegExp(p);
      if (m.IsMatch("title with W3 in it")) ++hits;
    }
  EXPECT_EQ(m.CompileCount() - start, 29u);
  EXPECT_EQ(hits, 5);
}

}  // namespace
}  // namespace norvane
