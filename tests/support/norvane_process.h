#pragma once
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "support/held_port.h"
#include "support/http_fetch.h"
#include "support/temp_dir.h"

namespace norvane::test {

// The real norvane binary, started headless with --home in a temporary program folder
// on a free port. The browser is a recorder that appends every URL it is given to
// browser.log in the home, so tests can see what would have been opened.
class NorvaneProcess {
 public:
  // Makes the home: a copy of the shipped data folder (or an empty one) and norvane.ini
  // with PORT and the given extra keys.
  explicit NorvaneProcess(bool copyData = true,
                          const std::map<std::string, std::string>& ini = {});
  ~NorvaneProcess();
  NorvaneProcess(const NorvaneProcess&) = delete;
  NorvaneProcess& operator=(const NorvaneProcess&) = delete;

  // Starts the binary and waits until it listens (unless expectListen is false).
  // Returns false when it did not come up.
  bool Start(const std::vector<std::string>& args = {},
             const std::map<std::string, std::string>& env = {}, bool expectListen = true);
  // Sends sig and waits for the process; returns its exit status (or -1).
  int Stop(int sig = 15);
  // Waits for the process to end by itself (bounded); returns its exit status or -1.
  int Wait(int timeoutMs = 15000);
  // Runs another copy on the same home to its end; returns its exit status.
  int RunSecondCopy(const std::vector<std::string>& args, std::string* stderrText = nullptr);

  FetchResult Get(const std::string& target, const FetchOptions& options = {}) const;
  std::string Url(const std::string& target) const;
  std::vector<std::string> BrowserLog() const;
  // Waits (bounded) until the browser was given at least n URLs; returns the log.
  std::vector<std::string> WaitForBrowserLog(size_t n, int timeoutMs = 10000) const;
  std::string StderrText() const;
  std::string StdoutText() const;  // of every copy started on this home

  // Later starts leave out --headless: the desktop, when the environment names a
  // display.
  void UseDesktop() { headless_ = false; }

  TempDir& home() { return home_; }
  int port() const { return port_.port(); }
  pid_t pid() const { return pid_; }

 private:
  pid_t Spawn(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
              const std::string& stderrFile);

  TempDir home_;
  HeldPort port_;
  pid_t pid_ = -1;
  bool headless_ = true;
};

}  // namespace norvane::test
