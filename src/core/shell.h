#pragma once
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace norvane {

// What the core needs from the desktop: the one interface between them. The desktop
// build implements it with its windows and tray; a run without a desktop writes to
// standard error.
class Shell {
 public:
  using TimerId = int;
  virtual ~Shell() = default;

  // Shows an error (Shift_JIS text) and ends the program.
  virtual void ShowErrorAndEnd(const std::string& message) = 0;
  // Sets the tray icon's image (an index into the tray's image list).
  virtual void SetTrayImage(int index) = 0;
  // Shows the lines of a patrol result (Shift_JIS).
  virtual void ShowResult(const std::vector<std::string>& lines) = 0;
  // Runs task on the main thread.
  virtual void Post(std::function<void()> task) = 0;
  // A repeating timer on the main thread.
  virtual TimerId StartTimer(std::chrono::milliseconds period, std::function<void()> fn) = 0;
  virtual void StopTimer(TimerId id) = 0;
};

}  // namespace norvane
