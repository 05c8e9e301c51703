#include "support/installed_copy.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "support/spawn.h"

namespace norvane::test {

std::string FindTool(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t at = 0;
  while (at <= dirs.size()) {
    size_t end = dirs.find(':', at);
    if (end == std::string::npos) end = dirs.size();
    const std::string candidate = dirs.substr(at, end - at) + "/" + name;
    if (end > at && access(candidate.c_str(), X_OK) == 0) return candidate;
    at = end + 1;
  }
  return {};
}

int RunToEnd(const std::vector<std::string>& argv, const std::vector<std::string>& env, std::string* out,
             std::string* err) {
  TempDir files;
  pid_t pid = SpawnProcess(argv, env, {files / "out", files / "err"});
  if (pid <= 0) return -1;
  int st = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  pid_t r = 0;
  while ((r = waitpid(pid, &st, WNOHANG)) == 0 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (r != pid) {
    kill(pid, SIGKILL);
    waitpid(pid, &st, 0);
    return -1;
  }
  if (out) *out = files.Read("out");
  if (err) *err = files.Read("err");
  return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
}

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& without,
                                         const std::map<std::string, std::string>& with) {
  std::vector<std::string> env;
  for (const std::string& s : OwnEnvironment()) {
    const std::string name = s.substr(0, s.find('='));
    bool drop = with.count(name) > 0;
    for (const std::string& w : without) drop = drop || w == name;
    if (!drop) env.push_back(s);
  }
  for (const auto& [k, v] : with) env.push_back(k + "=" + v);
  return env;
}

InstalledCopy::InstalledCopy() {
  std::string err;
  status_ = RunToEnd({"cmake", "--install", NORVANE_BUILD_DIR, "--prefix", prefix_.path()}, {}, &log_, &err);
  log_ += err;
}

}  // namespace norvane::test
