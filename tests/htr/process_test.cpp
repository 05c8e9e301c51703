#include "htr/process.h"

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/settings.h"
#include "core/sjis.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using std::chrono::milliseconds;
constexpr milliseconds kGenerous{60000};

std::string Collect(const std::string& line, const std::string& input = "",
                const std::string& dir = "") {
  return RunProcess(line, input, dir, kGenerous).value_or("<not started>");
}

int OpenFdCount() {
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) (void)e, ++n;
  return n;
}

std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return s;
}

// A process that has gone, or left only a zombie behind. A SIGKILL takes effect a
// moment after kill() returns, so this waits for it, within a bound far beyond that.
bool ProcessGone(pid_t pid) {
  for (int i = 0; i < 10000; ++i) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    if (!stat) return true;
    std::string line;
    std::getline(stat, line);
    size_t close = line.rfind(')');
    if (close != std::string::npos && close + 2 < line.size() &&
        (line[close + 2] == 'Z' || line[close + 2] == 'X'))
      return true;
    usleep(1000);
  }
  return false;
}

class ProcessTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetSettings(); }
};

TEST_F(ProcessTest, InputReachesTheChildWhole) {
  // 8192 is the old pipe size; the others straddle it or exceed what a pipe holds, so
  // the child's output must be drained while its input is still being written.
  for (size_t size : {size_t{0}, size_t{1}, size_t{8191}, size_t{8192}, size_t{8193},
                      size_t{300000}}) {
    std::string input = Pattern(size);
    EXPECT_EQ(Collect("cat", input), input) << size;
  }
  // The empty input is an end of input, not a pipe left open.
  EXPECT_EQ(Collect("/bin/sh -c \"cat; printf end\""), "end");
}

TEST_F(ProcessTest, LargeOutputArrivesInOrder) {
  std::string expected;
  for (int i = 1; i <= 6000; ++i) expected += std::to_string(i) + "\n";
  ASSERT_GT(expected.size(), 20000u);
  EXPECT_EQ(Collect("seq 1 6000"), expected);
  // Written in one burst right before exiting: nothing may be left in the pipe.
  EXPECT_EQ(Collect("/bin/sh -c \"head -c 150000 /dev/zero; exit 3\"").size(), 150000u);
}

TEST_F(ProcessTest, StandardErrorIsDrainedAndDropped) {
  EXPECT_EQ(Collect("/bin/sh -c \"echo oops >&2\""), "");
  // More than a pipe holds: an undrained error pipe would block the child for ever.
  EXPECT_EQ(Collect("/bin/sh -c \"head -c 300000 /dev/zero >&2; printf done\""), "done");
}

TEST_F(ProcessTest, ChildThatIgnoresItsInputStillFinishes) {
  std::string input = Pattern(1 << 20);
  std::string out = Collect("/bin/sh -c \"head -c 200000 /dev/zero | tr '\\0' x\"", input);
  EXPECT_EQ(out, std::string(200000, 'x'));
  // Reads a little, then leaves: the rest of the input meets a closed pipe.
  EXPECT_EQ(Collect("head -c 5", input), input.substr(0, 5));
}

TEST_F(ProcessTest, MissingProgramLeavesNothingBehind) {
  int before = OpenFdCount();
  EXPECT_FALSE(RunProcess("/nonexistent/program arg", "input", "", kGenerous).has_value());
  EXPECT_FALSE(RunProcess("no-such-program-anywhere", "", "", kGenerous).has_value());
  EXPECT_FALSE(RunProcess("   ", "", "", kGenerous).has_value());
  TPMnage runner;
  EXPECT_EQ(runner.Run({"/nonexistent/program", "x", ""}), "");
  EXPECT_EQ(OpenFdCount(), before);
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);  // no child, not even a zombie
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(ProcessTest, NormalRunsCloseEveryPipe) {
  int before = OpenFdCount();
  EXPECT_EQ(Collect("cat", "x"), "x");
  EXPECT_EQ(Collect("/bin/sh -c \"sleep 60 & printf hi\""), "hi");
  EXPECT_EQ(OpenFdCount(), before);
}

TEST_F(ProcessTest, ChildThatNeverEndsIsKilledWithItsGroup) {
  UpdateSettings([](Settings& s) { s.READTIMEOUT = 1; });  // raised to the floor
  EXPECT_EQ(ChildTimeLimit(), milliseconds(1000));
  TPMnage runner;
  std::string out = runner.Run({"/bin/sh -c \"sleep 60 & echo $!; while :; do :; done\"", "", ""});
  ASSERT_FALSE(out.empty());  // what came before the kill is kept
  EXPECT_EQ(runner.Output, out);
  pid_t background = std::stoi(out);
  EXPECT_TRUE(ProcessGone(background));
}

TEST_F(ProcessTest, LeftoverBackgroundProcessDoesNotHoldTheRun) {
  std::string out = Collect("/bin/sh -c \"sleep 60 & echo $!\"");
  ASSERT_FALSE(out.empty());
  EXPECT_TRUE(ProcessGone(std::stoi(out)));
}

TEST_F(ProcessTest, KillStopsARunningThread) {
  UpdateSettings([](Settings& s) { s.READTIMEOUT = 600000; });
  test::TempDir dir;
  std::string pidFile = dir / "pid";
  TPThread thread({"/bin/sh -c \"echo $$ > " + pidFile + ".tmp; mv " + pidFile + ".tmp " +
                       pidFile + "; exec sleep 600\"",
                   "", ""});
  while (!dir.Exists("pid")) usleep(1000);  // the child is running
  pid_t child = std::stoi(dir.Read("pid"));
  thread.Kill();
  thread.Wait();
  EXPECT_TRUE(ProcessGone(child));
  EXPECT_EQ(thread.Output(), "");
}

TEST_F(ProcessTest, ChildStartsInTheGivenFolderWithAClearSignalState) {
  test::TempDir dir;
  std::string real = std::filesystem::canonical(dir.path()).string();
  EXPECT_EQ(Collect("pwd", "", dir.path()), real + "\n");

  // A relative program path names a file below our folder, not the child's new one.
  std::string script = dir.Write("bin/tool.sh", "#!/bin/sh\nprintf 'tool:%s' \"$1\"\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  std::string relative =
      std::filesystem::relative(script, std::filesystem::current_path()).string();
  EXPECT_EQ(Collect(relative + " x", "", dir.path()), "tool:x");

  sigset_t block, old;
  sigemptyset(&block);
  sigaddset(&block, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &block, &old);
  struct sigaction ignore {}, oldPipe {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &oldPipe);
  std::string status = Collect("grep -E \"^Sig(Blk|Ign)\" /proc/self/status");
  sigaction(SIGPIPE, &oldPipe, nullptr);
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  EXPECT_NE(status.find("SigBlk:\t0000000000000000"), std::string::npos) << status;
  size_t ign = status.find("SigIgn:\t");
  ASSERT_NE(ign, std::string::npos);
  unsigned long long mask = std::stoull(status.substr(ign + 8, 16), nullptr, 16);
  EXPECT_EQ(mask & (1ull << (SIGPIPE - 1)), 0u) << status;
}

TEST_F(ProcessTest, ArgumentsArriveAsUtf8) {
  std::string sjis = Utf8ToSjis("日本 語");
  EXPECT_EQ(Collect("printf %s| \"" + sjis + "\" \"a\"\"b\" \"\""), "日本 語|a\"b||");
}

}  // namespace
}  // namespace norvane
