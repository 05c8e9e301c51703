#include <gtest/gtest.h>

#include "core/sjis.h"
#include "support/feed_server.h"
#include "support/norvane_process.h"

namespace norvane::test {
namespace {

std::string Feed(const std::string& itemTitle) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
         "<title>テストの放送局</title><link>http://example.com/</link><description>d</description>"
         "<item><title>" + itemTitle + "</title><link>http://example.com/1</link>"
         "<description>本文</description></item></channel></rss>";
}

TEST(FeedPages, AFeedItsScrapbookAndASearchThroughTheRunningProgram) {
  FeedServer feeds;
  FeedRoute r;
  r.body = Feed("Big news today");
  r.lastModified = "Mon, 01 Dec 2025 10:00:00 GMT";
  feeds.Route("/feed", r);
  feeds.Route("/search?q=a%20b", FeedRoute{200, Feed("Found it")});

  NorvaneProcess app;
  app.home().Write("scrap/news.keys",
                   "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<scrap>\r\n <word>news</word>\r\n</scrap>\r\n");
  app.home().Write("search.xml", "<?xml version=\"1.0\"?><search><item><title>local</title><searchUrl>" +
                                     feeds.Url("/search?q=$SEARCH_PHRASE$") + "</searchUrl></item></search>");
  ASSERT_TRUE(app.Start()) << app.StderrText();

  auto page = app.Get("/rss.html?u=" + feeds.Url("/feed") + "/");
  ASSERT_EQ(page.status, 200) << page.body;
  EXPECT_EQ(page.Header("Content-Type"), "text/html");
  std::string text = SjisToUtf8(page.body);
  EXPECT_NE(text.find("Big news today"), std::string::npos);
  EXPECT_NE(text.find("テストの放送局"), std::string::npos);
  EXPECT_NE(text.find("新着"), std::string::npos);  // the new mark

  auto xml = app.Get("/rss.html?u=" + feeds.Url("/feed") + "/&r=on&sel=new");
  EXPECT_EQ(SjisToUtf8(xml.body).find("Big news today"), std::string::npos)
      << "after an unchanged reload nothing is new";

  auto book = app.Get("/scrap.xml?u=news.keys/");
  EXPECT_EQ(book.status, 200);
  EXPECT_NE(book.body.find("Big news today"), std::string::npos) << book.body;

  auto search = app.Get("/search?u=local/&w=a+b");
  EXPECT_EQ(search.status, 200);
  EXPECT_NE(SjisToUtf8(search.body).find("Found it"), std::string::npos);

  EXPECT_EQ(app.Stop(), 0) << app.StderrText();
  EXPECT_NE(app.home().Read("channels/ChannelList.xml").find(feeds.Url("/feed")), std::string::npos);
  EXPECT_NE(app.home().Read("scrap/news.xml").find("Big news today"), std::string::npos);
}

}  // namespace
}  // namespace norvane::test
