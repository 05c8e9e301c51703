#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/norvane_process.h"

namespace norvane::test {
namespace {

// Waits (bounded) until the program's standard error holds text.
bool WaitForStderr(const NorvaneProcess& app, const std::string& text, int seconds = 20) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (app.StderrText().find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

TEST(WholeRun, ThePatrolReportsNewItemsAndTheEndSavesEverything) {
  NorvaneProcess app(true, {{"GOROUND", "1"}, {"ROUNDRESULT", "1"}});
  app.home().Write("scrap/guide.keys",
                   "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<scrap>\r\n <word>Norvane</word>\r\n</scrap>\r\n");
  // A short tick: the sample group (patrolled every 6 ticks) is due on the 7th.
  ASSERT_TRUE(app.Start({}, {{"NORVANE_PATROL_TICK_MS", "100"}})) << app.StderrText();
  EXPECT_EQ(app.Get("/gp.html?u=sample.opml/").status, 200);

  ASSERT_TRUE(WaitForStderr(app, "[巡回結果]")) << app.StderrText();
  // The result is typed one line a second: the first channel's line follows.
  ASSERT_TRUE(WaitForStderr(app, "□ (5) Norvane ニュース")) << app.StderrText();

  EXPECT_EQ(app.Stop(), 0) << app.StderrText();
  EXPECT_NE(app.home().Read("norvane.ini").find("LASTOPML=sample.opml"), std::string::npos);
  EXPECT_NE(app.home().Read("channels/ChannelList.xml").find("sample/news/htr.xml"), std::string::npos);
  EXPECT_NE(app.home().Read("opmls/gp.xml").find("sample.opml"), std::string::npos);
  // The patrol's new items reached the scrapbook, and its feed was written.
  EXPECT_NE(app.home().Read("scrap/guide.xml").find("<item>"), std::string::npos);
}

}  // namespace
}  // namespace norvane::test
