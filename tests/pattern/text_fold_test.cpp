#include "pattern/text_fold.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/sjis.h"
#include "pattern/fuzzy_table.h"
#include "pattern/sjis_scan.h"

namespace norvane::pattern {
namespace {

// The folded form of a text, as UTF-8 for reading.
std::string Folded(const char8_t* utf8) {
  const std::vector<uint32_t> folded =
      TextFold::Get().Fold(DecodeSjis(Utf8ToSjis(reinterpret_cast<const char*>(utf8))));
  std::string sjis;
  for (uint32_t c : folded) {
    if (c > 0xFF) sjis.push_back(static_cast<char>(c >> 8));
    sjis.push_back(static_cast<char>(c & 0xFF));
  }
  return SjisToUtf8(sjis);
}

TEST(TextFold, FoldsAlikeWhatTheFuzzyTableTakesAlike) {
  const std::pair<const char8_t*, const char8_t*> alike[] = {
      {u8"カタカナ", u8"かたかな"},        // katakana and hiragana
      {u8"ｶﾀｶﾅ", u8"かたかな"},            // half-width katakana
      {u8"ｶﾞｿﾘﾝ", u8"がそりん"},          // half-width with its voiced mark
      {u8"か゛そりん", u8"ガソリン"},      // a kana and the mark apart
      {u8"ﾊﾟｿｺﾝ", u8"パソコン"},          // the semi-voiced mark
      {u8"ぱ", u8"は゜"},
      {u8"バ", u8"ﾊﾞ"},                  // a class whose members fold apart: its
      {u8"ヴ", u8"ブ"},                   // single ones take its half-width form
      {u8"ＡＢＣ", u8"abc"},              // full-width ASCII and letter case
      {u8"ａｂｃ", u8"ABC"},
      {u8"１２３", u8"123"},              // digits, kanji and circled numerals
      {u8"一二三", u8"①②③"},
      {u8"コンピューター", u8"コンピュータ"},  // a long-vowel mark may be absent
      {u8"ｺﾝﾋﾟｭｰﾀｰ", u8"こんぴゆーた"},     // ... and small kana are large
      {u8"ッ", u8"つ"},
      {u8"ワイン", u8"うぁいん"},          // わ and its spelling う + small あ
      {u8"「", u8"『"},
      {u8"、", u8","},
      {u8"！？", u8"!?"},
  };
  for (const auto& [a, b] : alike) EXPECT_EQ(Folded(a), Folded(b)) << reinterpret_cast<const char*>(a);
}

TEST(TextFold, KeepsApartWhatTheTableKeepsApart) {
  const std::pair<const char8_t*, const char8_t*> apart[] = {
      {u8"か", u8"さ"}, {u8"し", u8"ち"}, {u8"A", u8"B"}, {u8"1", u8"2"},
      {u8"あ", u8"い"}, {u8"し", u8"す"}, {u8"漢", u8"字"},
  };
  for (const auto& [a, b] : apart) EXPECT_NE(Folded(a), Folded(b)) << reinterpret_cast<const char*>(a);
}

TEST(TextFold, MarksLongVowelsAndHyphensFoldToNothing) {
  for (const char8_t* gone : {u8"ー", u8"～", u8"ｰ", u8"゛", u8"゜", u8"ﾞ", u8"ﾟ", u8"-", u8"－"})
    EXPECT_EQ(Folded(gone), "") << reinterpret_cast<const char*>(gone);
  EXPECT_EQ(Folded(u8"漢字ABC"), Folded(u8"漢字abc"));
  EXPECT_EQ(Folded(u8"~"), Folded(u8"￣")) << "the tilde has a class of its own";
}

// Only classes whose members cannot fold alike are not uniform: the b-row with its
// v-sounds (ば and ヴァ), じ with ぢ and ず with づ (し and ち, す and つ stay apart); what
// they match folds to one of a few forms.
TEST(TextFold, EveryClassIsUniformButThoseWhoseMembersFoldApart) {
  const auto& classes = FuzzyCharDic().Classes();
  std::vector<std::string> apart;
  for (uint32_t k = 0; k < classes.size(); ++k) {
    if (TextFold::Get().Uniform(k)) {
      // Uniform: every member folds to the first one's form.
      const auto first = TextFold::Get().Fold(FuzzyCharDic().MemberCodes({k, 0}));
      for (uint32_t m = 1; m < classes[k].size(); ++m)
        EXPECT_EQ(TextFold::Get().Fold(FuzzyCharDic().MemberCodes({k, m})), first) << "class " << k + 1;
    } else {
      apart.push_back(SjisToUtf8(classes[k][0]));
    }
  }
  EXPECT_EQ(apart, (std::vector<std::string>{"じ", "ず", "ば", "び", "ぶ", "べ", "ぼ"}));
  auto forms = [](const char8_t* member) {
    std::vector<std::string> out;
    const auto& table = FuzzyCharDic().Classes();
    for (uint32_t k = 0; k < table.size(); ++k)
      if (table[k][0] == Utf8ToSjis(reinterpret_cast<const char*>(member)))
        for (const auto& f : TextFold::Get().Forms(k)) {
          std::string sjis;
          for (uint32_t c : f) {
            if (c > 0xFF) sjis.push_back(static_cast<char>(c >> 8));
            sjis.push_back(static_cast<char>(c & 0xFF));
          }
          out.push_back(SjisToUtf8(sjis));
        }
    return out;
  };
  EXPECT_EQ(forms(u8"ば"), (std::vector<std::string>{"は", "ふあ", "うあ"}));
  EXPECT_EQ(forms(u8"じ"), (std::vector<std::string>{"し", "ち"}));
  EXPECT_EQ(forms(u8"が"), (std::vector<std::string>{"か"}));
}

}  // namespace
}  // namespace norvane::pattern
