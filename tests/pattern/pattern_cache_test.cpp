#include "pattern/pattern_cache.h"

#include <gtest/gtest.h>

#include <string>

#include "pattern/awk_str.h"

namespace norvane::pattern {
namespace {

PatternCache::Compiled Compile(const std::string& source) {
  return std::make_shared<const PcrePattern>(source);
}

std::string Key(int i) { return "k" + std::to_string(i); }

TEST(PatternCacheTest, KeepsTwentyNineNewestFirstBesideTheEmptySlot) {
  PatternCache cache;
  EXPECT_FALSE(cache.HoldsEmpty());
  cache.Insert("", TLineSeparator::mcls_CRLF, Compile(""));
  EXPECT_TRUE(cache.HoldsEmpty());
  for (int i = 0; i < 29; ++i) cache.Insert(Key(i), TLineSeparator::mcls_CRLF, Compile("a"));
  std::vector<std::string> keys = cache.Keys();
  ASSERT_EQ(keys.size(), 29u);
  EXPECT_EQ(keys.front(), Key(28));
  EXPECT_EQ(keys.back(), Key(0));
  for (int i = 0; i < 29; ++i) EXPECT_NE(cache.Find(Key(i), TLineSeparator::mcls_CRLF), nullptr);

  // Finding the oldest does not save it: the next new pattern drops it all the same.
  EXPECT_NE(cache.Find(Key(0), TLineSeparator::mcls_CRLF), nullptr);
  cache.Insert(Key(29), TLineSeparator::mcls_CRLF, Compile("a"));
  keys = cache.Keys();
  ASSERT_EQ(keys.size(), 29u);
  EXPECT_EQ(keys.front(), Key(29));
  EXPECT_EQ(keys.back(), Key(1));
  EXPECT_EQ(cache.Find(Key(0), TLineSeparator::mcls_CRLF), nullptr);
  EXPECT_TRUE(cache.HoldsEmpty());
  EXPECT_NE(cache.Find("", TLineSeparator::mcls_LF), nullptr);
}

TEST(PatternCacheTest, LineSeparatorIsPartOfTheKey) {
  PatternCache cache;
  cache.Insert("a$", TLineSeparator::mcls_CRLF, Compile("a"));
  EXPECT_NE(cache.Find("a$", TLineSeparator::mcls_CRLF), nullptr);
  EXPECT_EQ(cache.Find("a$", TLineSeparator::mcls_LF), nullptr);
}

TEST(PatternCacheTest, MatcherCompilesEachOfTwentyNinePatternsOnlyOnce) {
  TAWKStr m;
  const size_t start = m.CompileCount();
  for (int round = 0; round < 3; ++round)
    for (int i = 0; i < 29; ++i) m.SetRegExp("word" + std::to_string(i));
  EXPECT_EQ(m.CompileCount() - start, 29u);
  // The empty pattern never takes one of those slots.
  m.SetRegExp("");
  m.SetRegExp("word0");
  EXPECT_EQ(m.CompileCount() - start, 29u);
  // A thirtieth drops the oldest, which then has to be compiled again.
  m.SetRegExp("word29");
  m.SetRegExp("word1");
  EXPECT_EQ(m.CompileCount() - start, 30u);
  m.SetRegExp("word0");
  EXPECT_EQ(m.CompileCount() - start, 31u);
  EXPECT_TRUE(m.IsMatch("a word0 b"));
  EXPECT_FALSE(m.IsMatch("a word2 b"));
}

TEST(PatternCacheTest, KeyIsTheExpandedText) {
  TAWKStr m;
  m.SetRegExp("abc");
  const size_t n = m.CompileCount();
  // The same text expands differently without the fuzzy table: compiled apart.
  m.SetUseFuzzyCharDic(false);
  EXPECT_EQ(m.CompileCount(), n + 1);
  EXPECT_EQ(m.Cache().Keys().front(), "abc");
  m.SetUseFuzzyCharDic(true);
  EXPECT_EQ(m.CompileCount(), n + 1);
  EXPECT_EQ(m.Cache().Keys().back(), m.ExpandedPattern("abc"));
}

}  // namespace
}  // namespace norvane::pattern
