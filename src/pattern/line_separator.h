#pragma once

namespace norvane {

// Which character "$" stands before: CR for text with CR LF line ends, LF otherwise.
enum class TLineSeparator { mcls_CRLF, mcls_LF };

}  // namespace norvane
