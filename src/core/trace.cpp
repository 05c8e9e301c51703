#include "core/trace.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "core/sjis.h"

namespace norvane {

namespace {

bool TraceEnabled() {
  static const bool on = [] {
    const char* v = std::getenv("NORVANE_TRACE");
    return v && std::strcmp(v, "1") == 0;
  }();
  return on;
}

// "2025-04-01T10:00:00.123Z", UTC.
std::string Now() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto sinceEpoch = duration_cast<milliseconds>(now.time_since_epoch()).count();
  const long millis = static_cast<long>(sinceEpoch % 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[96];  // room for any int the compiler can imagine
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
  return text;
}

// One line: the parts are program text (Shift_JIS) whose line breaks become spaces.
void WriteLine(std::string_view place, std::string_view what, std::string_view message) {
  std::string line = "norvane trace " + Now() + " thread " +
                     std::to_string(static_cast<long>(syscall(SYS_gettid))) + " " +
                     SjisToUtf8(place);
  if (!what.empty()) line += " " + SjisToUtf8(what);
  line += ": " + SjisToUtf8(message);
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  line += '\n';
  // One write: lines of several threads never mix.
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace

void WriteLog(std::string_view message, int level) noexcept {
  if (!TraceEnabled()) return;
  try {
    WriteLine("log", "level " + std::to_string(level), message);
  } catch (...) {
    // A trace never fails the work it watches.
  }
}

void WriteErrorLog(std::string_view place, std::string_view errorClass,
                   std::string_view message) noexcept {
  if (!TraceEnabled()) return;
  try {
    WriteLine(place, errorClass, message);
  } catch (...) {
    // A trace never fails the work it watches.
  }
}

}  // namespace norvane
