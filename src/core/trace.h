#pragma once
#include <string>
#include <string_view>
#include <version>

#if defined(__cpp_lib_source_location)
#include <source_location>
namespace norvane {
using TracePlace = std::source_location;
}  // namespace norvane
#else
namespace norvane {
// Where a trace point stands, for a compiler whose library lacks std::source_location
// (clang 14 over libstdc++ 12, the fuzz build): the function's bare name.
struct TracePlace {
  static constexpr TracePlace current(const char* file = __builtin_FILE(), unsigned line = __builtin_LINE(),
                                      const char* function = __builtin_FUNCTION()) noexcept {
    return TracePlace{file, line, function};
  }
  constexpr const char* file_name() const noexcept { return file_; }
  constexpr unsigned line() const noexcept { return line_; }
  constexpr const char* function_name() const noexcept { return function_; }
  const char* file_;
  unsigned line_;
  const char* function_;
};
}  // namespace norvane
#endif

namespace norvane {

// Trace points kept at the program's fixed places. They record nothing unless the
// environment variable NORVANE_TRACE names their area when the program starts ("1" or
// "all" for every area, else a comma list such as "fetch,merge"): then each writes one
// line to standard error (UTF-8) with the time, the thread, the area and the place (taken
// from the call itself, so it cannot drift from the code), so failures the program
// otherwise swallows (a merge, a reload, a worker) leave a trace.
enum class TraceArea : unsigned {
  Fetch = 1u << 0,   // conditional fetches and their outcomes
  Merge = 1u << 1,   // building a channel log: reading, merging, saving
  Router = 1u << 2,  // requests and the page builders
  Script = 1u << 3,  // the script gateway and its programs
  Patrol = 1u << 4,  // group refreshes, fetch workers, the patrol
  Style = 1u << 5,   // stylesheets and transformations
  Group = 1u << 6,   // group catalogue and group files
  Scrap = 1u << 7,   // scrapbooks
  Find = 1u << 8,    // the archive index, searches over it, keeping items
};

void WriteLog(TraceArea area, std::string_view message, int level,
              TracePlace where = TracePlace::current()) noexcept;
void WriteErrorLog(TraceArea area, std::string_view errorClass, std::string_view message,
                   TracePlace where = TracePlace::current()) noexcept;

// Exposed for tests: the areas a NORVANE_TRACE value turns on (a bit set of TraceArea),
// with the names it did not know in `unknown` (comma separated).
unsigned ParseTraceAreas(std::string_view value, std::string* unknown = nullptr);
// "TRSS::Excute" from a compiler's full function name ("std::string norvane::TRSS::Excute()").
std::string ShortFunctionName(std::string_view full);

}  // namespace norvane
