#include "feeds/rss.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "core/disk_path.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "core/texts.h"
#include "feeds/channel_home.h"
#include "feeds/xml_node.h"
#include "support/feed_server.h"
#include "support/file_size_limit.h"
#include "support/program_home.h"

namespace norvane {
namespace {

struct LoggedItem {
  std::string title;
  std::string link;  // "-" for an item without a link
  std::string description = "about it";
};

std::string Rss2(const std::vector<LoggedItem>& items, const std::string& channelTitle = "Channel") {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>";
  if (!channelTitle.empty()) s += "<title>" + channelTitle + "</title>";
  s += "<link>http://example.com/</link><description>d</description>";
  for (const auto& i : items) {
    s += "<item><title>" + i.title + "</title>";
    if (i.link != "-") s += "<link>" + i.link + "</link>";
    s += "<description>" + i.description + "</description></item>";
  }
  return s + "</channel></rss>";
}

// Every item of a log, as title:type:revday.
std::vector<std::string> Marks(const TRXML& doc) {
  std::vector<std::string> out;
  for (xmlNodePtr item : doc.SelectNodes("rss/channel/item")) {
    xmlNodePtr mark = SelectSingleNode(item, "rg:log");
    xmlNodePtr day = SelectSingleNode(item, "rg:revday");
    out.push_back(SjisToUtf8(NodeText(SelectSingleNode(item, "title"))) + ":" +
                  (mark ? GetAttribute(mark, "type") : "?") + ":" + (day ? NodeText(day) : "?"));
  }
  return out;
}

class RecordingScrapper : public ItemScrapper {
 public:
  explicit RecordingScrapper(std::vector<std::string>& seen) : seen_(seen) {}
  void SetSource(const std::string& title, const std::string&) override { source_ = title; }
  void ScrapItem(xmlNodePtr item) override {
    seen_.push_back(source_ + "/" + SjisToUtf8(NodeText(SelectSingleNode(item, "title"))));
  }

 private:
  std::vector<std::string>& seen_;
  std::string source_;
};

class ChannelLog : public test::ChannelHome {
 protected:
  void TearDown() override { list_.reset(); }

  void Serve(const std::vector<LoggedItem>& items, const std::string& lastModified,
             const std::string& title = "Channel") {
    test::FeedRoute r;
    r.body = Rss2(items, title);
    r.lastModified = lastModified;
    server_.Route("/feed", r);
  }

  // Runs one request and returns its answer parsed.
  std::unique_ptr<TRXML> Request(bool reload, const std::string& sel = "", bool scrap = true,
                                 const std::string& keyword = "", bool descriptions = true) {
    RPARAMS p = Params("/feed", reload);
    p.Sel = sel;
    p.Scrap = scrap;
    p.Keyword = keyword;
    p.ShowDescription = descriptions;
    FeedContext ctx{*list_, [this] { return std::make_unique<RecordingScrapper>(scrapped_); },
                    nullptr};
    TRSS rss(p, ctx);
    answer_ = rss.Excute();
    auto doc = std::make_unique<TRXML>();
    doc->LoadFromXML(answer_);
    logPath_ = rss.LogPath;
    return doc;
  }

  std::string StoredLogText() { return home_.Read(DiskPath(logPath_)); }

  std::unique_ptr<TRXML> StoredLog() {
    auto doc = std::make_unique<TRXML>();
    doc->LoadFromFile(logPath_);
    return doc;
  }

