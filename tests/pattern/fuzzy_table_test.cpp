#include "pattern/fuzzy_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/sjis.h"
#include "pattern/sjis_scan.h"
#include "support/u8_text.h"

namespace norvane::pattern {
namespace {


// The class that a pattern character (or pair) expands to: the first candidate that fits.
int ClassOf(const std::string& text) {
  const std::vector<uint32_t> codes = DecodeSjis(text);
  for (const auto& c : FuzzyCharDic().CandidatesFor(codes.at(0))) {
    const auto& m = FuzzyCharDic().MemberCodes(c);
    if (m.size() <= codes.size() && std::equal(m.begin(), m.end(), codes.begin()))
      return static_cast<int>(c.classIndex) + 1;
  }
  return 0;
}

bool SameClass(const char8_t* a, const char8_t* b) {
  const auto& classes = FuzzyCharDic().Classes();
  const int k = ClassOf(S(a));
  if (k == 0) return false;
  const auto& members = classes[k - 1];
  return std::find(members.begin(), members.end(), S(b)) != members.end();
}

TEST(FuzzyTableTest, HoldsEveryClassWithoutConversionLoss) {
  const auto& classes = FuzzyCharDic().Classes();
  ASSERT_EQ(classes.size(), 145u);
  size_t empties = 0;
  for (size_t k = 0; k < classes.size(); ++k) {
    EXPECT_GE(classes[k].size(), 2u) << "class " << k + 1;
    for (const std::string& m : classes[k]) {
      if (m.empty()) {
        ++empties;
        continue;
      }
      // A character that CP932 lacks would have come out as '?'.
      if (m != "?") {
        EXPECT_EQ(m.find('?'), std::string::npos) << "class " << k + 1;
      }
      // Every member is well-formed Shift_JIS: one or two bytes a character.
      EXPECT_EQ(Utf8ToSjis(SjisToUtf8(m)), m);
    }
  }
  EXPECT_EQ(empties, 1u);  // only the optional long-vowel mark
}

TEST(FuzzyTableTest, CharactersFallIntoTheClassesTheirOrderGives) {
  EXPECT_EQ(ClassOf("A"), 1);
  EXPECT_EQ(ClassOf(S(u8"ｚ")), 26);
  EXPECT_EQ(ClassOf(S(u8"零")), 27);
  EXPECT_EQ(ClassOf(S(u8"Ⅸ")), 36);
  EXPECT_EQ(ClassOf(S(u8"　")), 37);
  EXPECT_EQ(ClassOf("+"), 48);
  EXPECT_EQ(ClassOf(S(u8"ー")), 49);  // before the same mark in class 50
  EXPECT_EQ(ClassOf("-"), 50);
  EXPECT_EQ(ClassOf("~"), 68);
  EXPECT_EQ(ClassOf(S(u8"」")), 72);
  EXPECT_EQ(ClassOf(S(u8"ｶﾞ")), 74);  // the pair, before ｶ of class 102
  EXPECT_EQ(ClassOf(S(u8"ｶ")), 102);
  EXPECT_EQ(ClassOf(S(u8"ヂ")), 80);
  EXPECT_EQ(ClassOf(S(u8"ヅ")), 81);
  EXPECT_EQ(ClassOf(S(u8"ヴ")), 89);
  EXPECT_EQ(ClassOf(S(u8"ﾎﾟ")), 96);
  EXPECT_EQ(ClassOf(S(u8"うぁ")), 99);  // う wins; うぁ only widens わ
  EXPECT_EQ(ClassOf(S(u8"ッ")), 114);
  EXPECT_EQ(ClassOf(S(u8"ょ")), 134);
  EXPECT_EQ(ClassOf(S(u8"ﾛ")), 139);
  EXPECT_EQ(ClassOf(S(u8"わ")), 140);
  EXPECT_EQ(ClassOf(S(u8"ゐ")), 141);
  EXPECT_EQ(ClassOf(S(u8"ｦ")), 143);
  EXPECT_EQ(ClassOf(S(u8"゜")), 145);
}

TEST(FuzzyTableTest, EquivalencesOfTheTable) {
  EXPECT_TRUE(SameClass(u8"a", u8"Ａ"));
  EXPECT_TRUE(SameClass(u8"1", u8"①"));
  EXPECT_TRUE(SameClass(u8"1", u8"Ⅰ"));
  EXPECT_TRUE(SameClass(u8"1", u8"壱"));
  EXPECT_TRUE(SameClass(u8"5", u8"伍"));
  EXPECT_FALSE(SameClass(u8"4", u8"肆"));
  EXPECT_TRUE(SameClass(u8"\\", u8"￥"));
  EXPECT_TRUE(SameClass(u8"~", u8"￣"));
  EXPECT_TRUE(SameClass(u8"\"", u8"”"));
  EXPECT_TRUE(SameClass(u8",", u8"､"));
  EXPECT_TRUE(SameClass(u8".", u8"｡"));
  EXPECT_TRUE(SameClass(u8"が", u8"か゛"));
  EXPECT_TRUE(SameClass(u8"じ", u8"ぢ"));
  EXPECT_TRUE(SameClass(u8"ば", u8"ｳﾞｧ"));
  EXPECT_TRUE(SameClass(u8"ぱ", u8"ハ゜"));
  EXPECT_TRUE(SameClass(u8"つ", u8"ｯ"));
  EXPECT_TRUE(SameClass(u8"わ", u8"ウァ"));
  EXPECT_TRUE(SameClass(u8"ﾞ", u8"゛"));
  EXPECT_FALSE(SameClass(u8"か", u8"が"));
  EXPECT_FALSE(SameClass(u8"a", u8"b"));
}

}  // namespace
}  // namespace norvane::pattern
