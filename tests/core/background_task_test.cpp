// Slow work on a thread of its own, and the user's cancel reaching the fetch in it.
#include "core/background_task.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "http/http_client.h"
#include "support/feed_server.h"

namespace norvane {
namespace {

using namespace std::chrono_literals;

void WaitFinished(const BackgroundTask& task) {
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (!task.Finished() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(5ms);
  ASSERT_TRUE(task.Finished());
}

TEST(BackgroundTask, RunsOnAnotherThreadAndHandsBackWhatItThrew) {
  std::thread::id ran;
  BackgroundTask ok([&] { ran = std::this_thread::get_id(); });
  WaitFinished(ok);
  EXPECT_NE(ran, std::thread::id());
  EXPECT_NE(ran, std::this_thread::get_id());
  EXPECT_NO_THROW(ok.Rethrow());
  EXPECT_FALSE(ok.Cancelled());

  BackgroundTask failing([] { throw std::runtime_error("no feed"); });
  WaitFinished(failing);
  EXPECT_THROW(
      {
        try {
          failing.Rethrow();
        } catch (const std::runtime_error& e) {
          EXPECT_STREQ(e.what(), "no feed");
          throw;
        }
      },
      std::runtime_error);
}

TEST(BackgroundTask, CancelReachesOnlyTheWorksOwnThread) {
  std::atomic<bool> seenInside{false};
  BackgroundTask task([&] {
    while (!WorkCancelled()) std::this_thread::sleep_for(1ms);
    seenInside = true;
  });
  std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(task.Finished());
  task.Cancel();
  WaitFinished(task);
  EXPECT_TRUE(seenInside);
  EXPECT_TRUE(task.Cancelled());
  EXPECT_FALSE(WorkCancelled()) << "the asking thread is not cancelled";
}

TEST(BackgroundTask, ScopesNestAndEndWithTheirLife) {
  CancelFlag outer, inner;
  inner.Cancel();
  {
    CancelScope a(outer);
    EXPECT_FALSE(WorkCancelled());
    {
      CancelScope b(inner);
      EXPECT_TRUE(WorkCancelled());
    }
    EXPECT_FALSE(WorkCancelled());
  }
  EXPECT_FALSE(WorkCancelled());
}

TEST(BackgroundTask, ItsEndCancelsWorkThatStillRuns) {
  std::atomic<bool> stopped{false};
  {
    BackgroundTask task([&] {
      while (!WorkCancelled()) std::this_thread::sleep_for(1ms);
      stopped = true;
    });
  }
  EXPECT_TRUE(stopped);
}

// A server that would answer only after a minute: the cancelled fetch gives up as the
// engine next reports progress.
TEST(BackgroundTask, ACancelledFetchGivesUpLongBeforeTheServerAnswers) {
  test::FeedServer server;
  test::FeedRoute late{.body = "<rss/>"};
  late.delay = 60s;
  server.Route("/late.xml", late);
  FetchResponse got;
  const auto began = std::chrono::steady_clock::now();
  BackgroundTask task([&] { got = HttpGet(server.Url("/late.xml"), "", FetchOptions{.readTimeout = 120s}); });
  std::this_thread::sleep_for(100ms);
  task.Cancel();
  WaitFinished(task);
  EXPECT_LT(std::chrono::steady_clock::now() - began, 20s);
  EXPECT_EQ(got.kind, FetchKind::Cancelled);
  EXPECT_EQ(got.error, "Cancelled by the user");

  CancelFlag already;
  already.Cancel();
  CancelScope scope(already);
  EXPECT_EQ(HttpGet(server.Url("/late.xml"), "", {}).kind, FetchKind::Cancelled) << "not even begun";
}

}  // namespace
}  // namespace norvane
