#include "core/header_value.h"

namespace norvane {

std::string CleanHeaderValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) continue;
    out.push_back(c);
  }
  return out;
}

std::string CleanValidator(std::string_view value) {
  std::string out = CleanHeaderValue(value);
  if (out.size() > kMaxValidatorBytes) out.clear();
  return out;
}

std::string CleanEntityTag(std::string_view value) {
  std::string out = CleanValidator(value);
  for (char c : out)
    if (static_cast<unsigned char>(c) > 0x7E) return {};
  return out;
}

}  // namespace norvane
