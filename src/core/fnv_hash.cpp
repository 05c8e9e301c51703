#include "core/fnv_hash.h"

namespace norvane {

uint64_t Fnv1a64(std::string_view bytes) {
  uint64_t h = 0xcbf29ce484222325ULL;
  for (char c : bytes) {
    h ^= static_cast<unsigned char>(c);
    h *= 0x100000001b3ULL;
  }
  return h;
}

std::string Fnv1a64Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  uint64_t h = Fnv1a64(bytes);
  std::string out(16, '0');
  for (size_t i = 16; i-- > 0; h >>= 4) out[i] = kDigits[h & 0xF];
  return out;
}

}  // namespace norvane
