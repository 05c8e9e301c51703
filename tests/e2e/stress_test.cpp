// The whole program under the load that once crashed it: a group of 100 slow feeds
// refreshed in parallel, the program stopped right after, many times over on one folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/feed_server.h"
#include "support/norvane_process.h"

namespace norvane::test {
namespace {

constexpr int kFeeds = 100;

// Twenty items, of which the round's first ten are new to the log.
std::string TwentyItemFeed(int n, int round) {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>Feed " +
                  std::to_string(n) + "</title><link>http://127.0.0.1/</link><description>d</description>";
  for (int k = 0; k < 20; ++k) {
    const int i = k < 10 ? round * 10 + k : k - 10;
    s += "<item><title>Item " + std::to_string(i) + "</title><link>http://127.0.0.1/" + std::to_string(n) +
         "/" + std::to_string(i) + "</link><description>short</description></item>";
  }
  return s + "</channel></rss>";
}

// NORVANE_STRESS_ROUNDS sets the rounds (a Release build is worth many).
int Rounds() {
  const char* v = std::getenv("NORVANE_STRESS_ROUNDS");
  return v && std::atoi(v) > 0 ? std::atoi(v) : 6;
}

TEST(StressConcurrency, AGroupOfSlowFeedsRefreshedAndStoppedManyTimesNeverCrashes) {
  FeedServer feeds;
  auto route = [&feeds](int i, int round) {
    FeedRoute r;
    r.body = TwentyItemFeed(i, round);
    r.delay = std::chrono::milliseconds(50);
    // Half the feeds answer 304 to the stored date; the others always send the whole
    // feed with the same date, so both the refresh and the merge paths run.
    if (i % 2) r.lastModified = "Tue, 01 Apr 2025 10:00:00 GMT";
    else r.headers.push_back({"Last-Modified", "Tue, 01 Apr 2025 10:00:00 GMT"});
    feeds.Route("/f" + std::to_string(i), r);
  };
  std::string outlines;
  for (int i = 0; i < kFeeds; ++i) {
    route(i, 0);
    outlines += "<outline text=\"f\" type=\"rss\" xmlUrl=\"" + feeds.Url("/f" + std::to_string(i)) + "\"/>";
  }
  NorvaneProcess app(true, {{"MAXCONNECTION", "8"}});
  app.home().Write("opmls/stress.opml",
                   "<opml version=\"1.0\"><head><title>Stress</title></head><body>" + outlines + "</body></opml>");
  // A scrapbook that takes every item, so the feeders hand items across documents.
  app.home().Write("scrap/all.keys",
                   "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<scrap>\r\n <word>Item</word>\r\n</scrap>\r\n");

  for (int round = 0; round < Rounds(); ++round) {
    for (int i = 0; i < kFeeds; i += 2) route(i, round);
    ASSERT_TRUE(app.Start()) << "round " << round << "\n" << app.StderrText();
    auto page = app.Get("/ch.html?u=stress.opml/&r=on", {.timeoutMs = 60000});
    int status = app.Stop();
    ASSERT_EQ(page.status, 200) << "round " << round << ": " << page.error << "\n" << app.StderrText();
    EXPECT_NE(page.body.find("Feed 0<"), std::string::npos) << "round " << round;
    EXPECT_NE(page.body.find("Feed 99<"), std::string::npos) << "round " << round;
    ASSERT_EQ(status, 0) << "round " << round << "\n" << app.StderrText();
  }
}

}  // namespace
}  // namespace norvane::test
