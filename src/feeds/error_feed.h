#pragma once
#include <string>

namespace norvane {

// The fixed RSS 1.0 document answered when there is no real feed to show: one line,
// titled with the error title, the message (Shift_JIS) in a CDATA description.
std::string ErrorFeed(const std::string& message);

}  // namespace norvane
