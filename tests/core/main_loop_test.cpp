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
  timer = loop.StartTimer(std::chrono::milliseconds(5), [&] {
    if (++ticks == 3) {
      loop.StopTimer(timer);
      loop.Post([&] { loop.Quit(7); });
    }
  });
  std::thread poster([&] {
    for (int i = 0; i < 50; ++i) loop.Post([&order, i] { order.push_back(i); });
  });
  EXPECT_EQ(loop.Run(), 7);
  poster.join();
  EXPECT_EQ(ticks, 3);
  // Every task posted before the quit ran, in the order it was posted.
  for (size_t i = 1; i < order.size(); ++i) EXPECT_LT(order[i - 1], order[i]);
}

}  // namespace
}  // namespace norvane
