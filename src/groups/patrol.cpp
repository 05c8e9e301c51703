#include "groups/patrol.h"

#include <stdexcept>
#include <string>

#include "core/settings.h"
#include "core/texts.h"

namespace norvane {

struct TReroad::Run {
  std::string file;
  std::optional<std::vector<ChannelCount>> docs;
  std::jthread thread;  // last member: joined before the rest goes
};

TReroad::TReroad(Shell& shell, TForm5& popup, Refresh refresh, std::chrono::milliseconds tick)
    : shell_(shell),
      popup_(popup),
      refresh_(std::move(refresh)),
      tick_(tick),
      self_(std::make_shared<TReroad*>(this)) {}

TReroad::~TReroad() {
  ClearGroups();
  self_.reset();  // a patrol that ends now no longer reaches this object
  WaitForPatrol();
}

void TReroad::AddGroup(const std::string& file, int interval) {
  for (const Reroad& entry : entries_)
    if (entry.File == file) return;  // one timer per group, however often it is told
  entries_.push_back(Reroad{file, interval, interval});
}

void TReroad::Start() {
  if (timer_) shell_.StopTimer(timer_);
  timer_ = shell_.StartTimer(tick_, [this] { Tick(); });
  active_ = true;
}

void TReroad::Stop() {
  if (timer_) shell_.StopTimer(timer_);
  timer_ = 0;
  active_ = false;
}

void TReroad::ClearGroups() {
  Stop();
  entries_.clear();
}

void TReroad::WaitForPatrol() {
  if (running_ && running_->thread.joinable()) running_->thread.join();
  running_.reset();
}

void TReroad::Tick() {
  if (!GetSettings().GOROUND || popup_.visible()) return;
  for (Reroad& e : entries_) {
    if (e.Interval <= 0) continue;
    if (e.Count != 0) {
      --e.Count;
      continue;
    }
    Stop();
    e.Count = e.Interval;
    auto run = std::make_shared<Run>();
    run->file = e.File;
    std::weak_ptr<TReroad*> self = self_;
    std::weak_ptr<Run> weakRun = run;
    Run* raw = run.get();
    Shell* shell = &shell_;
    running_ = run;
    run->thread = std::jthread([raw, self, weakRun, shell, refresh = refresh_] {
      // The main loop's error handler shows a failure and ends the program in order; a
      // thread must never take the process down with it. Only the message crosses over:
      // the exception object itself stays on this thread.
      std::optional<std::string> failure;
      try {
        raw->docs = refresh(raw->file);
      } catch (const std::exception& error) {
        failure = error.what();
      } catch (...) {
        failure = "unknown error";
      }
      if (failure) {
        shell->Post([message = *failure] { throw std::runtime_error(message); });
        return;
      }
      shell->Post([self, weakRun] {
        auto owner = self.lock();
        auto finished = weakRun.lock();
        if (owner && finished) (*owner)->PatrolDone(finished);
      });
    });
    return;
  }
}

void TReroad::PatrolDone(const std::shared_ptr<Run>& run) {
  if (run->thread.joinable()) run->thread.join();
  std::vector<std::string> lines = ResultLines(run->docs);
  if (running_ == run) running_.reset();
  popup_.ShowResult(lines);
  Start();
}

std::vector<std::string> TReroad::ResultLines(
    const std::optional<std::vector<ChannelCount>>& docs) {
  const Texts& t = T();
  std::vector<std::string> lines{t.patrolHeading};
  if (!docs) return lines;
  for (const ChannelCount& c : *docs) {
    if (c.title.empty()) continue;
    if (c.newItems > 0)
      lines.push_back(t.patrolNewOpen + std::to_string(c.newItems) + ") " + c.title);
    else
      lines.push_back(t.patrolNone + c.title);
  }
  return lines;
}

}  // namespace norvane
