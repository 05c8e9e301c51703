#include "core/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace norvane {
namespace {

// Each ill-formed case is a byte sequence one of the earlier, looser scanners let
// through.
TEST(Utf8, OnlyWellFormedSequencesCount) {
  struct Case {
    std::string text;
    bool wellFormed, nonAscii;
    std::string replaced;
  };
  const std::string fffd = "\xEF\xBF\xBD";
  const Case cases[] = {
      {"", true, false, ""},
      {"plain", true, false, "plain"},
      {"\xC3\xA9", true, true, "\xC3\xA9"},                           // é
      {"\xE3\x81\x82", true, true, "\xE3\x81\x82"},                   // あ
      {"\xF0\x9F\x98\x80", true, true, "\xF0\x9F\x98\x80"},           // U+1F600
      {"\xF4\x8F\xBF\xBF", true, true, "\xF4\x8F\xBF\xBF"},           // U+10FFFF, the last
      {"\xC0\x80", false, false, fffd + fffd},                        // overlong NUL
      {"\xE0\x80\xAF", false, false, fffd + fffd + fffd},             // overlong "/"
      {"\xED\xA0\x80", false, false, fffd + fffd + fffd},             // a surrogate
      {"\xF4\x90\x80\x80", false, false, fffd + fffd + fffd + fffd},  // above U+10FFFF
      {"\xF5\x80\x80\x80", false, false, fffd + fffd + fffd + fffd},  // no such lead
      {"a\xE3\x81", false, false, "a" + fffd + fffd},                 // cut short
      {"\x80z", false, false, fffd + "z"},                            // a stray trail byte
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    bool nonAscii = false;
    EXPECT_EQ(IsWellFormedUtf8(c.text, &nonAscii), c.wellFormed);
    if (c.wellFormed) {
      EXPECT_EQ(nonAscii, c.nonAscii);
    }
    EXPECT_EQ(IsNonAsciiUtf8(c.text), c.wellFormed && c.nonAscii);
    EXPECT_EQ(ReplaceIllFormedUtf8(c.text), c.replaced);
  }
  char32_t cp = 0;
  EXPECT_EQ(Utf8SequenceLength("\xE3\x81\x82rest", &cp), 3u);
  EXPECT_EQ(cp, U'\u3042');
}

}  // namespace
}  // namespace norvane
