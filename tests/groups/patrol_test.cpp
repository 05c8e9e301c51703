#include "groups/patrol.h"

#include <gtest/gtest.h>

#include <map>

#include "core/settings.h"
#include "core/sjis.h"
#include "support/fake_shell.h"

namespace norvane {
namespace {

using std::chrono::milliseconds;
constexpr milliseconds kTick(600000);

class RecordingView : public PopupView {
 public:
  void ShowPopup() override { events.push_back("show"); }
  void HidePopup() override { events.push_back("hide"); }
  void AppendLine(const std::string& l) override { events.push_back("line:" + SjisToUtf8(l)); }
  void ClearLines() override { events.push_back("clear"); }
  std::vector<std::string> events;
};

class PatrolConcurrency : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    UpdateSettings([](Settings& s) { s.GOROUND = true; });
  }
  void TearDown() override { ResetSettings(); }

  // Fires the patrol tick and, when it started a refresh, lets the refresh finish and
  // its completion run. Returns the group refreshed, or "".
  std::string Step(TReroad& patrol) {
    size_t before = refreshed_.size();
    EXPECT_TRUE(shell_.Fire(kTick));
    if (patrol.Active()) return "";
    EXPECT_TRUE(shell_.RunOnePosted());
    EXPECT_TRUE(patrol.Active());  // the timer runs again after every patrol
    std::lock_guard lock(m_);
    return refreshed_.size() > before ? refreshed_.back() : "?";
  }

  TReroad::Refresh Recorder() {
    return [this](const std::string& file) -> std::optional<std::vector<ChannelCount>> {
      std::lock_guard lock(m_);
      refreshed_.push_back(file);
      return std::vector<ChannelCount>{};
    };
  }

  test::FakeShell shell_;
  RecordingView view_;
  TForm5 popup_{shell_, view_};
  std::mutex m_;
  std::vector<std::string> refreshed_;
};

TEST_F(PatrolConcurrency, EachGroupWaitsItsOwnTicksAndAnEarlierGroupHoldsTheTick) {
  TReroad patrol(shell_, popup_, Recorder());
  patrol.AddGroup("a.opml", 1);
  patrol.AddGroup("b.opml", 2);
  patrol.AddGroup("never.opml", 0);
  patrol.Start();
  std::map<std::string, std::vector<int>> on;
  for (int tick = 1; tick <= 18; ++tick) {
    std::string g = Step(patrol);
    if (!g.empty()) on[g].push_back(tick);
  }
  EXPECT_EQ(on["a.opml"], (std::vector<int>{2, 4, 6, 8, 10, 12, 14, 16, 18}));
  EXPECT_EQ(on["b.opml"], (std::vector<int>{5, 11, 17}));
  EXPECT_EQ(on.count("never.opml"), 0u);
}

TEST_F(PatrolConcurrency, TicksCountNothingWhilePatrolIsOffOrThePopupIsShown) {
  TReroad patrol(shell_, popup_, Recorder());
  patrol.AddGroup("a.opml", 1);
  patrol.Start();
  UpdateSettings([](Settings& s) { s.GOROUND = false; });
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Step(patrol), "");
  EXPECT_EQ(patrol.entries()[0].Count, 1);  // nothing was counted down
  UpdateSettings([](Settings& s) {
    s.GOROUND = true;
    s.ROUNDRESULT = true;
  });
  popup_.ShowResult({"x"});
  ASSERT_TRUE(popup_.visible());
  EXPECT_EQ(Step(patrol), "");
  EXPECT_EQ(patrol.entries()[0].Count, 1);
  // The popup types its line, pauses, hides: then counting resumes where it stopped.
  while (popup_.visible()) shell_.Fire(milliseconds(popup_.timerInterval()));
  EXPECT_EQ(Step(patrol), "");
  EXPECT_EQ(Step(patrol), "a.opml");
}

TEST_F(PatrolConcurrency, ResultLinesReachThePopupWhichTypesThemAndCloses) {
  TReroad patrol(shell_, popup_, [](const std::string&) {
    return std::optional<std::vector<ChannelCount>>(
        std::vector<ChannelCount>{{"First", 3}, {"", 5}, {"Second", 0}});
  });
  UpdateSettings([](Settings& s) { s.ROUNDRESULT = true; });
  patrol.AddGroup("g.opml", 1);
  patrol.Start();
  Step(patrol);
  ASSERT_EQ(Step(patrol), "?");  // the refresh ran (this recorder records nothing)
  ASSERT_TRUE(popup_.visible());
  EXPECT_EQ(popup_.timerInterval(), 1000);
  for (int i = 0; i < 3; ++i) shell_.Fire(milliseconds(1000));
  shell_.Fire(milliseconds(1000));  // nothing left: the final pause begins
  EXPECT_EQ(popup_.timerInterval(), 3000);
  shell_.Fire(milliseconds(3000));
  EXPECT_FALSE(popup_.visible());
  EXPECT_EQ(popup_.timerInterval(), 1500);  // later results type more slowly
  EXPECT_EQ(view_.events, (std::vector<std::string>{"show", "line:　[巡回結果]", "line:□ (3) First",
                                                     "line:■Second", "hide", "clear"}));

  UpdateSettings([](Settings& s) { s.ROUNDRESULT = false; });
  popup_.ShowResult({"y"});
  EXPECT_FALSE(popup_.visible());

  EXPECT_EQ(TReroad::ResultLines(std::nullopt).size(), 1u);  // a failed refresh: the heading only
}

TEST_F(PatrolConcurrency, DestroyingThePatrolWaitsForARunningRefresh) {
  std::atomic<bool> finished{false};
  {
    TReroad patrol(shell_, popup_, [&](const std::string&) {
      std::this_thread::sleep_for(milliseconds(50));
      finished = true;
      return std::optional<std::vector<ChannelCount>>();
    });
    patrol.AddGroup("slow.opml", 1);
    patrol.Start();
    shell_.Fire(kTick);
    shell_.Fire(kTick);
    EXPECT_FALSE(patrol.Active());
  }
  EXPECT_TRUE(finished);
  // The completion posted by the refresh finds no patrol and does nothing.
  EXPECT_TRUE(shell_.RunOnePosted());
}

}  // namespace
}  // namespace norvane