  std::vector<std::string> scrapped_;
  std::string answer_;
  std::string logPath_;
};

const char* kRssDay1 = "Mon, 01 Dec 2025 10:00:00 GMT";
const char* kRssDay2 = "Tue, 02 Dec 2025 10:00:00 GMT";
const char* kRssDay3 = "Wed, 03 Dec 2025 10:00:00 GMT";

TEST_F(ChannelLog, AnItemIsNewThenTodayThenLogAndTheDatesStay) {
  Serve({{"A", "http://e/a"}, {"B", "http://e/b"}}, kRssDay1);
  // A first request fetches even without r, and everything is new.
  auto first = Request(false);
  EXPECT_EQ(Marks(*first), (std::vector<std::string>{std::string("A:new:") + kRssDay1,
                                                     std::string("B:new:") + kRssDay1}));
  EXPECT_EQ(scrapped_, (std::vector<std::string>{"Channel/A", "Channel/B"}));
  auto stored = StoredLog();
  EXPECT_EQ(GetAttribute(stored->DocumentElement(), "xmlns:rg"), "http://norvane/rg");
  // The channel starts with the fetch date and the feed URL, right before its title.
  xmlNodePtr c = FirstChildElement(stored->SelectSingleNode("rss/channel"));
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(NodeName(c), "rg:revday");
  EXPECT_EQ(NodeText(c), kRssDay1);
  c = NextSiblingElement(c);
  EXPECT_EQ(NodeName(c), "rg:link");
  EXPECT_EQ(NodeText(c), server_.Url("/feed"));
  EXPECT_EQ(NodeName(NextSiblingElement(c)), "title");

  // Without r the log is read, nothing fetched.
  size_t before = server_.RequestCount("/feed");
  Request(false);
  EXPECT_EQ(server_.RequestCount("/feed"), before);

  // 304: new becomes today, dates and file stay.
  auto unchanged = Request(true);
  EXPECT_EQ(server_.Requests().back().Header("If-Modified-Since"), kRssDay1);
  EXPECT_EQ(Marks(*unchanged), (std::vector<std::string>{std::string("A:today:") + kRssDay1,
                                                         std::string("B:today:") + kRssDay1}));
  EXPECT_EQ(Marks(*StoredLog()), Marks(*unchanged));

  // A changed feed: C is new, A keeps its first date, B has left the feed.
  scrapped_.clear();
  Serve({{"C", "http://e/c"}, {"A", "http://e/a"}}, kRssDay2);
  auto changed = Request(true);
  EXPECT_EQ(Marks(*changed),
            (std::vector<std::string>{std::string("C:new:") + kRssDay2, std::string("A:today:") + kRssDay1,
                                      std::string("B:log:") + kRssDay1}));
  EXPECT_EQ(scrapped_, (std::vector<std::string>{"Channel/C"}));  // only what is new

  // A changed feed whose items are all known: all today, the log item stays behind.
  Serve({{"A", "http://e/a"}, {"C", "http://e/c"}}, kRssDay3);
  EXPECT_EQ(Marks(*Request(true)),
            (std::vector<std::string>{std::string("A:today:") + kRssDay1,
                                      std::string("C:today:") + kRssDay2, std::string("B:log:") + kRssDay1}));

  // LOG_CNT as set when the request runs bounds what is kept (the cases of the merge
  // itself are in log_merge_test.cpp).
  UpdateSettings([](Settings& s) { s.LOG_CNT = 0; });
  Serve({{"D", "http://e/d"}}, "Thu, 04 Dec 2025 10:00:00 GMT");
  EXPECT_EQ(Marks(*Request(true)), (std::vector<std::string>{"D:new:Thu, 04 Dec 2025 10:00:00 GMT"}));
  EXPECT_EQ(Marks(*StoredLog()), (std::vector<std::string>{"D:new:Thu, 04 Dec 2025 10:00:00 GMT"}));
}

// A log that cannot be written (the disk is full: here a file size limit) fails the
// request instead of showing items as kept, and the stored date stays behind so the
// next fetch brings the items again.
TEST_F(ChannelLog, ALogThatCannotBeWrittenFailsTheAnswerAndKeepsTheOldDate) {
  Serve({{"A", "http://e/a"}}, kRssDay1);
  Request(false);
  std::string before = StoredLogText();
  Serve({{"A", "http://e/a"}, {"B", "http://e/b", std::string(4000, 'x')}}, kRssDay2);

  std::unique_ptr<TRXML> failed;
  {
    test::FileSizeLimit small(2000);
    failed = Request(true);
  }

  EXPECT_EQ(NodeText(failed->SelectSingleNode("rdf:RDF/channel/title")), T().errorFeedTitle) << answer_;
  EXPECT_EQ(StoredLogText(), before) << "the old log stays whole";
  EXPECT_EQ(TChItem(*list_, server_.Url("/feed")).GetLastModified(), kRssDay1);
  // With room again the same feed is fetched in full, not answered 304.
  EXPECT_EQ(Marks(*Request(true)), (std::vector<std::string>{std::string("A:today:") + kRssDay1,
                                                             std::string("B:new:") + kRssDay2}));
}

// A feed that leaves out its title was fetched fine: it is read with an empty title.
TEST_F(ChannelLog, AFeedWithoutChannelTitleIsReadWithAnEmptyOne) {
  Serve({{"A", "http://e/a"}}, kRssDay1, "");
  auto doc = Request(false);
  EXPECT_EQ(SjisToUtf8(answer_).find("エラーメッセージ"), std::string::npos) << answer_;
  EXPECT_EQ(Marks(*doc), (std::vector<std::string>{std::string("A:new:") + kRssDay1}));
  EXPECT_EQ(NodeText(doc->SelectSingleNode("rss/channel/title")), "");
  EXPECT_EQ(NodeText(doc->SelectSingleNode("rss/channel/rg:link")), server_.Url("/feed"));

  Serve({{"B", "http://e/b"}}, kRssDay2, "");
  auto reloaded = Request(true);
  EXPECT_EQ(Marks(*reloaded), (std::vector<std::string>{std::string("B:new:") + kRssDay2,
                                                        std::string("A:log:") + kRssDay1}));
  EXPECT_EQ(Marks(*StoredLog()), Marks(*reloaded));
}

TEST_F(ChannelLog, FiltersShapeTheAnswerButNeverTheStoredLog) {
  Serve({{"Old", "http://e/o"}}, kRssDay1);
  Request(false);
  Serve({{"Fresh news", "http://e/f"}, {"Second", "http://e/s", "has news inside"},
         {"Third", "http://e/t"}},
        kRssDay2);
  auto today = Request(true, "today");
  EXPECT_EQ(Marks(*today).size(), 3u);  // the log item is gone from the answer
  EXPECT_EQ(Marks(*StoredLog()).size(), 4u);

  EXPECT_EQ(Marks(*Request(false, "new")).size(), 3u);
  EXPECT_EQ(Marks(*Request(false, "log")).size(), 1u);
  EXPECT_EQ(Marks(*Request(false, "other")).size(), 4u);

  auto keyword = Request(false, "", true, "news");
  EXPECT_EQ(Marks(*keyword).size(), 2u);  // the title, or else the description
  auto titlesOnly = Request(false, "", true, "news", false);
  EXPECT_EQ(Marks(*titlesOnly).size(), 1u);  // descriptions go before the keyword test
  EXPECT_TRUE(titlesOnly->SelectNodes("rss/channel/item/description").empty());
  EXPECT_FALSE(titlesOnly->SelectNodes("rss/channel/description").empty());

  EXPECT_TRUE(Marks(*Request(false, "", true, "nomatchatall")).empty());
  EXPECT_EQ(StoredLog()->SelectNodes("rss/channel/item/description").Length(), 4u);

  // After an unchanged reload nothing is new any more.
  scrapped_.clear();
  EXPECT_TRUE(Marks(*Request(true, "new")).empty());
  EXPECT_TRUE(scrapped_.empty()) << "reloads without new items scrap nothing";
}

TEST_F(ChannelLog, ScrapOffHandsNothingToTheScrapbooks) {
  Serve({{"A", "http://e/a"}}, kRssDay1);
  Request(false, "", false);
  Serve({{"B", "http://e/b"}}, kRssDay2);
  Request(true, "", false);
  EXPECT_TRUE(scrapped_.empty());
}

TEST_F(ChannelLog, AFailedFirstFetchAnswersTheErrorFeedWithTheFailedUrl) {
  auto doc = Request(true);
  std::string text = SjisToUtf8(answer_);
  EXPECT_EQ(answer_.rfind("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><rdf:RDF", 0), 0u);
  EXPECT_NE(text.find("取得できませんでした"), std::string::npos);
  EXPECT_NE(text.find(server_.Url("/feed")), std::string::npos) << text;
}

TEST_F(ChannelLog, JapaneseAndCharactersShiftJisLacksSurviveTheLog) {
  test::FeedRoute r;
  r.body = Rss2({{"日本語 café 😀", "http://e/j"}});
  r.lastModified = kRssDay1;
  server_.Route("/feed", r);
  Request(false);
  Serve({{"x", "http://e/x"}}, kRssDay2);
  Request(true);
  std::string stored = StoredLog()->XMLWithEncoding();
  EXPECT_NE(stored.find(Utf8ToSjis("日本語 caf")), std::string::npos);
  EXPECT_NE(stored.find("&#233;"), std::string::npos);     // é
  EXPECT_NE(stored.find("&#128512;"), std::string::npos);  // the emoji
}

TEST_F(ChannelLog, NamesWithCharactersShiftJisLacksStillGiveALogThatReadsBack) {
  // No reference can stand in a name: the stored name must stay a name.
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>T</title>"
      "<link>http://e/</link><description>d</description>";
  test::FeedRoute r;
  r.body = head + "<item><title>a</title><link>http://e/a</link><mark😀 é=\"1\" ü=\"2\">v</mark😀></item>" +
           "</channel></rss>";
  r.lastModified = kRssDay1;
  server_.Route("/feed", r);
  Request(false);
  Serve({{"b", "http://e/b"}}, kRssDay2);
  auto doc = Request(true);
  EXPECT_EQ(doc->SelectNodes("rss/channel/item").Length(), 2u) << answer_;
  EXPECT_NO_THROW(StoredLog()) << "the log reads back";
  EXPECT_NE(StoredLog()->XMLWithEncoding().find("<mark_1F600_ _E9_=\"1\" _FC_=\"2\">v</mark_1F600_>"), std::string::npos);
}

TEST(ChannelLogConcurrency, RunsForOneChannelTakeTurnsAndLoseNoItem) {
  test::ProgramHome home;
  home.Write("channels/.keep", "");
  {
    TChList list("channels\\ChannelList.xml");
    test::FeedServer server;
    test::FeedRoute r;
    r.body = Rss2({{"A", "http://e/a"}, {"B", "http://e/b"}});
    r.lastModified = kRssDay1;
    r.delay = std::chrono::milliseconds(20);
    server.Route("/one", r);
    server.Route("/two", r);
    std::vector<std::thread> threads;
    std::atomic<int> errors{0};
    for (int t = 0; t < 6; ++t)
      threads.emplace_back([&, t] {
        RPARAMS p;
        p.URL = server.Url(t % 2 ? "/one" : "/two");
        p.Reload = true;
        TRSS rss(p, FeedContext{list, {}, nullptr});
        std::string text = rss.Excute();
        if (text.find("<item>") == std::string::npos) ++errors;
      });
    for (auto& th : threads) th.join();
    EXPECT_EQ(errors.load(), 0);
    EXPECT_EQ(list.Count(), 2u);
    TRXML log;
    log.LoadFromFile("channels\\" + ChannelFileName(server.Url("/one")) + ".xml");
    EXPECT_EQ(log.SelectNodes("rss/channel/item").Length(), 2u);
  }
}

}  // namespace
}  // namespace norvane
