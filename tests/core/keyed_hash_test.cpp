// SipHash-2-4-128 against the published vectors (key 00..0f, message 00..len-1), and the
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
    const char* digest;
  } cases[] = {
      {0, "a3817f04ba25a8e66df67214c7550293"},  {1, "da87c1d86b99af44347659119b22fc45"},
      {7, "a1f1ebbed8dbc153c0b84aa61ff08239"},  {8, "3b62a9ba6258f5610f83e264f31497b4"},
      {15, "5493e99933b0a8117e08ec0f97cfc3d9"}, {16, "6ee2a4ca67b054bbfd3315bf85230577"},
  };
  for (const auto& c : cases) EXPECT_EQ(Hex(SipHash128(kReferenceKey, Message(c.length))), c.digest) << c.length;
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
