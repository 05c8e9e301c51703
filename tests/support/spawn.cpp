#include "support/spawn.h"

#include <fcntl.h>
#include <spawn.h>

extern char** environ;

namespace norvane::test {

std::vector<std::string> OwnEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.push_back(*e);
  return env;
}

pid_t SpawnProcess(std::vector<std::string> argv, std::vector<std::string> env, const SpawnFiles& files) {
  if (argv.empty()) return -1;
  if (env.empty()) env = OwnEnvironment();
  std::vector<char*> cargv, cenv;
  for (auto& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  for (auto& e : env) cenv.push_back(e.data());
  cenv.push_back(nullptr);
  const int mode = O_WRONLY | O_CREAT | (files.append ? O_APPEND : O_TRUNC);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 1, files.out.c_str(), mode, 0644);
  posix_spawn_file_actions_addopen(&fa, 2, files.err.c_str(), mode, 0644);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, cargv[0], &fa, nullptr, cargv.data(), cenv.data());
  posix_spawn_file_actions_destroy(&fa);
  return rc == 0 ? pid : -1;
}

}  // namespace norvane::test
