#pragma once
#include <functional>
#include <string>
#include <vector>

namespace norvane {

class TDataM;
class TForm5;

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
  // The group organizer, when the build has one. OpenOrganizer returns once it has
  // closed; it does nothing while one is open or the program is not idle.
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

  // Shows the organizer over the module, modally, and returns when it has closed.
  using OrganizerWindow = std::function<void(TDataM&)>;
  // Gives the host its organizer; the patrol is restarted with popup after it closes.
  void SetOrganizer(TForm5& popup, OrganizerWindow window);
  bool HasOrganizer() const override { return static_cast<bool>(organizer_); }
  // The patrol is stopped (a run in progress is waited for) while the organizer is
  // open, and started again from the saved catalogue after it, also when it throws.
  void OpenOrganizer() override;
  bool OrganizerOpen() const { return organizerOpen_; }

 private:
  TDataM& module_;
  TForm5* popup_ = nullptr;
  OrganizerWindow organizer_;
  bool organizerOpen_ = false;
  std::function<void()> quit_;
  std::function<bool()> ending_;
};

}  // namespace norvane
