#pragma once
#include <string>
#include <string_view>

namespace norvane {

// A feed's date as ISO 8601, for a page's <time datetime>: an ISO 8601 date (dc:date) as
// it stands when it is a date or a date with a time; an RFC 822 date (pubDate, and the
// program's own HTTP dates) converted, with its zone (GMT, UT, Z, +hhmm, JST and the US
// zones). Empty for anything else, which a page then shows as it came. White space is
// normalised first.
std::string IsoDate(std::string_view text);

}  // namespace norvane
