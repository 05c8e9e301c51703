#include "core/keyed_hash.h"

#include <random>

namespace norvane {

namespace {

inline uint64_t Rotl(uint64_t x, int b) { return x << b | x >> (64 - b); }

struct SipState {
  uint64_t v0, v1, v2, v3;

  // The 128-bit variant's start.
  explicit SipState(const SipKey& key)
      : v0(key.k0 ^ 0x736f6d6570736575ULL),
        v1(key.k1 ^ 0x646f72616e646f6dULL ^ 0xee),
        v2(key.k0 ^ 0x6c7967656e657261ULL),
        v3(key.k1 ^ 0x7465646279746573ULL) {}
  void Round() {
    v0 += v1;
    v1 = Rotl(v1, 13);
    v1 ^= v0;
    v0 = Rotl(v0, 32);
    v2 += v3;
    v3 = Rotl(v3, 16);
    v3 ^= v2;
    v0 += v3;
    v3 = Rotl(v3, 21);
    v3 ^= v0;
    v2 += v1;
    v1 = Rotl(v1, 17);
    v1 ^= v2;
    v2 = Rotl(v2, 32);
  }
  void Absorb(uint64_t m) {
    v3 ^= m;
    Round();
    Round();
    v0 ^= m;
  }
  void AbsorbAll(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t whole = bytes.size() / 8 * 8;
    for (size_t i = 0; i < whole; i += 8) {
      uint64_t m = 0;
      for (int j = 7; j >= 0; --j) m = m << 8 | p[i + static_cast<size_t>(j)];
      Absorb(m);
    }
    uint64_t last = static_cast<uint64_t>(bytes.size() & 0xFF) << 56;
    for (size_t j = bytes.size() - whole; j > 0; --j) last |= static_cast<uint64_t>(p[whole + j - 1]) << (8 * (j - 1));
    Absorb(last);
  }
  // One output word: the mark into the state, four rounds.
  uint64_t Squeeze(uint64_t& lane, uint64_t mark) {
    lane ^= mark;
    for (int i = 0; i < 4; ++i) Round();
    return v0 ^ v1 ^ v2 ^ v3;
  }
};

void AppendLittleEndian(std::string& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
}

SipKey RandomKey() {
  std::random_device device;
  SipKey key;
  key.k0 = static_cast<uint64_t>(device()) << 32 | device();
  key.k1 = static_cast<uint64_t>(device()) << 32 | device();
  return key;
}

}  // namespace

std::string SipHash128(const SipKey& key, std::string_view bytes) {
  SipState s(key);
  s.AbsorbAll(bytes);
  std::string out;
  AppendLittleEndian(out, s.Squeeze(s.v2, 0xee));
  AppendLittleEndian(out, s.Squeeze(s.v1, 0xdd));
  return out;
}

std::string ProcessDigest(std::string_view bytes) {
  static const SipKey key = RandomKey();
  return SipHash128(key, bytes);
}

}  // namespace norvane
