#include "core/plain_text.h"

#include <charconv>

namespace norvane {

std::string TrimXmlSpace(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n";
  const size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(kSpace) - first + 1));
}

std::optional<int> ReadWholeInteger(std::string_view text) {
  int value = 0;
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  auto [p, ec] = std::from_chars(first, last, value);
  if (first == last || ec != std::errc() || p != last) return std::nullopt;
  return value;
}

}  // namespace norvane
