#pragma once
#include <string_view>

namespace norvane {

// Trace points kept at the program's fixed places. They record nothing unless the
// environment variable NORVANE_TRACE is "1" when the program starts: then each writes one
// line to standard error (UTF-8) with the time, the thread and the place, so failures
// the program otherwise swallows (a merge, a reload, a worker) leave a trace.
void WriteLog(std::string_view message, int level) noexcept;
void WriteErrorLog(std::string_view place, std::string_view errorClass,
                   std::string_view message) noexcept;

}  // namespace norvane
