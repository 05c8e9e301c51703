#include "pattern/expansion.h"

#include <gtest/gtest.h>

#include <string>

#include "core/sjis.h"
#include "pattern/fuzzy_table.h"
#include "pattern/regexp_error.h"
#include "pattern/regexp_parser.h"
#include "support/u8_text.h"

namespace norvane::pattern {
namespace {


using C = PatternDictionary::Class;

std::string Expand(const std::string& pattern, const PatternDictionary& dic) {
  return ExpandPattern(pattern, {&dic});
}

TEST(ExpansionTest, PlainRunsAreReplacedByTheWholeClassOfTheFirstMemberFound) {
  PatternDictionary dic({C{"x", "ab"}, C{"a"}, C{"abc", "q"}});
  // At "a" the second class of the first class wins ("ab" before "a" of class 2);
  // no search for the longer "abc".
  EXPECT_EQ(Expand("zabcz", dic), "z(x|ab)cz");
  EXPECT_EQ(Expand("ac", dic), "(a)c");
  // A member must fit inside the run: an operator ends it.
  EXPECT_EQ(Expand("a*b", dic), "(a)*b");
  EXPECT_EQ(Expand("(ab)|a", dic), "((x|ab))|(a)");
  // Escaped characters are plain and are matched by what they stand for.
  EXPECT_EQ(Expand("\\x0061b", dic), "(x|ab)");
  // Without a match an escape stays as written.
  EXPECT_EQ(Expand("\\x7a\\.", dic), "\\x7a\\.");
}

TEST(ExpansionTest, BracketExpressionsAndOperatorsAreCopiedAsWritten) {
  PatternDictionary dic({C{"a", "A"}, C{"-", "~"}});
  EXPECT_EQ(Expand("[a-]", dic), "[a-]");
  EXPECT_EQ(Expand("[^a]a", dic), "[^a](a|A)");
  EXPECT_EQ(Expand("^.a$", dic), "^.(a|A)$");
  EXPECT_EQ(Expand("-", dic), "(-|~)");
}

TEST(ExpansionTest, MembersAreEscapedSoTheyMatchLiterally) {
  PatternDictionary dic({C{"k", "^(|)+*?.[]$\\", "a.b"}});
  const std::string out = Expand("k", dic);
  EXPECT_EQ(out, "(k|\\^\\(\\|\\)\\+\\*\\?\\.\\[\\]\\$\\\\|a\\.b)");
  EXPECT_NO_THROW(ParseRegExp(out));
}

TEST(ExpansionTest, DoubleByteMembersAreNotEscapedInsideTheirCharacters) {
  const std::string so = S(u8"ソ"), po = S(u8"ポ");
  PatternDictionary dic({C{"s", so + po}});
  EXPECT_EQ(Expand("s", dic), "(s|" + so + po + ")");
  // Matched in the pattern as whole characters too: the 0x5C of ソ is no escape.
  EXPECT_EQ(Expand(so + po, dic), "(s|" + so + po + ")");
}

TEST(ExpansionTest, LoneLeadByteAtTheEndOfAMemberCannotSwallowTheNextCharacter) {
  PatternDictionary dic({C{"m", "x\x83"}});
  const std::string out = Expand("m", dic);
  EXPECT_EQ(out, "(m|x\\x83)");
  ParsedRegExp re = ParseRegExp(out);
  ASSERT_EQ(re.alternatives.size(), 1u);
  EXPECT_EQ(re.alternatives[0][0].kind, NodeKind::Group);
  EXPECT_EQ(re.alternatives[0][0].alternatives.size(), 2u);
}

TEST(ExpansionTest, EmptyMembersNeverMatchButTakePartInTheAlternation) {
  PatternDictionary dic({C{"", "b"}, C{"c", ""}});
  EXPECT_EQ(Expand("a", dic), "a");
  EXPECT_EQ(Expand("b", dic), "(|b)");
  EXPECT_EQ(Expand("c", dic), "(c|)");
}

TEST(ExpansionTest, DictionariesAreTriedInListOrder) {
  PatternDictionary first({C{"b", "B"}}), second({C{"ab", "AB"}, C{"b", "bee"}});
  EXPECT_EQ(ExpandPattern("ab", {&first, &second}), "(ab|AB)");
  EXPECT_EQ(ExpandPattern("xb", {&first, &second}), "x(b|B)");
  EXPECT_EQ(ExpandPattern("xb", {&second, &first}), "x(b|bee)");
}

TEST(ExpansionTest, FuzzyPassWidensTheSynonymPassOutput) {
  PatternDictionary syn({C{S(u8"パソコン"), "PC"}});
  const std::string once = Expand(S(u8"パソコン"), syn);
  EXPECT_EQ(once, "(" + S(u8"パソコン") + "|PC)");
  const std::string twice = Expand(once, FuzzyCharDic());
  // P of "PC" now stands for its whole class, and so on.
  EXPECT_NE(twice.find("(" + S(u8"Ｐ|ｐ") + "|P|p)"), std::string::npos);
  EXPECT_NO_THROW(ParseRegExp(twice));
}

}  // namespace
}  // namespace norvane::pattern
