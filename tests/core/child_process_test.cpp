#include "core/child_process.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>

namespace norvane {
namespace {

using std::chrono::milliseconds;

TEST(ChildProcess, StartsWaitsBoundedAndEndsWhatOutlivesTheWait) {
  EXPECT_EQ(StartChild({.argv = {"/nonexistent/program"}}), -1);
  EXPECT_EQ(StartChild({}), -1);

  // Standard input is /dev/null by default: cat ends at once.
  pid_t cat = StartChild({.argv = {"cat"}});
  ASSERT_GT(cat, 0);
  EXPECT_TRUE(WaitForChild(cat, milliseconds(10000)));

  pid_t slow = StartChild({.argv = {"sleep", "30"}, .ownGroup = true});
  ASSERT_GT(slow, 0);
  auto before = std::chrono::steady_clock::now();
  EXPECT_FALSE(WaitForChild(slow, milliseconds(100)));
  EXPECT_LT(std::chrono::steady_clock::now() - before, milliseconds(5000));
  KillChildAndGroup(slow);
  EXPECT_TRUE(WaitForChild(slow, milliseconds(10000)));
}

TEST(ChildProcess, TheChildGetsNoneOfTheBlockedEndSignals) {
  // The program blocks its end signals; a child that could not be ended by them would
  // outlive every time-out.
  sigset_t term, old;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &term, &old);
  pid_t child = StartChild({.argv = {"sh", "-c", "kill -TERM $$; sleep 30"}});
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  ASSERT_GT(child, 0);
  EXPECT_TRUE(WaitForChild(child, milliseconds(10000)));
}

}  // namespace
}  // namespace norvane
