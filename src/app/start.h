#pragma once
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "core/shell.h"
#include "core/single_instance.h"

namespace norvane {

class TDataM;

struct StartOptions {
  bool headless = false;
  std::string home;                     // empty: chosen as ChooseHome (app/home_choice.h) says
  std::optional<std::string> argument;  // a feed URL to add
};

// The start both runs share, up to the single-instance check: GateLock, the local
// address, the program folder made current, the folders it writes into (channels, opmls,
// scrap), the settings. On success the
// returned lock is held and this copy goes on; otherwise the process ends with the
// status given in endStatus (a second copy has handed its argument on, or the folder
// could not be used). No thread may exist before this runs.
std::unique_ptr<InstanceLock> StartProcess(const StartOptions& options, int& endStatus);

// "http://localhost:<port>/".
std::string HomeURL(int port);
// A feed URL given on the command line opens the add page for it.
void ForwardArgument(int port, const std::optional<std::string>& argument);

// The patrol period: ten minutes, or NORVANE_PATROL_TICK_MS (read once at start), so
// the schedule can be watched in seconds.
std::chrono::milliseconds PatrolTick();

// The running program's saves on timers: the changed scrapbooks every minute and a
// changed channel list within seconds, so an unclean end loses little.
class SaveTimers {
 public:
  SaveTimers(Shell& shell, TDataM& module);
  ~SaveTimers() { Stop(); }
  SaveTimers(const SaveTimers&) = delete;
  SaveTimers& operator=(const SaveTimers&) = delete;
  void Stop();

 private:
  Shell& shell_;
  Shell::TimerId books_ = 0;
  Shell::TimerId channels_ = 0;
};

// The orderly end has this long to finish once outstanding work was cancelled; what the
// program keeps is saved before the wait that could outlast it.
inline constexpr auto kEndBound = std::chrono::seconds(20);

// Ends the process if the orderly end hangs past its bound, so a request to end always
// ends the program.
class EndWatchdog {
 public:
  explicit EndWatchdog(std::chrono::seconds bound);
  ~EndWatchdog();
  EndWatchdog(const EndWatchdog&) = delete;
  EndWatchdog& operator=(const EndWatchdog&) = delete;

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool done_ = false;
  std::jthread thread_;  // last: joined before the rest goes
};

}  // namespace norvane
