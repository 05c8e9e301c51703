#pragma once
#include <string>
#include <string_view>

namespace norvane {

// Text for an HTML element or a quoted attribute: & < > " ' become character references.
// Safe on Shift_JIS bytes, whose trail bytes never take these values.
std::string EscapeHtml(std::string_view text);

}  // namespace norvane
