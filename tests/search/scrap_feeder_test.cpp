#include "search/scrap_feeder.h"

#include <gtest/gtest.h>

#include "feeds/chlist.h"
#include "feeds/rss.h"
#include "search/scrap_collection.h"
#include "search/scrap_test_home.h"
#include "support/dom_text.h"
#include "support/feed_server.h"

namespace norvane {
namespace {

using test::ReadBook;

class ScrapFeederTest : public test::ScrapHome {
 protected:
  TRSerch lender;  // the data module's shared matcher
};

TEST_F(ScrapFeederTest, FuzzyMatchesGoInNewestFirst) {
  WriteKeys("k", {S(u8"ニュース"), "RSS"});
  Tword book("k");
  TScrap feeder(lender);
  feeder.SetSource({"Channel A", "http://a.example/rss", ""});
  NodeList items = Items(S(u8"<item><title>ｒｓｓリーダー</title><link>http://a/1</link></item>"
                           "<item><title>天気</title><description>今日のにゅーすです</description>"
                           "<link>http://a/2</link></item>"
                           "<item><title>天気</title><description>晴れ</description></item>"
                           "<item><link>http://a/4</link></item>"));
  ASSERT_EQ(items.Length(), 4u);
  for (xmlNodePtr item : items) feeder.AddIfMatch(item, book);
  EXPECT_TRUE(book.Changed());
  auto copied = ReadBook(book.XMLWithEncoding());
  ASSERT_EQ(copied.size(), 2u);
  EXPECT_EQ(copied[0].link, "http://a/2");
  EXPECT_EQ(copied[1].link, "http://a/1");
  EXPECT_EQ(copied[1].title, S(u8"ｒｓｓリーダー"));
}

TEST_F(ScrapFeederTest, CopiesTheKnownChildrenInOrderWithTheSource) {
  WriteKeys("k", {"match"});
  Tword book("k");
  TScrap feeder(lender);
  feeder.SetSource({S(u8"チャンネル&題"), "http://a.example/rss?x=1&y=2", ""});
  NodeList items = Items(
      "<item><category>c</category><dc:date>2025-04-01T10:00:00+09:00</dc:date>"
      "<description>the &lt;b&gt;match&lt;/b&gt; is here</description><title>no title hit</title>"
      "<link>http://a/1</link><guid>g</guid></item>"
      // The date only in pubDate: no date is copied.
      "<item><title>match two</title><link>http://a/2</link>"
      "<pubDate>Tue, 01 Apr 2025 10:00:00 GMT</pubDate></item>"
      // The Dublin Core date under another prefix is still the date.
      "<item xmlns:d=\"http://purl.org/dc/elements/1.1/\"><title>match three</title>"
      "<d:date>2025-04-03</d:date></item>");
  for (xmlNodePtr item : items) feeder.AddIfMatch(item, book);
  auto copied = ReadBook(book.XMLWithEncoding());
  ASSERT_EQ(copied.size(), 3u);

  const auto& third = copied[0];
  EXPECT_EQ(third.children, (std::vector<std::string>{"title", "dc:date", "source"}));
  EXPECT_EQ(third.date, "2025-04-03");
  EXPECT_EQ(third.dateNamespace, kDcNamespace);

  const auto& second = copied[1];
  EXPECT_EQ(second.children, (std::vector<std::string>{"title", "link", "source"}));

  const auto& first = copied[2];
  EXPECT_EQ(first.children,
            (std::vector<std::string>{"title", "link", "description", "dc:date", "source"}));
  EXPECT_EQ(first.title, "no title hit");
  EXPECT_EQ(first.link, "http://a/1");
  EXPECT_EQ(first.description, "the <b>match</b> is here");
  EXPECT_EQ(first.date, "2025-04-01T10:00:00+09:00");
  EXPECT_EQ(first.dateNamespace, kDcNamespace);
  EXPECT_EQ(first.source, S(u8"チャンネル&題"));
  EXPECT_EQ(first.url, "http://a.example/rss?x=1&y=2");
}

// Characters program text cannot hold (¥ is a backslash there; — and emoji are not in
// it at all) reach the saved book and come back from it as they were.
TEST_F(ScrapFeederTest, CopiedTextKeepsEveryCharacterThroughASaveAndALoad) {
  WriteKeys("k", {S(u8"セール")});
  Tword book("k");
  TScrap feeder(lender);
  feeder.SetSource({"Shop", "http://shop.example/rss", ""});
  NodeList items = Items(S(u8"<item><title>セール価格 &#xA5;1,980</title><link>http://shop/1</link>"
                           "<description>&#x2014;&#x1F600;</description>"
                           "<dc:date>2025&#x2013;04</dc:date></item>"));
  feeder.AddIfMatch(items[0], book);
  book.SaveFeed();
  const std::string file = ReadFile("scrap/k.xml");
  EXPECT_EQ(file.find("\\1,980"), std::string::npos) << "¥ is no backslash: " << file;
  TRXML saved;
  saved.LoadFromFile("scrap/k.xml");
  EXPECT_EQ(test::DomText(saved, "rss/channel/item/title"), "セール価格 ¥1,980");
  EXPECT_EQ(test::DomText(saved, "rss/channel/item/description"), "—😀");
  EXPECT_EQ(test::DomText(saved, "rss/channel/item/dc:date"), "2025–04");
}

TEST_F(ScrapFeederTest, OwnScrapbookFeedsAreNeverScrapped) {
  WriteKeys("k", {"x"});
  Tword book("k");
  NodeList items = Items("<item><title>x</title></item>");
  auto offer = [&](const std::string& url) {
    TScrap feeder(lender);
    feeder.SetSource({"t", url, ""});
    feeder.AddIfMatch(items[0], book);
    return feeder.Enabled;
  };
  {
    TScrap feeder(lender);
    feeder.AddIfMatch(items[0], book);  // no source yet
  }
  EXPECT_FALSE(offer("http://192.168.1.5:4565/scrap.xml?u=a.keys"));
  EXPECT_FALSE(offer("http://localhost:4565/scrap.xml?u=a.keys"));
  EXPECT_FALSE(offer("HTTP://LOCALHOST:4565/Scrap.XML?u=a.keys"));
  EXPECT_FALSE(offer("http://127.0.0.1:4565/scrap.xml?u=a.keys"));
  EXPECT_EQ(book.SelectNodes("rss/channel/item").Length(), 0u);

  EXPECT_TRUE(offer("http://other.example/scrap.xml?u=a.keys"));
  EXPECT_TRUE(offer("http://192.168.1.5:4565/rss.xml"));
  EXPECT_EQ(book.SelectNodes("rss/channel/item").Length(), 2u);
}

TEST_F(ScrapFeederTest, TwoChannelsCarryingOneItemBothCopyIt) {
  WriteKeys("k", {"x"});
  WriteKeys("other", {"nomatch"});
  TScrapSerch books;
  ASSERT_EQ(books.Count(), 2);
  NodeList items = Items("<item><title>x</title><link>http://same/1</link></item>");
  TScrap a(lender), b(lender);
  a.SetSource({"A", "http://a/rss", ""});
  b.SetSource({"B", "http://b/rss", ""});
  a.ScrapItem(items[0], books);
  b.ScrapItem(items[0], books);
  auto copied = ReadBook(books.Find("k")->XMLWithEncoding());
  ASSERT_EQ(copied.size(), 2u);
  EXPECT_EQ(copied[0].source, "B");
  EXPECT_EQ(copied[1].source, "A");
  EXPECT_EQ(copied[0].link, copied[1].link);
  EXPECT_TRUE(ReadBook(books.Find("other")->XMLWithEncoding()).empty());
  EXPECT_FALSE(books.Find("other")->Changed());
}

TEST_F(ScrapFeederTest, KeywordsCombineAsThePhraseDoes) {
  // "foo bar" and "baz" give the phrase "baz OR foo bar": "bar" and also "baz" or "foo".
  WriteKeys("k", {"foo bar", "baz"});
  Tword book("k");
  TScrap feeder(lender);
  feeder.SetSource({"t", "http://a/rss", ""});
  NodeList items = Items(
      "<item><title>bar then foo</title></item><item><title>baz and bar</title></item>"
      "<item><title>foo alone</title></item><item><title>baz alone</title></item>"
      "<item><title>foo\nbar</title></item>");
  for (xmlNodePtr item : items) feeder.AddIfMatch(item, book);
  auto copied = ReadBook(book.XMLWithEncoding());
  ASSERT_EQ(copied.size(), 2u);
  EXPECT_EQ(copied[0].title, "baz and bar");
  EXPECT_EQ(copied[1].title, "bar then foo");
}

TEST_F(ScrapFeederTest, SynonymsComeFromTheLender) {
  home.Write("dic.csv", S(u8"パソコン,PC\r\n"));
  lender.LoadSynonymDic("dic.csv");
  WriteKeys("k", {S(u8"パソコン")});
  Tword book("k");
  NodeList items = Items("<item><title>new PC sale</title></item>");
  TRSerch noDictionary;
  TScrap without(noDictionary);
  without.SetSource({"t", "http://a/rss", ""});
  without.AddIfMatch(items[0], book);
  EXPECT_EQ(book.SelectNodes("rss/channel/item").Length(), 0u);
  TScrap with(lender);
  with.SetSource({"t", "http://a/rss", ""});
  with.AddIfMatch(items[0], book);
  EXPECT_EQ(book.SelectNodes("rss/channel/item").Length(), 1u);
}

// The channel log hands its new items to the books; a request with scrap off hands none.
TEST_F(ScrapFeederTest, ChannelLogRunsFeedTheBooks) {
  WriteKeys("k", {"hit"});
  home.Write("channels/.keep", "");
  TScrapSerch books;
  TChList channels("channels/ChannelList.xml");
  test::FeedServer server;
  auto serve = [&](const std::string& items, const std::string& day) {
    test::FeedRoute r;
    r.body = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Feed T</title>"
             "<link>http://e/</link><description>d</description>" + items + "</channel></rss>";
    r.lastModified = day;
    server.Route("/feed", r);
  };
  auto request = [&](bool reload, bool scrap) {
    RPARAMS p;
    p.URL = server.Url("/feed");
    p.Reload = reload;
    p.Scrap = scrap;
    TRSS rss(p, FeedContext{channels, [&] { return MakeBookScrapper(books, lender); }, nullptr});
    rss.Excute();
  };
  serve("<item><title>hit one</title><link>http://e/1</link></item>"
        "<item><title>miss</title><link>http://e/2</link></item>", "Mon, 01 Dec 2025 10:00:00 GMT");
  request(false, true);
  auto copied = ReadBook(books.Find("k")->XMLWithEncoding());
  ASSERT_EQ(copied.size(), 1u);
  EXPECT_EQ(copied[0].children, (std::vector<std::string>{"title", "link", "source"}))
      << "the channel log's own marks stay out";
  EXPECT_EQ(copied[0].source, "Feed T");
  EXPECT_EQ(copied[0].url, server.Url("/feed"));

  serve("<item><title>hit two</title><link>http://e/3</link></item>"
        "<item><title>hit one</title><link>http://e/1</link></item>", "Tue, 02 Dec 2025 10:00:00 GMT");
  request(true, false);
  EXPECT_EQ(ReadBook(books.Find("k")->XMLWithEncoding()).size(), 1u);

  serve("<item><title>hit three</title><link>http://e/4</link></item>"
        "<item><title>hit one</title><link>http://e/1</link></item>", "Wed, 03 Dec 2025 10:00:00 GMT");
  request(true, true);
  copied = ReadBook(books.Find("k")->XMLWithEncoding());
  ASSERT_EQ(copied.size(), 2u) << "only the item new to the log";
  EXPECT_EQ(copied[0].title, "hit three");
}

}  // namespace
}  // namespace norvane
