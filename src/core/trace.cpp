#include "core/trace.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>

#include "core/sjis.h"

namespace norvane {

namespace {

constexpr std::array<std::pair<std::string_view, TraceArea>, 9> kAreaNames{{
    {"fetch", TraceArea::Fetch},
    {"merge", TraceArea::Merge},
    {"router", TraceArea::Router},
    {"script", TraceArea::Script},
    {"patrol", TraceArea::Patrol},
    {"style", TraceArea::Style},
    {"group", TraceArea::Group},
    {"scrap", TraceArea::Scrap},
    {"find", TraceArea::Find},
}};

std::string_view NameOf(TraceArea area) {
  for (const auto& [name, a] : kAreaNames)
    if (a == area) return name;
  return "?";
}

unsigned EnabledAreas() {
  static const unsigned areas = [] {
    const char* v = std::getenv("NORVANE_TRACE");
    if (!v) return 0u;
    std::string unknown;
    const unsigned parsed = ParseTraceAreas(v, &unknown);
    if (!unknown.empty())
      std::fprintf(stderr, "norvane: NORVANE_TRACE: unknown area %s\n", unknown.c_str());
    return parsed;
  }();
  return areas;
}

bool Enabled(TraceArea area) { return (EnabledAreas() & static_cast<unsigned>(area)) != 0; }

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

std::string_view BaseName(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// One line: the message and kind are program text (Shift_JIS) whose line breaks become
// spaces.
void WriteLine(TraceArea area, const TracePlace& where, std::string_view what,
               std::string_view message) {
  std::string line = "norvane trace " + Now() + " thread " +
                     std::to_string(static_cast<long>(syscall(SYS_gettid))) + " " +
                     std::string(NameOf(area)) + " " + ShortFunctionName(where.function_name()) +
                     " (" + std::string(BaseName(where.file_name())) + ":" +
                     std::to_string(where.line()) + ")";
  if (!what.empty()) line += " " + SjisToUtf8(what);
  line += ": " + SjisToUtf8(message);
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  line += '\n';
  // One write: lines of several threads never mix.
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace

unsigned ParseTraceAreas(std::string_view value, std::string* unknown) {
  unsigned areas = 0;
  while (!value.empty()) {
    const size_t comma = value.find(',');
    std::string_view word = value.substr(0, comma);
    value = comma == std::string_view::npos ? std::string_view{} : value.substr(comma + 1);
    while (!word.empty() && word.front() == ' ') word.remove_prefix(1);
    while (!word.empty() && word.back() == ' ') word.remove_suffix(1);
    if (word.empty()) continue;
    if (word == "1" || word == "all") {
      areas = ~0u;
      continue;
    }
    bool known = false;
    for (const auto& [name, area] : kAreaNames)
      if (word == name) {
        areas |= static_cast<unsigned>(area);
        known = true;
      }
    if (!known && unknown) {
      if (!unknown->empty()) *unknown += ',';
      *unknown += word;
    }
  }
  return areas;
}

std::string ShortFunctionName(std::string_view full) {
  // Cut the parameter list (the first '(' that is not part of "(anonymous namespace)"), then
  // the return type, then the program's own namespace.
  size_t open = 0;
  while ((open = full.find('(', open)) != std::string_view::npos &&
         full.substr(open).starts_with("(anonymous namespace)"))
    open += 1;
  std::string_view name = full.substr(0, open);
  // The return type ends at the last space outside template brackets.
  int depth = 0;
  size_t start = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '<') ++depth;
    if (name[i] == '>' && depth > 0) --depth;
    if (name[i] == ' ' && depth == 0 && !name.substr(0, i).ends_with("(anonymous")) start = i + 1;
  }
  name = name.substr(start);
  for (std::string_view prefix : {"norvane::", "{anonymous}::", "(anonymous namespace)::"})
    while (name.starts_with(prefix)) name.remove_prefix(prefix.size());
  return name.empty() ? std::string(full) : std::string(name);
}

void WriteLog(TraceArea area, std::string_view message, int level,
              TracePlace where) noexcept {
  if (!Enabled(area)) return;
  try {
    WriteLine(area, where, "level " + std::to_string(level), message);
  } catch (...) {
    // A trace never fails the work it watches.
  }
}

void WriteErrorLog(TraceArea area, std::string_view errorClass, std::string_view message,
                   TracePlace where) noexcept {
  if (!Enabled(area)) return;
  try {
    WriteLine(area, where, errorClass, message);
  } catch (...) {
    // A trace never fails the work it watches.
  }
}

}  // namespace norvane
