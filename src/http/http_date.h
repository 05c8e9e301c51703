#pragma once
#include <ctime>
#include <optional>
#include <string_view>

namespace norvane {

// The time an HTTP date names, in any of the three forms HTTP allows
// ("Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
// "Sun Nov  6 08:49:37 1994"), read leniently as servers write them: the weekday may be
// missing or wrong, the zone may be GMT, UTC, UT, Z or +hhmm/-hhmm (none is GMT), a
// two-digit year is of this century unless that is more than 50 years ahead. None when
// the text is no such date.
std::optional<std::time_t> ParseHttpDate(std::string_view text);

}  // namespace norvane
