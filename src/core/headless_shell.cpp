#include "core/headless_shell.h"

#include <cstdio>
#include <mutex>

#include "core/sjis.h"

namespace norvane {

namespace {
std::mutex& ConsoleMutex() {
  static std::mutex m;
  return m;
}
}  // namespace

void ConsoleLine(const std::string& sjisLine) {
  std::string utf8 = SjisToUtf8(sjisLine);
  std::lock_guard lock(ConsoleMutex());
  std::fprintf(stderr, "%s\n", utf8.c_str());
  std::fflush(stderr);
}

void HeadlessShell::ShowErrorAndEnd(const std::string& message) {
  ConsoleLine("norvane: " + message);
  loop_.Quit(1);
}

void HeadlessShell::ShowResult(const std::vector<std::string>& lines) {
  for (const auto& l : lines) ConsoleLine(l);
}

}  // namespace norvane
