#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/sjis.h"

namespace norvane::pattern {

// One character of the matcher is one Shift_JIS unit: a single byte, or a lead byte
// with whatever byte follows it, taken as one code (lead * 256 + trail). A lead byte
// with nothing after it stands alone with its own value.
inline size_t SjisCharLength(std::string_view s, size_t i) {
  return IsSjisLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

inline uint32_t SjisCharCode(std::string_view s, size_t i, size_t length) {
  uint32_t code = static_cast<unsigned char>(s[i]);
  if (length == 2) code = code << 8 | static_cast<unsigned char>(s[i + 1]);
  return code;
}

// The text as one code unit per character, into out (replacing its content).
void DecodeSjis(std::string_view text, std::vector<uint32_t>& out);

// The same for a short piece, returned.
std::vector<uint32_t> DecodeSjis(std::string_view text);

}  // namespace norvane::pattern
