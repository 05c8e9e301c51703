#include "pattern/sjis_scan.h"

namespace norvane::pattern {

void DecodeSjis(std::string_view text, std::vector<uint32_t>& out) {
  out.clear();
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t n = SjisCharLength(text, i);
    out.push_back(SjisCharCode(text, i, n));
    i += n;
  }
}

std::vector<uint32_t> DecodeSjis(std::string_view text) {
  std::vector<uint32_t> out;
  DecodeSjis(text, out);
  return out;
}

}  // namespace norvane::pattern
