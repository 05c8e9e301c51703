// Feeds that never finish, and the ways a run ends: every wait is bounded, and what the
// program keeps is on disk whatever ended it.
#include <gtest/gtest.h>

#include <csignal>
#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "core/sjis.h"
#include "support/feed_server.h"
#include "support/norvane_process.h"

namespace norvane::test {
namespace {

using Clock = std::chrono::steady_clock;

std::string SmallFeed() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>Drip</title>"
         "<link>http://127.0.0.1/</link><description>d</description><item><title>One</title>"
         "<link>http://127.0.0.1/1</link></item></channel></rss>";
}

// One byte every 200 ms: never silent for long, done only after about a minute.
FeedRoute Dripping() {
  FeedRoute r;
  r.body = SmallFeed() + std::string(100, ' ');
  r.drip = std::chrono::milliseconds(200);
  return r;
}

long long SecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count();
}

TEST(SlowFeeds, AFeedThatDripsIsGivenUpAtTheDeadlineWithItsReason) {
  FeedServer feeds;
  feeds.Route("/drip", Dripping());
  NorvaneProcess app(true, {{"READTIMEOUT", "1500"}});
  ASSERT_TRUE(app.Start()) << app.StderrText();
  auto start = Clock::now();
  auto page = app.Get("/rss.html?u=" + feeds.Url("/drip") + "/", {.timeoutMs = 30000});
  EXPECT_LE(SecondsSince(start), 8);
  ASSERT_EQ(page.status, 200) << page.error;
  EXPECT_NE(SjisToUtf8(page.body).find("timed out after 1.5 s"), std::string::npos) << SjisToUtf8(page.body);
  EXPECT_EQ(app.Stop(), 0) << app.StderrText();
}

// A stop while a group page waits for a feed that would take a minute: the fetch is
// cancelled, the request answered or dropped, the channel list saved, all in seconds.
TEST(SlowFeeds, AStopDuringASlowGroupEndsInSecondsAndSavesTheChannelList) {
  FeedServer feeds;
  feeds.Route("/drip", Dripping());
  feeds.Serve("/quick", SmallFeed());
  NorvaneProcess app(true, {{"READTIMEOUT", "120000"}});
  app.home().Write("opmls/slow.opml",
                   "<opml version=\"1.0\"><head><title>Slow</title></head><body>"
                   "<outline text=\"q\" type=\"rss\" xmlUrl=\"" + feeds.Url("/quick") + "\"/>"
                   "<outline text=\"d\" type=\"rss\" xmlUrl=\"" + feeds.Url("/drip") + "\"/></body></opml>");
  ASSERT_TRUE(app.Start()) << app.StderrText();
  auto page = std::async(std::launch::async, [&] {
    return app.Get("/ch.html?u=slow.opml/&r=on", {.timeoutMs = 60000});
  });
  // Wait until the slow feed is being fetched.
  for (int i = 0; i < 100 && feeds.RequestCount("/drip") < 1; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_GE(feeds.RequestCount("/drip"), 1u);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  auto start = Clock::now();
  EXPECT_EQ(app.Stop(), 0) << app.StderrText();
  EXPECT_LE(SecondsSince(start), 10);
  auto answer = page.get();
  if (answer.status != 0) {
    EXPECT_EQ(answer.status, 200);  // answered, or dropped
  }
  std::string list = app.home().Read("channels/ChannelList.xml");
  EXPECT_NE(list.find(feeds.Url("/quick")), std::string::npos) << list;
  EXPECT_NE(list.find(feeds.Url("/drip")), std::string::npos) << list;
}

TEST(Ending, NewChannelsReachTheDiskWhileTheProgramRuns) {
  FeedServer feeds;
  feeds.Serve("/feed", SmallFeed());
  NorvaneProcess app;
  ASSERT_TRUE(app.Start()) << app.StderrText();
  ASSERT_EQ(app.Get("/rss.html?u=" + feeds.Url("/feed") + "/").status, 200);
  bool saved = false;
  for (int i = 0; i < 100 && !saved; ++i) {
    saved = app.home().Exists("channels/ChannelList.xml") &&
            app.home().Read("channels/ChannelList.xml").find(feeds.Url("/feed")) != std::string::npos;
    if (!saved) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(saved) << "a crash now would lose nothing";
  kill(app.pid(), SIGKILL);
  app.Wait();
}

TEST(Ending, AStyleThatDoesNotExistFallsBackToDefaultWithOneLine) {
  NorvaneProcess app(true, {{"XSL_STYLE", "Gone"}});
  app.home().Write("opmls/one.opml", "<opml version=\"1.0\"><head><title>One</title></head><body/></opml>");
  ASSERT_TRUE(app.Start()) << app.StderrText();
  auto page = app.Get("/gp.html?u=one.opml/");
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("<html"), std::string::npos) << page.body;
  EXPECT_EQ(app.Stop(), 0);
  EXPECT_NE(app.StderrText().find("XSL_STYLE=Gone"), std::string::npos) << app.StderrText();
}

}  // namespace
}  // namespace norvane::test
