#include "core/main_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
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

// Whatever throws on the loop, a timer or a task posted by another thread as a worker
// reports its failure, reaches the error handler once and ends the loop with 1.
TEST(MainLoopConcurrency, AnExceptionFromATimerOrAPostedTaskGoesToTheHandlerAndEndsWithOne) {
  for (bool fromTimer : {true, false}) {
    MainLoop loop;
    std::vector<std::string> messages;
    loop.SetErrorHandler([&](const std::string& m) { messages.push_back(m); });
    bool ranAfter = false;
    std::thread worker;
    if (fromTimer) {
      loop.StartTimer(std::chrono::milliseconds(2), [] { throw std::runtime_error("timer broke"); });
    } else {
      worker = std::thread([&loop] {
        std::string failure;
        try {
          throw std::runtime_error("worker broke");
        } catch (const std::exception& e) {
          failure = e.what();
        }
        loop.Post([failure] { throw std::runtime_error(failure); });
      });
    }
    loop.StartTimer(std::chrono::seconds(30), [&] { ranAfter = true; });
    EXPECT_EQ(loop.Run(), 1);
    if (worker.joinable()) worker.join();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], fromTimer ? "timer broke" : "worker broke");
    EXPECT_FALSE(ranAfter);
  }
}

}  // namespace
}  // namespace norvane
