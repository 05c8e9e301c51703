#pragma once
#include <functional>
#include <string>
#include <vector>

namespace norvane {

class TDataM;

// What the main window asks of the running program. The window itself is a thin
// layer; this is where its commands reach the data module and the shell.
class MainFormHost {
 public:
  virtual ~MainFormHost() = default;
  // No group refresh runs, and the patrol exists and is not running.
  virtual bool IsIdle() const = 0;
  // Listens again on the current PORT; throws when it cannot.
  virtual void RestartServer() = 0;
  // A copy of the access log, taken under GateLock.
  virtual std::vector<std::string> AccessLogLines() const = 0;
  virtual void OpenUrl(const std::string& url) = 0;
  // Ends the program in order (the caller checked IsIdle).
  virtual void EndProgram() = 0;
  // True once the program has begun to end.
  virtual bool Ending() const = 0;
  // The group organizer, when the build has one.
  virtual bool HasOrganizer() const { return false; }
  virtual void OpenOrganizer() {}
};

// The host of the running program: the data module, and the desktop's way to end.
class DataModuleHost : public MainFormHost {
 public:
  DataModuleHost(TDataM& module, std::function<void()> quit, std::function<bool()> ending);
  bool IsIdle() const override;
  void RestartServer() override;
  std::vector<std::string> AccessLogLines() const override;
  void OpenUrl(const std::string& url) override;
  void EndProgram() override;
  bool Ending() const override;

 private:
  TDataM& module_;
  std::function<void()> quit_;
  std::function<bool()> ending_;
};

}  // namespace norvane
