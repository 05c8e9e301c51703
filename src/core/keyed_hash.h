#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace norvane {

// SipHash-2-4 with 128 bits of output: a hash whose values nobody can foresee without its
// key, so that text from outside cannot be made to collide on purpose. 16 bytes, the two
// output words little-endian.
struct SipKey {
  uint64_t k0 = 0, k1 = 0;
};
std::string SipHash128(const SipKey& key, std::string_view bytes);

// SipHash128 under a key drawn at random once per process: a short stand-in for long
// text as the key of an in-memory table.
std::string ProcessDigest(std::string_view bytes);

}  // namespace norvane
