#include "core/main_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace norvane {
namespace {

TEST(MainLoopConcurrency, RunsPostedTasksInOrderAndRepeatsTimersUntilStopped) {
  MainLoop loop;
  std::vector<int> order;
  int ticks = 0;
  MainLoop::TimerId timer = 0;
  std::thread poster([&] {
    for (int i = 0; i < 50; ++i) loop.Post([&order, i] { order.push_back(i); });
  });
  timer = loop.StartTimer(std::chrono::milliseconds(5), [&] {
    if (++ticks == 3) {
      loop.StopTimer(timer);
      // Every task of the other thread is queued before the quit.
      poster.join();
      loop.Post([&] { loop.Quit(7); });
    }
  });
  EXPECT_EQ(loop.Run(), 7);
  if (poster.joinable()) poster.join();
  EXPECT_EQ(ticks, 3);
  // Every task posted before the quit ran, once and in the order it was posted.
  std::vector<int> expected(50);
  for (int i = 0; i < 50; ++i) expected[static_cast<size_t>(i)] = i;
  EXPECT_EQ(order, expected);
}

}  // namespace
}  // namespace norvane
