// Searching the archive: what the index and a plain read of the files give is exactly
// the matcher's verdict, item by item, newest first, a page at a time.
#include <gtest/gtest.h>

#include <chrono>

#include "archive/archive_indexer.h"
#include "archive/archive_search.h"
#include "archive/archive_source.h"
#include "archive/item_grams.h"
#include "archive/archive_home.h"
#include "core/texts.h"
#include "pattern/required_terms.h"

namespace norvane::test {
namespace {

using namespace std::chrono_literals;

class FindTest : public ArchiveHome {
 protected:
  void SetUp() override {
    ArchiveHome::SetUp();
    WriteArchive(7, 14, 45);
    indexer_ = std::make_unique<ArchiveIndexer>(DiskPath("find-index.db"));
    indexer_->Start();
    ASSERT_TRUE(indexer_->WaitSettled(60s));
    ASSERT_EQ(indexer_->Status().state, IndexStatus::State::Ready) << indexer_->Status().reason;
  }
  FindRequest Request(const std::string& phraseUtf8) const {
    FindRequest r;
    r.phrase = S(phraseUtf8);
    return r;
  }
  std::unique_ptr<ArchiveIndexer> indexer_;
};

// Two words, words in other written forms, OR, synonyms, the dialect's own operators,
// the classes that narrow nothing, one character, a pattern that matches empty text.
const char* const kPhrases[] = {
    "ニュース 東京",   "にゅーす",      "ｶﾞｿﾘﾝ",        "Linux カーネル",   "ｌｉｎｕｘ OR 天気",
    "パソコン",        "pc",            "コンピューター", "ブログ 記事",      "わいん",
    "¥100",            "—",             "😀",             "C\\+\\+",          "rel.ase",
    "up(date)?",       "[nN]ews",       "^<p>今日",        "の",              "記事 の について",
    "b",               "ー",            "天気 今日 ニュース", "update and news", "ワイン OR ガソリン パソコン",
};

TEST_F(FindTest, ResultsAreTheMatchersVerdictOverTheWholeArchive) {
  size_t nonEmpty = 0;
  for (const char* phrase : kPhrases) {
    std::vector<std::string> expected;
    try {
      expected = Verdict(feeds_, S(phrase), lender_);
    } catch (const ERegExpParser& e) {
      // An emoji is "?" to the matcher: a quantifier with nothing before it.
      EXPECT_EQ(FindItems(Request(phrase), indexer_.get(), lender_).outcome, FindResult::Outcome::Refused) << phrase;
      continue;
    }
    if (!expected.empty()) ++nonEmpty;
    FindResult first;
    EXPECT_EQ(AllPages(Request(phrase), indexer_.get(), lender_, &first), expected) << phrase;
    EXPECT_EQ(first.outcome, FindResult::Outcome::Found) << phrase;
    EXPECT_FALSE(first.scanned) << phrase;
    EXPECT_EQ(first.total, expected.size()) << phrase;
    // Without the index, the files give the same.
    FindResult scanned;
    EXPECT_EQ(AllPages(Request(phrase), nullptr, lender_, &scanned), expected) << phrase;
    EXPECT_TRUE(scanned.scanned);
  }
  EXPECT_GT(nonEmpty, 20u) << "the archive holds what the phrases look for";
}

TEST_F(FindTest, TheIndexNarrowsWhatTheMatcherIsGiven) {
  // A word of two kana is looked up by its folded pair: few items are read for it.
  std::vector<const pattern::PatternDictionary*> none;
  const std::string query = GramQuery(pattern::FindRequiredTerms(TRSerch::MakePattern(S("がそりん")), none));
  ASSERT_FALSE(query.empty());
  size_t candidates = 0, all = 0;
  indexer_->Read([&](IndexReader& reader) {
    reader.ForEachItem(query, [&](const IndexedItem&) { ++candidates; });
    all = static_cast<size_t>(reader.ItemCount());
  });
  EXPECT_EQ(all, 14u * 45u);
  EXPECT_GE(candidates, Verdict(feeds_, S("がそりん"), lender_).size());
  EXPECT_LT(candidates, all / 2);
}

TEST_F(FindTest, PagesHoldFiftyNewestFirstWithTheTotal) {
  const std::vector<std::string> expected = Verdict(feeds_, S("の"), lender_);
  ASSERT_GT(expected.size(), 100u);
  FindRequest r = Request("の");
  FindResult page1 = FindItems(r, indexer_.get(), lender_);
  ASSERT_EQ(page1.items.size(), kFindPageSize);
  EXPECT_EQ(page1.total, expected.size());
  EXPECT_EQ(page1.pages, (expected.size() + 49) / 50);
  for (size_t i = 1; i < page1.items.size(); ++i) EXPECT_GT(page1.items[i - 1].item.date, page1.items[i].item.date);
  EXPECT_EQ(page1.items[0].feedTitle.rfind("Feed ", 0), 0u);
  EXPECT_EQ(page1.items[0].item.mark, kMarkLog);
  r.page = page1.pages + 3;
  FindResult beyond = FindItems(r, indexer_.get(), lender_);
  EXPECT_TRUE(beyond.items.empty());
  EXPECT_EQ(beyond.total, expected.size());
}

TEST_F(FindTest, AGroupNarrowsTheSearchToItsFeeds) {
  FindRequest r = Request("の");
  r.narrowed = true;
  r.feedUrls = {feeds_[2].url, feeds_[5].url};
  EXPECT_EQ(AllPages(r, indexer_.get(), lender_), Verdict(feeds_, S("の"), lender_, r.feedUrls));
  EXPECT_EQ(AllPages(r, nullptr, lender_), Verdict(feeds_, S("の"), lender_, r.feedUrls));
  r.feedUrls.clear();  // a group without feeds holds nothing
  EXPECT_TRUE(AllPages(r, indexer_.get(), lender_).empty());
}

TEST_F(FindTest, BadInputGetsItsOwnAnswerAndNeverAFailure) {
  struct Case {
    std::string phrase;
    FindResult::Outcome outcome;
    std::string error;
  };
  const Case cases[] = {
      {"", FindResult::Outcome::NoPhrase, ""},
      {"   ", FindResult::Outcome::NoPhrase, ""},
      {S("　 　"), FindResult::Outcome::NoPhrase, ""},
      {std::string(1001, 'a'), FindResult::Outcome::TooLong, ""},
      {std::string(1000, 'a'), FindResult::Outcome::Found, ""},
      {S("C++"), FindResult::Outcome::Refused, T().regexpNeedAtom},
      {S("(あ"), FindResult::Outcome::Refused, T().regexpNeedRightParen},
      {S("[z-a]"), FindResult::Outcome::Refused, T().regexpBadRange},
  };
  for (const Case& c : cases) {
    FindRequest r;
    r.phrase = c.phrase;
    const FindResult result = FindItems(r, indexer_.get(), lender_);
    EXPECT_EQ(result.outcome, c.outcome) << c.phrase.substr(0, 20);
    EXPECT_EQ(result.error, c.error) << c.phrase.substr(0, 20);
  }
  // A thousand double-byte characters are a thousand characters.
  std::string kana;
  for (int i = 0; i < 1000; ++i) kana += S("あ");
  FindRequest r;
  r.phrase = kana;
  EXPECT_EQ(FindItems(r, indexer_.get(), lender_).outcome, FindResult::Outcome::Found);
  r.phrase += S("あ");
  EXPECT_EQ(FindItems(r, indexer_.get(), lender_).outcome, FindResult::Outcome::TooLong);
}

TEST_F(FindTest, AKeptBookIsSearchedLikeAFeed) {
  home_.Write(DiskPath("scrap/" + S("保存した記事") + ".keys"),
              "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<scrap>\r\n</scrap>\r\n");
  home_.Write(DiskPath("scrap/" + S("保存した記事") + ".xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>k</title>"
              "<item><title>ずっと残すワイン</title><link>http://kept.example/1</link>"
              "<source url=\"http://feeds.example/f0/rss\">Feed 0</source></item></channel></rss>");
  indexer_->SourceSaved(S("scrap/保存した記事.xml"));
  ASSERT_TRUE(indexer_->WaitSettled(30s));
  const FindResult r = FindItems(Request("ずっと"), indexer_.get(), lender_);
  ASSERT_EQ(r.items.size(), 1u);
  EXPECT_TRUE(r.items[0].book);
  EXPECT_EQ(r.items[0].feedTitle, "保存した記事");
  EXPECT_NE(r.items[0].feedUrl.find("scrap.xml?u=" + S("保存した記事") + ".keys"), std::string::npos);
}

}  // namespace
}  // namespace norvane::test
