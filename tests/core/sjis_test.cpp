#include "core/sjis.h"

#include <gtest/gtest.h>

#include "core/utf8.h"
#include "support/u8_text.h"

#include <string>
#include <thread>
#include <vector>

namespace norvane {
namespace {


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

// Only forms that read back as the same character count; iconv's best fits do not.
TEST(SjisFormOf, RefusesBestFitForms) {
  struct Case {
    char32_t cp;
    unsigned form;
  } cases[] = {
      {U'¥', 0},  {U'£', 0},    {U'—', 0},      {U'‖', 0},      {U'−', 0},
      {U'〜', 0}, {U'¦', 0},    {U'¬', 0},      {U'‾', 0},      {U'é', 0},
      {U'😀', 0}, {U'\\', 0x5C}, {U'~', 0x7E},   {U'ｱ', 0xB1},   {U'日', 0x93FA},
      {U'―', 0x815C}, {U'～', 0x8160}, {U'－', 0x817C}, {U'∥', 0x8161}, {U'￡', 0x8192},
      {U'￥', 0x818F}, {U'①', 0x8740}, {U'ⅰ', 0xFA40},
  };
  for (const Case& c : cases) EXPECT_EQ(SjisFormOf(c.cp), c.form) << std::hex << static_cast<unsigned>(c.cp);
  std::string out = "x";
  EXPECT_FALSE(AppendSjisForm(U'¥', out));
  EXPECT_TRUE(AppendSjisForm(U'日', out));
  EXPECT_EQ(out, "x\x93\xFA");
}

// Over the whole plane: every form given reads back as its character.
TEST(SjisFormOf, EveryFormReadsBackAsItsCharacter) {
  size_t forms = 0;
  for (char32_t cp = 0x80; cp < 0x10000; ++cp) {
    std::string bytes;
    if (!AppendSjisForm(cp, bytes)) continue;
    ++forms;
    char32_t back = 0;
    std::string utf8 = SjisToUtf8(bytes);
    ASSERT_EQ(Utf8SequenceLength(utf8, &back), utf8.size()) << std::hex << static_cast<unsigned>(cp);
    EXPECT_EQ(back, cp) << std::hex << static_cast<unsigned>(cp);
  }
  EXPECT_GT(forms, 7000u);  // JIS X 0208, the kana and the Windows rows
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
