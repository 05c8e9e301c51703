#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace norvane {

// Comma text: items separated by commas; a double-quoted item may hold commas and
// spaces, "" inside it stands for one quote; an unquoted item ends at a comma or at any
// byte from 1 to 32; a comma at the very end adds an empty item.
std::vector<std::string> ParseCommaText(std::string_view text);

// Writes items so that ParseCommaText gives them back: an item is quoted when it is
// empty or holds a comma, a quote or a byte from 1 to 32.
std::string WriteCommaText(const std::vector<std::string>& items);

}  // namespace norvane
