#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/shell.h"
#include "groups/patrol_popup.h"

namespace norvane {

// One channel of a patrol's refresh: its title and how many new items it brought.
struct ChannelCount {
  std::string title;
  int newItems = 0;
};

// One group's place in the patrol schedule.
struct Reroad {
  std::string File;
  int Count = 0;
  int Interval = 0;
};

// The background patrol: a ten-minute tick on the main loop; each group is refreshed
// after its own number of ticks, on a thread of its own, one group at a time.
class TReroad {
 public:
  // Refreshes one group (with r=on and sel=new) and tells per channel how many new
  // items it found; nullopt when the refresh failed. Runs on the patrol thread.
  using Refresh = std::function<std::optional<std::vector<ChannelCount>>(const std::string& file)>;

  TReroad(Shell& shell, TForm5& popup, Refresh refresh,
          std::chrono::milliseconds tick = std::chrono::milliseconds(600000));
  ~TReroad();
  TReroad(const TReroad&) = delete;
  TReroad& operator=(const TReroad&) = delete;

  // A group the patrol refreshes every interval ticks; a file it has already is left as it
  // is. On the main thread, as Tick.
  void AddGroup(const std::string& file, int interval);
  void Start();
  void Stop();
  void ClearGroups();
  // True while the timer runs, that is while no patrol is in progress.
  bool Active() const { return active_.load(); }

  // The timer's handler, on the main thread.
  void Tick();
  // Waits for a patrol still running (used at the end of the program).
  void WaitForPatrol();

  const std::vector<Reroad>& entries() const { return entries_; }

  // The result lines of a patrol.
  static std::vector<std::string> ResultLines(const std::optional<std::vector<ChannelCount>>& docs);

 private:
  struct Run;
  void PatrolDone(const std::shared_ptr<Run>& run);

  Shell& shell_;
  TForm5& popup_;
  Refresh refresh_;
  std::chrono::milliseconds tick_;
  std::vector<Reroad> entries_;
  std::atomic<bool> active_{false};
  Shell::TimerId timer_ = 0;
  std::shared_ptr<Run> running_;                // the patrol in progress, if any
  std::shared_ptr<TReroad*> self_;              // lets a finished patrol find us, or not
};

}  // namespace norvane
