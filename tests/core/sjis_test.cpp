#include "core/sjis.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace norvane {
namespace {

std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

// Code points from the CP932 table itself.
TEST(Utf8ToSjis, Cp932Codes) {
  EXPECT_EQ(Utf8ToSjis(U8(u8"ソ表ポ")), "\x83\x5C\x95\x5C\x83\x7C");
  EXPECT_EQ(Utf8ToSjis(U8(u8"日本")), "\x93\xFA\x96\x7B");
  EXPECT_EQ(Utf8ToSjis(U8(u8"ｱ")), "\xB1");
  // The Windows forms: NEC specials, fullwidth tilde and minus, the parallel sign.
  EXPECT_EQ(Utf8ToSjis(U8(u8"①Ⅰ")), "\x87\x40\x87\x54");
  EXPECT_EQ(Utf8ToSjis(U8(u8"～－∥￢")), "\x81\x60\x81\x7C\x81\x61\x81\xCA");
  EXPECT_EQ(Utf8ToSjis(U8(u8"ⅰ")), "\xFA\x40");
  EXPECT_EQ(Utf8ToSjis("plain \\ and ~"), "plain \\ and ~");
}

TEST(Utf8ToSjis, WhatCp932LacksOrIsBroken) {
  EXPECT_EQ(Utf8ToSjis(U8(u8"é日😀")), "?\x93\xFA?");
  EXPECT_EQ(Utf8ToSjis("a\x80" "b\xFF" "c"), "abc");  // stray bytes vanish
}

TEST(SjisToUtf8, RoundTripsAndKeepsBrokenBytes) {
  const std::string text = U8(u8"日本語のテキスト、ｶﾀｶﾅ、①Ⅰⅰ～－∥￢、ソ表ポ \\~");
  EXPECT_EQ(SjisToUtf8(Utf8ToSjis(text)), text);
  EXPECT_EQ(SjisToUtf8("a\x83"), "a\x83");            // a lead at the end
  EXPECT_EQ(SjisToUtf8("\x83 x"), "\x83 x");          // a lead without a trail
  EXPECT_EQ(SjisToUtf8("\xFD\x80" "b"), "\xFD\x80" "b");  // bytes CP932 does not use
  EXPECT_EQ(SjisToUtf8(""), "");
}

TEST(IsSjisLead, RangeEdges) {
  for (int b : {0x81, 0x9F, 0xE0, 0xFC}) EXPECT_TRUE(IsSjisLead(static_cast<unsigned char>(b))) << b;
  for (int b : {0x00, 0x40, 0x80, 0xA0, 0xA1, 0xDF, 0xFD, 0xFF})
    EXPECT_FALSE(IsSjisLead(static_cast<unsigned char>(b))) << b;
}

TEST(Utf8ToSjis, ConcurrentCallsEachUseTheirOwnCodec) {
  const std::string text = U8(u8"日本語のテキスト①");
  const std::string sjis = Utf8ToSjis(text);
  std::vector<int> wrong(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int k = 0; k < 500; ++k)
        if (Utf8ToSjis(text) != sjis || SjisToUtf8(sjis) != text) ++wrong[t];
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace norvane
