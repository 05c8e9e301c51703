#pragma once
#include <string>
#include <string_view>

namespace norvane {

// A header value fit to be sent or stored: every control character (CR, LF, TAB, NUL,
// DEL and the rest) is dropped. A bare CR kept in a stored date would start a new header
// line when the date is sent back.
std::string CleanHeaderValue(std::string_view value);

}  // namespace norvane
