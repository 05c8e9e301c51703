#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace norvane {

// A header value fit to be sent or stored: every control character (CR, LF, TAB, NUL,
// DEL and the rest) is dropped. A bare CR kept in a stored date would start a new header
// line when the date is sent back.
std::string CleanHeaderValue(std::string_view value);

// The longest validator (Last-Modified, ETag) the program keeps and sends back.
inline constexpr size_t kMaxValidatorBytes = 1024;

// A Last-Modified as received, to be stored and sent back: cleaned as above, and none
// (empty) when it is longer than kMaxValidatorBytes.
std::string CleanValidator(std::string_view value);

// An ETag the same way, and also none when it holds a byte outside printable ASCII: the
// channel list keeps text, and a tag that cannot come back byte for byte never matches.
std::string CleanEntityTag(std::string_view value);

}  // namespace norvane
