#pragma once
#include <string>
#include <vector>

namespace norvane {

// The log tab's text: a copy of the access log's lines (Shift_JIS, the request lines
// as other hosts sent them) in UTF-8, one per line. A control character that arrived in
// a request line shows as "?", so no line can break or restyle the box.
std::string AccessLogText(const std::vector<std::string>& lines);

}  // namespace norvane
