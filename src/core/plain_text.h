#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace norvane {

// Small readings of plain text fields, kept here once for every layer.

// The text without the white space XML counts (space, tab, CR, LF) at either end.
std::string TrimXmlSpace(std::string_view text);

// A whole decimal integer with an optional '+', nothing else around it; nullopt for
// anything else, an empty text, or a value an int cannot hold.
std::optional<int> ReadWholeInteger(std::string_view text);

}  // namespace norvane
