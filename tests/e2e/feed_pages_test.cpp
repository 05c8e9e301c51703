#include <gtest/gtest.h>
#include <libxml/HTMLparser.h>

#include <filesystem>


#include "core/sjis.h"
#include "feeds/rxml.h"
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


// A shop feed's yen signs and dashes survive the whole way: fetched, logged, read back from
// the log, and shown by rss.html.
TEST(FeedPages, CharactersShiftJisBestFitsComeBackAsTheSameCodePoints) {
  const std::string text = "¥1,980 £5 — ‖ − 〜 ¦ ¬ 価格改定のお知らせ";
  FeedServer feeds;
  FeedRoute r;
  r.body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>shop</title>"
           "<link>http://example.com/</link><description>d</description><item><title>" + text +
           "</title><link>http://example.com/1</link><description>" + text + "</description></item>"
           "</channel></rss>";
  r.lastModified = "Mon, 01 Dec 2025 10:00:00 GMT";
  feeds.Route("/shop", r);
  NorvaneProcess app;
  ASSERT_TRUE(app.Start()) << app.StderrText();
  XmlInit();
  auto shown = [](const std::string& page) {
    htmlDocPtr doc = htmlReadMemory(page.data(), static_cast<int>(page.size()), "p.html", "Shift_JIS",
                                    HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
    if (!doc) return std::string();
    xmlChar* c = xmlNodeGetContent(xmlDocGetRootElement(doc));
    std::string s = c ? reinterpret_cast<const char*>(c) : "";
    xmlFree(c);
    xmlFreeDoc(doc);
    return s;
  };
  // First the fetch, then the log alone (the server answers 304).
  for (const char* reload : {"", "&r=on"}) {
    SCOPED_TRACE(reload);
    auto page = app.Get("/rss.html?u=" + feeds.Url("/shop") + "/" + reload);
    ASSERT_EQ(page.status, 200);
    EXPECT_NE(shown(page.body).find(text), std::string::npos) << SjisToUtf8(page.body);
  }
  EXPECT_EQ(app.Stop(), 0) << app.StderrText();
  for (const auto& e : std::filesystem::directory_iterator(app.home().path() + "/channels")) {
    if (e.path().filename() == "ChannelList.xml") continue;
    TRXML log;
    log.LoadFromFile(e.path().string());
    xmlChar* c = xmlNodeGetContent(log.SelectSingleNode("rss/channel/item/title"));
    EXPECT_EQ(std::string(c ? reinterpret_cast<const char*>(c) : ""), text) << e.path();
    xmlFree(c);
  }
}

}  // namespace
}  // namespace norvane::test
