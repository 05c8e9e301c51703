#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace norvane {

// SipHash-2-4: a hash whose values nobody can foresee without its key, so that text from
// outside cannot be made to collide on purpose.
struct SipKey {
  uint64_t k0 = 0, k1 = 0;
};
uint64_t SipHash64(const SipKey& key, std::string_view bytes);
// The 128-bit variant, as 16 bytes (the first half is the first output word, little-endian).
std::string SipHash128(const SipKey& key, std::string_view bytes);

// SipHash128 under a key drawn at random once per process: a short stand-in for long
// text as the key of an in-memory table.
std::string ProcessDigest(std::string_view bytes);

}  // namespace norvane
