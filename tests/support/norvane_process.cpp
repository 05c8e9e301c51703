#include "support/norvane_process.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/spawn.h"

namespace norvane::test {

NorvaneProcess::NorvaneProcess(bool copyData, const std::map<std::string, std::string>& ini) {
  if (copyData) CopyTree(NORVANE_DATA_DIR, home_.path());
  std::string text = "[Norvane]\r\nPORT=" + std::to_string(port_.port()) + "\r\n";
  for (const auto& [k, v] : ini) text += k + "=" + v + "\r\n";
  home_.Write("norvane.ini", text);
  std::string recorder = home_.Write(
      "record-browser.sh", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$(dirname \"$0\")/browser.log\"\n");
  chmod(recorder.c_str(), 0755);
}

NorvaneProcess::~NorvaneProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

pid_t NorvaneProcess::Spawn(const std::vector<std::string>& args,
                            const std::map<std::string, std::string>& env,
                            const std::string& stderrFile) {
  std::vector<std::string> argv{NORVANE_BINARY, "--home", home_.path()};
  if (headless_) argv.insert(argv.begin() + 1, "--headless");
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> envs;
  for (const std::string& s : OwnEnvironment()) {
    std::string name = s.substr(0, s.find('='));
    if (name == "NORVANE_BROWSER" || name == "NORVANE_WEB_USER" || name == "NORVANE_WEB_PASSWORD" ||
        env.count(name))
      continue;
    envs.push_back(s);
  }
  envs.push_back("NORVANE_BROWSER=" + home_.path() + "/record-browser.sh");
  for (const auto& [k, v] : env) envs.push_back(k + "=" + v);
  return SpawnProcess(std::move(argv), std::move(envs), {home_.path() + "/stdout.log", stderrFile, true});
}

bool NorvaneProcess::Start(const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env, bool expectListen) {
  pid_ = Spawn(args, env, home_.path() + "/stderr.log");
  if (pid_ <= 0) return false;
  if (!expectListen) return true;
  // Ready once it listens, unless it ended first.
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < end) {
    if (WaitForPort(port_.port(), 100)) return true;
    int st;
    if (waitpid(pid_, &st, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
  }
  return false;
}

int NorvaneProcess::Wait(int timeoutMs) {
  if (pid_ <= 0) return -1;
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    int st = 0;
    pid_t r = waitpid(pid_, &st, WNOHANG);
    if (r == pid_) {
      pid_ = -1;
      return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return -1;
}

int NorvaneProcess::Stop(int sig) {
  if (pid_ <= 0) return -1;
  kill(pid_, sig);
  return Wait(30000);
}

int NorvaneProcess::RunSecondCopy(const std::vector<std::string>& args, std::string* stderrText) {
  std::string errFile = home_.path() + "/stderr-second.log";
  pid_t pid = Spawn(args, {}, errFile);
  if (pid <= 0) return -1;
  int st = 0;
  waitpid(pid, &st, 0);
  if (stderrText) *stderrText = home_.Read("stderr-second.log");
  return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
}

std::string NorvaneProcess::Url(const std::string& target) const {
  return "http://127.0.0.1:" + std::to_string(port_.port()) + target;
}

FetchResult NorvaneProcess::Get(const std::string& target, const FetchOptions& options) const {
  return Fetch(Url(target), options);
}

std::vector<std::string> NorvaneProcess::BrowserLog() const {
  std::vector<std::string> lines;
  std::ifstream in(home_.path() + "/browser.log");
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

std::vector<std::string> NorvaneProcess::WaitForBrowserLog(size_t n, int timeoutMs) const {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  auto log = BrowserLog();
  while (log.size() < n && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    log = BrowserLog();
  }
  return log;
}

std::string NorvaneProcess::StderrText() const { return home_.Read("stderr.log"); }
std::string NorvaneProcess::StdoutText() const { return home_.Read("stdout.log"); }

}  // namespace norvane::test
