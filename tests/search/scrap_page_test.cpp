#include "search/scrap_page.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/texts.h"
#include "core/url_helpers.h"
#include "feeds/error_feed.h"
#include "feeds/xml_node.h"
#include "search/scrap_collection.h"
#include "search/scrap_feeder.h"
#include "search/scrap_test_home.h"
#include "support/file_size_limit.h"

namespace norvane {
namespace {

using test::ReadBook;

class ScrapPageTest : public test::ScrapHome {
 protected:
  // Offers count items titled "x <n>" (n from 1, so the last is the newest).
  void Offer(TScrapSerch& books, int count, const std::string& channel = "A") {
    std::string xml;
    for (int i = 1; i <= count; ++i)
      xml += "<item><title>x " + std::to_string(i) + "</title><link>http://a/" + std::to_string(i) +
             "</link></item>";
    NodeList items = Items(xml);
    TScrap feeder(lender);
    feeder.SetSource({channel, "http://" + channel + "/rss", ""});
    for (xmlNodePtr item : items) feeder.ScrapItem(item, books);
  }
  TRSerch lender;
};

TEST_F(ScrapPageTest, FeedIsTrimmedToTheNewestInTheBookHeldInMemory) {
  WriteKeys("k", {"x"});
  TScrapSerch books;
  Offer(books, 200);
  Tword& book = *books.Find("k");
  book.ClearChanged();

  std::string page = CreateScrapXml(books, {"u=k.keys"});
  EXPECT_EQ(page.rfind("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>", 0), 0u);
  auto served = ReadBook(page);
  ASSERT_EQ(served.size(), 150u);
  EXPECT_EQ(served.front().title, "x 200");
  EXPECT_EQ(served.back().title, "x 51");
  EXPECT_EQ(book.SelectNodes("rss/channel/item").Length(), 150u);
  EXPECT_TRUE(book.Changed()) << "the trim must reach the file";

  // Within the limit nothing changes; a negative limit counts as none.
  book.ClearChanged();
  EXPECT_EQ(ReadBook(CreateScrapXml(books, {"u=k"})).size(), 150u);
  EXPECT_FALSE(book.Changed());
  UpdateSettings([](Settings& s) { s.LOG_CNT = -3; });
  EXPECT_TRUE(ReadBook(CreateScrapXml(books, {"u=k.keys"})).empty());
  Offer(books, 1);
  EXPECT_EQ(book.SelectNodes("rss/channel/item").Length(), 1u) << "the book still takes items";
}

// A book without keywords (the kept book) holds what was kept into it: the feeds give it
// nothing, and neither serving nor saving trims it.
TEST_F(ScrapPageTest, AKeywordlessBookTakesNoFedItemsAndIsNeverTrimmed) {
  WriteKeys("kept", {});
  WriteKeys("k", {"x"});
  std::string xml;
  for (int i = 1; i <= 30; ++i) xml += "<item><title>kept " + std::to_string(i) + "</title></item>";
  home.Write("scrap/kept.xml", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><rss version=\"2.0\"><channel>"
                               "<title>kept</title><description/>" + xml + "</channel></rss>");
  UpdateSettings([](Settings& s) { s.LOG_CNT = 20; });
  {
    TScrapSerch books;
    ASSERT_EQ(books.Count(), 2);
    Tword& kept = *books.Find("kept");
    EXPECT_TRUE(kept.Keywordless());
    EXPECT_FALSE(books.Find("k")->Keywordless());
    EXPECT_EQ(NodeText(kept.SelectSingleNode("rss/channel/description")), T().keptBookDescription);
    Offer(books, 5);
    EXPECT_EQ(books.Find("k")->SelectNodes("rss/channel/item").Length(), 5u);
    EXPECT_EQ(ReadBook(CreateScrapXml(books, {"u=kept.keys"})).size(), 30u);
    EXPECT_TRUE(books.SaveAll());
  }
  EXPECT_EQ(ReadBook(ReadFile("scrap/kept.xml")).size(), 30u);
}

// A book nobody reads as a feed is trimmed when it is saved, so its file never grows
// past what the program can read back.
TEST_F(ScrapPageTest, SavingTrimsABookToLogCnt) {
  WriteKeys("k", {"x"});
  UpdateSettings([](Settings& s) { s.LOG_CNT = 20; });
  {
    TScrapSerch books;
    Offer(books, 30);
    ASSERT_TRUE(books.SaveChanged());
  }
  TScrapSerch again;
  Tword& book = *again.Find("k");
  auto stored = book.SelectNodes("rss/channel/item");
  ASSERT_EQ(stored.Length(), 20u);
  EXPECT_EQ(NodeText(SelectSingleNode(stored[0], "title")), "x 30");
}

TEST_F(ScrapPageTest, UnknownOrEmptyBooksAnswerTheErrorFeed) {
  WriteKeys("k", {"x"});
  WriteKeys(S(u8"ニュース"), {"x"});
  home.Write("scrap/broken.xml", "not xml");
  WriteKeys("broken", {"x"});
  TScrapSerch books;
  const std::string error = ErrorFeed(T().scrapError);
  EXPECT_EQ(CreateScrapXml(books, {"u=nope.keys"}), error);
  EXPECT_EQ(CreateScrapXml(books, {"u=K.keys"}), error) << "names are case-sensitive";
  EXPECT_EQ(CreateScrapXml(books, {}), error);
  EXPECT_EQ(CreateScrapXml(books, {"u=broken.keys"}), error) << "a feed that did not load";
  EXPECT_NE(CreateScrapXml(books, {"u=k.keys"}), error);
  // A Japanese name arrives raw from the program's links, percent-encoded from a browser.
  const std::string name = S(u8"ニュース");
  EXPECT_NE(CreateScrapXml(books, {"u=" + name + ".keys"}), error);
  EXPECT_NE(CreateScrapXml(books, {"u=" + EncodeURLParam(SjisToUtf8(name)) + ".keys"}), error);
  EXPECT_NE(CreateScrapXml(books, {"u=" + EncodeURLParam(name) + ".keys"}), error);
}

TEST_F(ScrapPageTest, SaveChangedWritesOnlyChangedBooks) {
  WriteKeys("a", {"x"});
  WriteKeys("b", {"nomatch"});
  {
    TScrapSerch books;
    EXPECT_TRUE(books.SaveChanged());
    EXPECT_FALSE(Exists("scrap/a.xml"));
    Offer(books, 2);
    EXPECT_TRUE(books.Find("a")->Changed());
    EXPECT_TRUE(books.SaveChanged());
    EXPECT_FALSE(books.Find("a")->Changed());
    EXPECT_EQ(ReadBook(ReadFile("scrap/a.xml")).size(), 2u);
    EXPECT_FALSE(Exists("scrap/b.xml"));

    // A saved book is not written again until it changes.
    home.Write("scrap/a.xml", "marker");
    EXPECT_TRUE(books.SaveChanged());
    EXPECT_EQ(ReadFile("scrap/a.xml"), "marker");
    Offer(books, 1);
    EXPECT_TRUE(books.SaveChanged());
    EXPECT_EQ(ReadBook(ReadFile("scrap/a.xml")).size(), 3u);
  }
  // The orderly end writes every book.
  EXPECT_TRUE(Exists("scrap/b.xml"));
  TScrapSerch again;
  EXPECT_EQ(again.Find("a")->SelectNodes("rss/channel/item").Length(), 3u);
}

TEST_F(ScrapPageTest, FailedSaveLeavesThePreviousFileAndTheFlag) {
  // The disk takes small files only (a file size limit): the big book cannot be written,
  // the small one can.
  const std::string name = "big";
  WriteKeys(name, {"x"});
  const std::string before =
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><rss version=\"2.0\"><channel><title>t</title>"
      "<item><title>old " + std::string(4000, 'o') + "</title></item></channel></rss>";
  home.Write("scrap/" + name + ".xml", before);
  WriteKeys("fine", {"x"});
  TScrapSerch books;
  Offer(books, 1);
  bool saved = true;
  {
    test::FileSizeLimit small(2000);
    saved = books.SaveChanged();
  }
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadFile("scrap/" + name + ".xml"), before);
  EXPECT_TRUE(books.Find(name)->Changed());
  EXPECT_FALSE(books.Find("fine")->Changed()) << "the other book is saved all the same";
  EXPECT_EQ(ReadBook(ReadFile("scrap/fine.xml")).size(), 1u);
  books.DeleteWord(name);  // leave the end quiet
}

// Channel runs offer items while the page and the periodic save run, and the organizer
// adds and removes a book.
TEST_F(ScrapPageTest, ScrapConcurrencyOfferServeAndSave) {
  WriteKeys("a", {"x"});
  WriteKeys("b", {"odd"});
  WriteKeys("c", {"x"});
  UpdateSettings([](Settings& s) { s.LOG_CNT = 1000; });
  TScrapSerch books;
  constexpr int kThreads = 4, kItems = 40;
  std::atomic<int> running{kThreads};
  std::vector<std::thread> feeders;
  for (int t = 0; t < kThreads; ++t) {
    feeders.emplace_back([&, t] {
      TRXML feed;
      std::string xml = "<rss version=\"2.0\"><channel>";
      for (int i = 0; i < kItems; ++i)
        xml += "<item><title>x " + std::string(i % 2 ? "odd" : "even") + "</title><link>http://" +
               std::to_string(t) + "/" + std::to_string(i) + "</link></item>";
      feed.LoadFromXML(xml + "</channel></rss>");
      TScrap feeder(lender);
      feeder.SetSource({"ch" + std::to_string(t), "http://" + std::to_string(t) + "/rss", ""});
      for (xmlNodePtr item : feed.SelectNodes("rss/channel/item")) feeder.ScrapItem(item, books);
      --running;
    });
  }
  int pages = 0;
  while (running > 0 || pages < 5) {
    std::string page = CreateScrapXml(books, {"u=a.keys"});
    EXPECT_NE(page.find("<rss"), std::string::npos);
    EXPECT_TRUE(books.SaveChanged());
    std::string error;
    if (pages % 2 == 0) books.DeleteWord("c");
    else EXPECT_TRUE(books.AddWord("c", &error)) << error;
    ++pages;
  }
  for (auto& t : feeders) t.join();
  EXPECT_EQ(ReadBook(CreateScrapXml(books, {"u=a.keys"})).size(), size_t{kThreads * kItems});
  EXPECT_EQ(ReadBook(CreateScrapXml(books, {"u=b.keys"})).size(), size_t{kThreads * kItems / 2});
  EXPECT_TRUE(books.SaveChanged());
  EXPECT_EQ(ReadBook(ReadFile("scrap/a.xml")).size(), size_t{kThreads * kItems});
}

}  // namespace
}  // namespace norvane
