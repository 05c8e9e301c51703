// SipHash-2-4 against the published vectors (key 00..0f, message 00..len-1), and the
// process digest as a table key.
#include <gtest/gtest.h>

#include <string>

#include "core/keyed_hash.h"

namespace norvane {
namespace {

const SipKey kReferenceKey{0x0706050403020100ULL, 0x0f0e0d0c0b0a0908ULL};

std::string Message(size_t length) {
  std::string m;
  for (size_t i = 0; i < length; ++i) m.push_back(static_cast<char>(i));
  return m;
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
  }
  return out;
}

TEST(SipHash, PublishedVectors) {
  const struct {
    size_t length;
    uint64_t sip64;
    const char* sip128;
  } cases[] = {
      {0, 0x726fdb47dd0e0e31ULL, "a3817f04ba25a8e66df67214c7550293"},
      {1, 0x74f839c593dc67fdULL, "da87c1d86b99af44347659119b22fc45"},
      {2, 0x0d6c8009d9a94f5aULL, nullptr},
      {15, 0xa129ca6149be45e5ULL, nullptr},  // the example of the paper
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    EXPECT_EQ(SipHash64(kReferenceKey, Message(c.length)), c.sip64);
    if (c.sip128) {
      EXPECT_EQ(Hex(SipHash128(kReferenceKey, Message(c.length))), c.sip128);
    }
  }
}

TEST(ProcessDigest, SixteenBytesThatTellTextsApart) {
  const std::string a = ProcessDigest("item one"), b = ProcessDigest("item one "), empty = ProcessDigest("");
  EXPECT_EQ(a.size(), 16u);
  EXPECT_EQ(ProcessDigest("item one"), a) << "the same text, the same digest within a run";
  EXPECT_NE(a, b);
  EXPECT_NE(a, empty);
  EXPECT_NE(Hex(a), Hex(SipHash128(kReferenceKey, "item one"))) << "the key is the process's own";
}

}  // namespace
}  // namespace norvane
