#include "pattern/regexp_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "core/sjis.h"
#include "core/texts.h"
#include "pattern/regexp_error.h"
#include "support/u8_text.h"

namespace norvane::pattern {
namespace {


struct Fault {
  std::string pattern;
  const std::string Texts::*message;
  size_t position;
};

void ExpectFault(const Fault& f) {
  SCOPED_TRACE(SjisToUtf8(f.pattern));
  try {
    ParseRegExp(f.pattern);
    ADD_FAILURE() << "accepted";
  } catch (const ERegExpParser& e) {
    EXPECT_EQ(std::string(e.what()), T().*f.message);
    EXPECT_EQ(e.Position(), f.position);
  }
}

TEST(RegExpParserTest, EveryFaultHasItsMessageAndPosition) {
  const Fault faults[] = {
      {"ab\x83", &Texts::regexpBadDoubleByte, 2},
      {S(u8"あい") + "\x83", &Texts::regexpBadDoubleByte, 2},
      {"a\\\x83", &Texts::regexpBadDoubleByte, 2},
      {"ab\\", &Texts::regexpNeedCharAfterEscape, 2},
      {"\\", &Texts::regexpNeedCharAfterEscape, 0},
      {"a\\x", &Texts::regexpBadHex, 1},
      {"\\xg1", &Texts::regexpBadHex, 0},
      {"[\\x]", &Texts::regexpBadHex, 1},
      {"\\200000", &Texts::regexpBadOctal, 0},
      {"x\\777777", &Texts::regexpBadOctal, 1},
      {"[abc", &Texts::regexpNeedRightBracket, 4},
      {"[a-", &Texts::regexpNeedRightBracket, 3},
      {"[^", &Texts::regexpNeedRightBracket, 2},
      {"[z-a]", &Texts::regexpBadRange, 1},
      {S(u8"[ン-ア]"), &Texts::regexpBadRange, 1},
      {"[]", &Texts::regexpBadCharClass, 1},
      {"a[^]", &Texts::regexpBadCharClass, 3},
      {"C++", &Texts::regexpNeedAtom, 2},
      {"a**", &Texts::regexpNeedAtom, 2},
      {"*a", &Texts::regexpNeedAtom, 0},
      {"a*?", &Texts::regexpNeedAtom, 2},
      {"a|+", &Texts::regexpNeedAtom, 2},
      {"(?a)", &Texts::regexpNeedAtom, 1},
      {"a]", &Texts::regexpNeedAtom, 1},
      {"(ab", &Texts::regexpNeedRightParen, 3},
      {"((a)", &Texts::regexpNeedRightParen, 4},
      {"ab)", &Texts::regexpExtraChars, 2},
      {"(a))b", &Texts::regexpExtraChars, 3},
      // Positions count characters, not bytes.
      {S(u8"ソ表ポ)"), &Texts::regexpExtraChars, 3},
      {S(u8"漢字") + "++", &Texts::regexpNeedAtom, 3},
  };
  for (const Fault& f : faults) ExpectFault(f);
}

TEST(RegExpParserTest, FirstFaultFromTheLeftWins) {
  ExpectFault({"C++\\", &Texts::regexpNeedAtom, 2});
  ExpectFault({"(\\x", &Texts::regexpBadHex, 1});
  ExpectFault({"[z-a", &Texts::regexpBadRange, 1});
}

TEST(RegExpParserTest, NestingBeyondTheLimitIsRefusedNotOverflowed) {
  std::string deep(100000, '(');
  ExpectFault({deep, &Texts::regexpTooComplex, kMaxGroupNesting});
  std::string fine = std::string(kMaxGroupNesting, '(') + "a" + std::string(kMaxGroupNesting, ')');
  EXPECT_NO_THROW(ParseRegExp(fine));
}

TEST(RegExpParserTest, ValidFormsOfTheDialect) {
  for (std::string p : {"", "()", "a|", "|", "(|)", "a*b+c?", "(ab)*", "^a$", ".", "[a-]",
                        "[-a]", "[a-c-e]", "[--a]", "[^a]", "[(|)*]", "[[]", "\\]", "\\x41",
                        "\\101", "\\0", "\\177777", "\\xFFFF1", "\\b\\n\\r\\t", "{}", "-",
                        "^*", "$?"}) {
    SCOPED_TRACE(p);
    EXPECT_NO_THROW(ParseRegExp(p));
  }
}

TEST(RegExpParserTest, TrailBytesThatLookLikeOperatorsStayInsideTheirCharacter) {
  // ソ and 表 end in 0x5C (backslash), ポ in 0x7C (bar), ＼-looking trails all over.
  const std::string so = S(u8"ソ"), hyo = S(u8"表"), po = S(u8"ポ");
  ASSERT_EQ(so, "\x83\x5C");
  ASSERT_EQ(hyo, "\x95\x5C");
  ASSERT_EQ(po, "\x83\x7C");
  ParsedRegExp re = ParseRegExp(so + hyo + po);
  ASSERT_EQ(re.alternatives.size(), 1u);
  ASSERT_EQ(re.alternatives[0].size(), 3u);
  EXPECT_EQ(re.alternatives[0][0].code, 0x835Cu);
  EXPECT_EQ(re.alternatives[0][1].code, 0x955Cu);
  EXPECT_EQ(re.alternatives[0][2].code, 0x837Cu);
  // A trailing ソ is no backslash at the end; "ソ)" closes the group.
  EXPECT_NO_THROW(ParseRegExp("(" + so + ")"));
  EXPECT_NO_THROW(ParseRegExp("[" + so + "]"));
  // An escaped double-byte character is that character.
  re = ParseRegExp("\\" + so);
  ASSERT_EQ(re.alternatives[0].size(), 1u);
  EXPECT_EQ(re.alternatives[0][0].code, 0x835Cu);
}

TEST(RegExpParserTest, StructureOfQuantifiersSetsAndEscapes) {
  ParsedRegExp re = ParseRegExp("a|(b)*[^x-z-]\\x4a\\101");
  ASSERT_EQ(re.alternatives.size(), 2u);
  const Sequence& seq = re.alternatives[1];
  ASSERT_EQ(seq.size(), 4u);
  EXPECT_EQ(seq[0].kind, NodeKind::Group);
  EXPECT_EQ(seq[0].quantifier, Quantifier::ZeroOrMore);
  EXPECT_EQ(seq[1].kind, NodeKind::Set);
  EXPECT_TRUE(seq[1].negated);
  ASSERT_EQ(seq[1].ranges.size(), 2u);
  EXPECT_EQ(seq[1].ranges[0].low, uint32_t('x'));
  EXPECT_EQ(seq[1].ranges[0].high, uint32_t('z'));
  EXPECT_EQ(seq[1].ranges[1].low, uint32_t('-'));
  EXPECT_EQ(seq[2].code, 0x4Au);
  EXPECT_EQ(seq[3].code, 0101u);
}

}  // namespace
}  // namespace norvane::pattern
