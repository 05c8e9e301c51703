#pragma once
#include <string_view>

namespace norvane {

// Trace points kept at the program's fixed places. They record nothing: the only log
// a user sees is the access log.
inline void WriteLog(std::string_view /*message*/, int /*level*/) noexcept {}
inline void WriteErrorLog(std::string_view /*place*/, std::string_view /*errorClass*/,
                          std::string_view /*message*/) noexcept {}

}  // namespace norvane
