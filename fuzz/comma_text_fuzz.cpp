// Comma text: any input parses, and what the program writes parses back to the items.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/comma_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> items = norvane::ParseCommaText(text);
  if (norvane::ParseCommaText(norvane::WriteCommaText(items)) != items) std::abort();
  return 0;
}
