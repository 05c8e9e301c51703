// The keyword dialect: the first line is a pattern (parsed, expanded, compiled), the
// rest a text to match. A pattern either is refused with the parser's error or matches.
#include <cstdint>
#include <string_view>

#include "pattern/regexp_error.h"
#include "pattern/rserch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t nl = input.find('\n');
  std::string_view pattern = input.substr(0, nl);
  std::string_view text = nl == std::string_view::npos ? std::string_view() : input.substr(nl + 1);
  norvane::TRSerch matcher;
  try {
    matcher.SetRegExp(pattern);
    matcher.IsMatch(text);
  } catch (const norvane::ERegExpParser&) {
  }
  try {
    matcher.SetKeyword(pattern);
    matcher.IsMatch(text);
  } catch (const norvane::ERegExpParser&) {
  }
  return 0;
}
