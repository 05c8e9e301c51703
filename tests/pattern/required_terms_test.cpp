#include "pattern/required_terms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/sjis.h"
#include "pattern/regexp_error.h"
#include "pattern/rserch.h"
#include "pattern/sjis_scan.h"
#include "pattern/text_fold.h"
#include "support/temp_dir.h"

namespace norvane::pattern {
namespace {

std::string S(const std::string& utf8) { return Utf8ToSjis(utf8); }

// The terms of a phrase as the matcher sets it, with the synonyms of dic.
std::string Terms(const std::string& phrase, const TRSerch& dic) {
  std::vector<const PatternDictionary*> synonyms;
  for (const auto& d : dic.SynonymDics()) synonyms.push_back(d.get());
  return FindRequiredTerms(TRSerch::MakePattern(S(phrase)), synonyms).Describe();
}

// Whether a folded text holds the terms.
bool Holds(const RequiredTerms& t, const std::vector<uint32_t>& folded) {
  switch (t.kind) {
    case RequiredTerms::Kind::Nothing:
      return true;
    case RequiredTerms::Kind::Run:
      return std::search(folded.begin(), folded.end(), t.run.begin(), t.run.end()) != folded.end();
    case RequiredTerms::Kind::All:
      for (const auto& p : t.parts)
        if (!Holds(p, folded)) return false;
      return true;
    case RequiredTerms::Kind::Either:
      for (const auto& p : t.parts)
        if (Holds(p, folded)) return true;
      return false;
  }
  return false;
}

class RequiredTermsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dicFile_ = dir_.Write("dic.csv", S("パソコン,PC\r\nｶﾒﾗ,写真機\r\n犬,\r\n"));
    withSynonyms_.LoadSynonymDic(dicFile_);
  }
  test::TempDir dir_;
  std::string dicFile_;
  TRSerch plain_, withSynonyms_;
};

TEST_F(RequiredTermsTest, APhraseRequiresItsWordsFoldedInEitherOrder) {
  const std::pair<const char*, const char*> cases[] = {
      {"foo bar", "all(\"BAR\" \"FOO\")"},
      {"bar foo", "all(\"BAR\" \"FOO\")"},
      {"ガソリン", "\"かそりん\""},
      {"ｶﾞｿﾘﾝ", "\"かそりん\""},
      {"コンピューター", "\"こんひゆた\""},
      {"Ｃ\\+\\+", "\"C++\""},
      {"わたし", "\"うあたし\""},
      {"a OR b c", "all(\"C\" either(\"A\" \"B\"))"},
      // A piece of a class whose members fold apart is one of its forms.
      {"ブログ", "either(\"ふろく\" \"うろく\")"},
      {"サービス", "either(\"さひす\" \"さふいす\" \"さういす\")"},
      {"ばじ", "either(\"はし\" \"はち\" \"ふあし\" \"ふあち\" \"うあし\" \"うあち\")"},
      // Too many ways: the run is cut where they would pass eight.
      {"ばびぶ", "all(either(\"は\" \"ふあ\" \"うあ\") either(\"ひふ\" \"ひう\" \"ふいふ\" \"ふいう\" \"ういふ\" \"ういう\"))"},
      // A quantifier leaves out the piece before it, the whole class a member fills.
      {"ab*c", "all(\"A\" \"C\")"},
      {"ｶﾞ*", ""},
      {"(foo)?bar", "\"BAR\""},
      {"(foo)+bar", "all(\"BAR\" \"FOO\")"},
      {"(foo|ba)r", "all(\"R\" either(\"FOO\" \"BA\"))"},
      {"[abc]d", "\"D\""},
      {"x.y", "all(\"X\" \"Y\")"},
      {"^ab$", "\"AB\""},
      {"", ""},
      {"  ", ""},
  };
  for (const auto& [phrase, terms] : cases) EXPECT_EQ(Terms(phrase, plain_), terms) << phrase;
}

TEST_F(RequiredTermsTest, ASynonymRequiresOneOfItsClass) {
  EXPECT_EQ(Terms("パソコン", withSynonyms_), "either(\"はそこん\" \"PC\")");
  EXPECT_EQ(Terms("新しいｶﾒﾗ", withSynonyms_), "all(\"新しい\" either(\"かめら\" \"写真機\"))");
  // Synonyms are found as they are written: "pc" has none.
  EXPECT_EQ(Terms("pc", withSynonyms_), "\"PC\"");
  // A class with an empty member can match nothing at all.
  EXPECT_EQ(Terms("犬", withSynonyms_), "");
}

TEST_F(RequiredTermsTest, APatternTheMatcherRefusesIsRefusedHereToo) {
  for (const char* bad : {"C++", "(a", "[]", "a\\"}) {
    EXPECT_THROW(FindRequiredTerms(TRSerch::MakePattern(bad), {}), ERegExpParser) << bad;
  }
}

// What the matcher takes always holds the terms, folded: over texts and phrases made of
// the table's own pieces, every match is checked.
TEST_F(RequiredTermsTest, EveryTextTheMatcherTakesHoldsTheTerms) {
  const std::vector<std::string> pieces = {
      "か", "カ", "ｶ", "が", "ガ", "ｶﾞ", "か゛", "は", "ば", "ﾊﾞ", "ヴァ", "う", "ぁ", "わ", "ワ", "ｳｧ",
      "ー", "～", "-", "ﾞ", "゛", "a", "A", "ａ", "Ｂ", "b", "1", "一", "①", "漢", "字", "パ", "ソ", "コ",
      "ン", "PC", "ｐｃ", "ｶﾒﾗ", "写真機", " ", "し", "じ", "ぢ", "ち", "っ", "ツ", "、", ",", "."};
  const std::vector<std::string> operators = {"", "", "", "*", "?", "+", ".", "|", " OR "};
  std::mt19937 random(20240511);
  auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
  size_t matches = 0;
  for (int p = 0; p < 400; ++p) {
    std::string phrase;
    const int words = 1 + static_cast<int>(random() % 3);
    for (int w = 0; w < words; ++w) {
      if (w) phrase += " ";
      const int length = 1 + static_cast<int>(random() % 3);
      for (int i = 0; i < length; ++i) {
        phrase += pick(pieces);
        std::string op = pick(operators);
        if (op == "|" || op == " OR ") op = i + 1 < length ? op : "";
        if (!op.empty() && op != " OR " && phrase.back() == ' ') op.clear();
        phrase += op;
      }
    }
    TRSerch& matcher = p % 2 ? withSynonyms_ : plain_;
    try {
      matcher.SetKeyword(S(phrase));
    } catch (const ERegExpParser&) {
      continue;
    }
    std::vector<const PatternDictionary*> synonyms;
    for (const auto& d : matcher.SynonymDics()) synonyms.push_back(d.get());
    const RequiredTerms terms = FindRequiredTerms(matcher.RegExp(), synonyms);
    for (int t = 0; t < 60; ++t) {
      std::string text;
      const int length = 1 + static_cast<int>(random() % 8);
      for (int i = 0; i < length; ++i) text += pick(pieces);
      const std::string sjis = S(text);
      if (!matcher.IsMatch(sjis)) continue;
      ++matches;
      EXPECT_TRUE(Holds(terms, TextFold::Get().Fold(DecodeSjis(sjis))))
          << "phrase " << phrase << " text " << text << " terms " << terms.Describe();
    }
  }
  EXPECT_GT(matches, 1000u);
}

}  // namespace
}  // namespace norvane::pattern
