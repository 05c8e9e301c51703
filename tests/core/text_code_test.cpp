#include "core/text_code.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/iconv_codec.h"
#include "support/u8_text.h"

namespace norvane {
namespace {


// Expected bytes come from the system's converters, never from the code under test.
std::string Iconv(const char* to, const char* from, std::string_view in) {
  IconvCodec codec(to, from);
  EXPECT_TRUE(codec.ok()) << from << " -> " << to;
  bool failed = false;
  std::string out = codec.Convert(in, [&](std::string_view, std::string&) -> size_t {
    failed = true;
    return 1;
  });
  EXPECT_FALSE(failed) << "the test text does not convert from " << from << " to " << to;
  return out;
}
std::string Sjis(const char8_t* s) { return Iconv("CP932", "UTF-8", U8(s)); }
std::string Euc(const char8_t* s) { return Iconv("EUC-JP-MS", "UTF-8", U8(s)); }
std::string Jis(const char8_t* s) { return Iconv("ISO-2022-JP", "UTF-8", U8(s)); }
std::string Jis3(const char8_t* s) { return Iconv("ISO-2022-JP-3", "UTF-8", U8(s)); }

// A copy in a heap block of exactly its size, so that AddressSanitizer sees any read
// past the end (a std::string keeps a terminator and spare room behind its bytes).
class Exact {
 public:
  explicit Exact(std::string_view s) : bytes_(s.begin(), s.end()) {}
  operator std::string_view() const { return {bytes_.data(), bytes_.size()}; }

 private:
  std::vector<char> bytes_;
};

std::string ReplaceEvery(std::string s, std::string_view from, std::string_view to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

// ---- DetectTextCode -------------------------------------------------------------------

TEST(DetectTextCode, MarksNeedTheirFullLength) {
  EXPECT_EQ(DetectTextCode(""), kCodeBinary);
  EXPECT_EQ(DetectTextCode(Exact("\xFF\xFE")), kCodeUtf16LE);
  EXPECT_EQ(DetectTextCode(Exact("\xFE\xFF")), kCodeUtf16BE);
  EXPECT_EQ(DetectTextCode(std::string("\xFF\xFE" "a\0\n\0", 6)), kCodeUtf16LE);
  EXPECT_NE(DetectTextCode(Exact("\xFF")), kCodeUtf16LE);

  // The UTF-8 mark alone is not enough: the text must go on after it.
  EXPECT_EQ(DetectTextCode(Exact("\xEF\xBB\xBF")), DetectJapaneseCode("\xEF\xBB\xBF"));
  EXPECT_NE(DetectTextCode(Exact("\xEF\xBB\xBF")), kCodeUtf8Mark);
  EXPECT_EQ(DetectTextCode(Exact("\xEF\xBB\xBF" "a")), kCodeUtf8Mark);
  EXPECT_EQ(DetectTextCode("\xEF\xBB\xBF" + U8(u8"日本語")), kCodeUtf8Mark);
}

TEST(DetectTextCode, Utf8ScanNeverStartsInTheLastFourBytes) {
  EXPECT_EQ(DetectTextCode(Exact(U8(u8"あい"))), kCodeUtf8);  // 6 bytes: position 1 scanned
  EXPECT_NE(DetectTextCode(Exact(U8(u8"あ") + "ab")), kCodeUtf8);  // 5 bytes: not scanned
  // 7 bytes: positions 1 and 2 may start a test, position 3 may not.
  EXPECT_EQ(DetectTextCode(Exact("a" + U8(u8"あ") + "bcd")), kCodeUtf8);
  EXPECT_NE(DetectTextCode(Exact("ab" + U8(u8"あ") + "cd")), kCodeUtf8);
  // A broken sequence in the unscanned tail does not matter.
  EXPECT_EQ(DetectTextCode(Exact(U8(u8"あい") + "\xE3\x81")), kCodeUtf8);
  EXPECT_EQ(DetectTextCode("abcdefgh"), kCodeAscii);
}

TEST(DetectTextCode, Utf8ScanLooksAtTheFirst1536BytesOnly) {
  const std::string last = std::string(1535, 'a') + U8(u8"あ") + "xxxx";  // starts at 1536
  EXPECT_EQ(DetectTextCode(Exact(last)), kCodeUtf8);
  const std::string late = std::string(1536, 'a') + U8(u8"日本語のテキスト");
  EXPECT_EQ(DetectTextCode(late), kCodeAscii);
  const std::string badLater = U8(u8"日本語") + std::string(1600, 'a') + "\xFF\x80\xC3\xA9";
  EXPECT_EQ(DetectTextCode(badLater), kCodeUtf8);
}

TEST(DetectTextCode, OnlyThreeByteSequencesMakeUtf8) {
  EXPECT_NE(DetectTextCode(U8(u8"café 日本語のテキスト")), kCodeUtf8);
  EXPECT_NE(DetectTextCode(U8(u8"😀日本語のテキスト")), kCodeUtf8);
  EXPECT_NE(DetectTextCode(U8(u8"日本語😀テキスト")), kCodeUtf8);
  EXPECT_NE(DetectTextCode("\x80" + U8(u8"日本語")), kCodeUtf8);
  EXPECT_NE(DetectTextCode(Exact("\xE0\x80\x80" "abcdef")), kCodeUtf8);  // overlong
  EXPECT_EQ(DetectTextCode(Exact("\xE0\xA0\x80" "abcdef")), kCodeUtf8);
  EXPECT_NE(DetectTextCode(Exact("\xE3\x81" "Abcdef")), kCodeUtf8);
  EXPECT_NE(DetectTextCode(Exact("abc\xF0\x9F\x98\x80" "de")), kCodeUtf8);
}

// ---- DetectJapaneseCode ---------------------------------------------------------------

TEST(DetectJapaneseCode, AsciiAndBinary) {
  EXPECT_EQ(DetectJapaneseCode("plain text\r\n\tends with a form feed\f and SUB\x1A"), kCodeAscii);
  EXPECT_EQ(DetectJapaneseCode(std::string("abc\0def", 7)), kCodeBinary);
  EXPECT_EQ(DetectJapaneseCode("abc\x01"), kCodeBinary);
  EXPECT_EQ(DetectJapaneseCode(std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16)), kCodeBinary);
  // A control byte decides even after Japanese text, but not past the window.
  EXPECT_EQ(DetectJapaneseCode(Sjis(u8"日本語") + "\x02"), kCodeBinary);
  EXPECT_EQ(DetectJapaneseCode(std::string(1536, 'a') + std::string(1, '\0')), kCodeAscii);
}

TEST(DetectJapaneseCode, JisByItsEscapes) {
  EXPECT_EQ(DetectJapaneseCode(Jis(u8"日本語のテキスト")), kCodeJis);
  EXPECT_EQ(DetectJapaneseCode(ReplaceEvery(Jis(u8"日本語"), "\x1B$B", "\x1B$@")), kCodeJisOld);
  EXPECT_EQ(DetectJapaneseCode("abc\x1B$(Q!!\x1B(B"), kCodeJis);
  // Half-width kana alone still make a 7-bit text JIS.
  EXPECT_EQ(DetectJapaneseCode(Jis3(u8"abcﾃｽﾄ")), kCodeJis);
  EXPECT_EQ(DetectJapaneseCode("abc\x0E" "CDE\x0F"), kCodeJis);
  // Escapes after an 8-bit byte are not JIS: JIS is 7-bit.
  EXPECT_EQ(DetectJapaneseCode(Sjis(u8"日本") + "\x1B$B"), kCodeSjis);
  // Cut-off escapes are read without running past the end.
  EXPECT_EQ(DetectJapaneseCode(Exact("abc\x1B$")), kCodeAscii);
  EXPECT_EQ(DetectJapaneseCode(Exact("abc\x1B$(")), kCodeAscii);
}

TEST(DetectJapaneseCode, EucAndSjisDecidedByWhatRulesTheOtherOut) {
  const char8_t* page = u8"<title>日本語のテキスト</title>";
  EXPECT_EQ(DetectJapaneseCode(Euc(page)), kCodeEuc);
  EXPECT_EQ(DetectJapaneseCode(Sjis(page)), kCodeSjis);
  EXPECT_EQ(DetectJapaneseCode(Sjis(u8"ソ")), kCodeSjis);  // trail 0x5C
  EXPECT_EQ(DetectJapaneseCode(Sjis(u8"ポ")), kCodeSjis);  // trail 0x7C
  EXPECT_EQ(DetectJapaneseCode(Exact("\xE0\x80")), kCodeSjis);  // a trail EUC lacks
  EXPECT_EQ(DetectJapaneseCode(Exact("\xB0\xFD")), kCodeEuc);  // a trail Shift_JIS lacks
  EXPECT_EQ(DetectJapaneseCode(Exact("\xFE\xA1")), kCodeEuc);  // a lead Shift_JIS lacks
  EXPECT_EQ(DetectJapaneseCode(Exact("\x8E\xE0")), kCodeSjis);  // SS2 without kana
  // Pairs CP932 leaves unassigned rule it out; its user area does not.
  EXPECT_EQ(DetectJapaneseCode(Exact("\xEC\xA4")), kCodeEuc);
  EXPECT_EQ(DetectJapaneseCode(Exact("\xFC\xCB")), kCodeEuc);
  EXPECT_EQ(DetectJapaneseCode(Exact("\xF0\xA1")), kCodeEucOrSjis);
  // SS3 and two bytes; the space after it can't be a Shift_JIS trail.
  EXPECT_EQ(DetectJapaneseCode(Exact("\x8F\xF3\xF3 ")), kCodeEuc);
  // Everything seen fits both codes: no guess.
  EXPECT_EQ(DetectJapaneseCode(Euc(u8"あいう")), kCodeEucOrSjis);
  EXPECT_EQ(DetectJapaneseCode(Sjis(u8"ｱｲｳ")), kCodeEucOrSjis);
  EXPECT_EQ(DetectJapaneseCode(Exact("abc\xE0")), kCodeEucOrSjis);
  // A byte neither code has leaves the text undecided, so it passes unchanged.
  EXPECT_EQ(DetectJapaneseCode(Exact("\x80")), kCodeEucOrSjis);
  // Evidence past the window is not looked at.
  EXPECT_EQ(DetectJapaneseCode(std::string(1536, 'a') + Sjis(u8"ソ")), kCodeAscii);
  EXPECT_EQ(DetectJapaneseCode(std::string(1535, 'a') + Euc(u8"あ") + "\xFD"), kCodeEucOrSjis);
}

// ---- JIS and EUC-JP -------------------------------------------------------------------

TEST(JisToSjis, BothFormsAndTheLongDesignations) {
  const std::string jis = Iconv("ISO-2022-JP", "UTF-8",
                                U8(u8"日本語のテキスト、カタカナ。\nASCII line\n"));
  const std::string sjis = Sjis(u8"日本語のテキスト、カタカナ。\nASCII line\n");
  ASSERT_NE(jis.find("\x1B$B"), std::string::npos);
  EXPECT_EQ(JisToSjis(jis), sjis);
  EXPECT_EQ(JisToSjis(ReplaceEvery(jis, "\x1B$B", "\x1B$@")), sjis);
  EXPECT_EQ(JisToSjis(ReplaceEvery(jis, "\x1B$B", "\x1B$(B")), sjis);
  EXPECT_EQ(JisToSjis(ReplaceEvery(jis, "\x1B$B", "\x1B$(Q")), sjis);
  EXPECT_EQ(JisToSjis(ReplaceEvery(jis, "\x1B(B", "\x1B(J")), sjis);
  EXPECT_EQ(JisToSjis(ReplaceEvery(jis, "\x1B$B", "\x1B&@\x1B$B")), sjis);
}

TEST(JisToSjis, HalfWidthKanaByEscapeAndByShift) {
  const char8_t* text = u8"ﾃｽﾄ漢字ｶﾅabc\n";
  const std::string jis = Jis3(text);
  ASSERT_NE(jis.find("\x1B(I"), std::string::npos);
  EXPECT_EQ(JisToSjis(jis), Sjis(text));

  // SO/SI carry the same kana bytes, also in the middle of two-byte text.
  const std::string kana = Jis3(u8"ﾃｽﾄ").substr(3, 3);  // between ESC ( I and ESC ( B
  EXPECT_EQ(JisToSjis("abc\x0E" + kana + "\x0F" "def"), Sjis(u8"abcﾃｽﾄdef"));
  const std::string kanji = Jis(u8"漢字").substr(3, 4);  // between ESC $ B and ESC ( B
  EXPECT_EQ(JisToSjis("\x1B$B" + kanji + "\x0E" + kana + "\x0F" + kanji + "\x1B(B"),
            Sjis(u8"漢字ﾃｽﾄ漢字"));
}

TEST(JisToSjis, WhatItDoesNotKnowPassesThrough) {
  EXPECT_EQ(JisToSjis("a\x1B$Ab"), "a\x1B$Ab");  // a designation of another country's set
  EXPECT_EQ(JisToSjis(Exact("abc\x1B")), "abc\x1B");
  EXPECT_EQ(JisToSjis(Exact("abc\x1B$")), "abc\x1B$");
  // A line break inside two-byte text, and an odd byte at the end.
  const std::string hon = Jis(u8"本").substr(3, 2);
  const std::string nichi = Jis(u8"日").substr(3, 2);
  EXPECT_EQ(JisToSjis("\x1B$B" + nichi + "\n" + hon + "\x1B(B"), Sjis(u8"日\n本"));
  EXPECT_EQ(JisToSjis(Exact("\x1B$B" + nichi + "0")), Sjis(u8"日") + "0");
}

TEST(JisToSjis, SupplementaryKanjiBecomeCp932OrTheDefaultCharacter) {
  // JIS X 0212 0x7373 is small roman one, an IBM extension of CP932; 0x3021 is not in CP932.
  EXPECT_EQ(JisToSjis("\x1B$(D\x73\x73\x30\x21\x1B(Bx"), Sjis(u8"ⅰ") + "?x");
}

TEST(EucToSjis, RealTextWithKanaAndNecSpecials) {
  const char8_t* text = u8"日本語のテキスト、ｶﾀｶﾅと①～\r\nASCII\n";
  EXPECT_EQ(EucToSjis(Euc(text)), Sjis(text));
  const char8_t* plain = u8"表示ソフトのポイント";
  EXPECT_EQ(EucToSjis(Iconv("EUC-JP", "UTF-8", U8(plain))), Sjis(plain));
}

TEST(EucToSjis, SupplementaryAndBrokenSequences) {
  EXPECT_EQ(EucToSjis(Exact("\x8F\xF3\xF3")), Sjis(u8"ⅰ"));
  EXPECT_EQ(EucToSjis(Exact("\x8F\xB0\xA1" "a")), "?a");  // a JIS X 0212 kanji CP932 lacks
  for (const char* broken : {"\x8F\xF3", "\x8F", "\xB0", "\x8E", "\x8E\x41", "\xB0\x41", "\xFF\xA1"})
    EXPECT_EQ(EucToSjis(Exact(broken)), broken) << "bytes are kept";
}

// The arithmetic against the system's tables for every cell of rows 1 to 84 they assign
// (the rest are user rows). Characters are compared: CP932 has two codes for some
// characters of row 13, and the table picks the other one.
TEST(EucToSjis, EveryJis0208CellMatchesCp932) {
  IconvCodec fromEuc("UTF-8", "EUC-JP-MS");
  IconvCodec fromSjis("UTF-8", "CP932");
  ASSERT_TRUE(fromEuc.ok() && fromSjis.ok());
  auto decode = [](IconvCodec& codec, std::string_view in, bool& failed) {
    return codec.Convert(in, [&](std::string_view rest, std::string&) -> size_t {
      failed = true;
      return rest.size();
    });
  };
  int compared = 0;
  for (int j1 = 0x21; j1 <= 0x74; ++j1) {
    for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
      const char euc[2] = {static_cast<char>(j1 | 0x80), static_cast<char>(j2 | 0x80)};
      bool unassigned = false;
      const std::string want = decode(fromEuc, std::string_view(euc, 2), unassigned);
      if (unassigned) continue;
      ++compared;
      const std::string sjis = EucToSjis(std::string_view(euc, 2));
      bool failed = false;
      ASSERT_EQ(decode(fromSjis, sjis, failed), want) << std::hex << j1 << ' ' << j2;
      ASSERT_FALSE(failed) << std::hex << j1 << ' ' << j2;
      const char jis[] = {'\x1B', '$', 'B', static_cast<char>(j1), static_cast<char>(j2)};
      ASSERT_EQ(JisToSjis(std::string_view(jis, 5)), sjis) << std::hex << j1 << ' ' << j2;
    }
  }
  EXPECT_GE(compared, 6879);  // JIS X 0208 alone has 6879 characters
}

// ---- UTF-8 ----------------------------------------------------------------------------

TEST(Utf8ToSjisMarkingInvalid, UnmappableAndInvalidBecomeOneDefaultCharacterEach) {
  EXPECT_EQ(Utf8ToSjisMarkingInvalid(U8(u8"日本é語😀！")), Sjis(u8"日本") + "?" + Sjis(u8"語") + "?" + Sjis(u8"！"));
  EXPECT_EQ(Utf8ToSjisMarkingInvalid(Exact("a\xE3\x81" "b")), "a?b");  // a cut sequence is one piece
  EXPECT_EQ(Utf8ToSjisMarkingInvalid(Exact("\x80\xBF")), "??");
  EXPECT_EQ(Utf8ToSjisMarkingInvalid(Exact("\xED\xA0\x80")), "???");  // an encoded surrogate
  EXPECT_EQ(Utf8ToSjisMarkingInvalid(Exact("\xC0\xAF" "x")), "??x");  // overlong
  EXPECT_EQ(Utf8ToSjisMarkingInvalid(Exact("\xF4\x90\x80\x80")), "????");  // above U+10FFFF
  EXPECT_EQ(Utf8ToSjisMarkingInvalid(Exact("ok\xF0\x9F\x98")), "ok?");  // cut at the end
}

TEST(Utf8ToSjisMarkingInvalid, AZeroByteEndsTheText) {
  EXPECT_EQ(Utf8ToSjisMarkingInvalid(U8(u8"日本") + std::string(1, '\0') + U8(u8"語")), Sjis(u8"日本"));
  EXPECT_EQ(Utf8ToSjisMarkingInvalid(std::string("\0abc", 4)), "");
  EXPECT_EQ(Utf8ToSjisMarkingInvalid(""), "");
}

// ---- line breaks ----------------------------------------------------------------------

TEST(NormalizeLineBreaks, EveryKindBecomesCrLf) {
  EXPECT_EQ(NormalizeLineBreaks("a\rb\nc\r\nd\n\re\r\r\nf"),
            "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n\r\nf");
  EXPECT_EQ(NormalizeLineBreaks(""), "");
}

TEST(NormalizeLineBreaks, DoubleByteCharactersStayWhole) {
  // Trails 0x5C and 0x7C, and a trail that is itself a lead byte (メ is 83 81).
  EXPECT_EQ(NormalizeLineBreaks(Sjis(u8"ソ\n表\rポ\r\nメ\nソ")), Sjis(u8"ソ\r\n表\r\nポ\r\nメ\r\nソ"));
  EXPECT_EQ(NormalizeLineBreaks(Exact("ab\x83")), "ab\x83");  // lead at the very end
  // A lead before a line break is a broken character; the break still counts.
  EXPECT_EQ(NormalizeLineBreaks(Exact("\x83\n")), "\x83\r\n");
  EXPECT_EQ(NormalizeLineBreaks(Exact("\x83\r")), "\x83\r\n");
}

// ---- ConvertToSJIS --------------------------------------------------------------------

TEST(ConvertToSJIS, AsciiAndShortTexts) {
  EXPECT_EQ(ConvertToSJIS(""), "");
  EXPECT_EQ(ConvertToSJIS("plain ascii"), "plain ascii");
  EXPECT_EQ(ConvertToSJIS("a\nb"), "a\r\nb");
  EXPECT_EQ(ConvertToSJIS("a\rb"), "a\r\nb");
  // Five bytes of UTF-8 or fewer go to the Japanese-code library, which keeps them.
  const std::string shortUtf8 = U8(u8"日") + "ab";
  EXPECT_EQ(ConvertToSJIS(shortUtf8), JapaneseToSjis(shortUtf8, DetectJapaneseCode(shortUtf8)));
  EXPECT_EQ(ConvertToSJIS(U8(u8"日本")), Sjis(u8"日本"));
}

TEST(ConvertToSJIS, EveryCodeEndsAsShiftJisWithCrLf) {
  const char8_t* lf = u8"<rss>\n<title>日本語のテキスト①</title>\n</rss>\n";
  const std::string want = Sjis(u8"<rss>\r\n<title>日本語のテキスト①</title>\r\n</rss>\r\n");
  EXPECT_EQ(ConvertToSJIS(U8(lf)), want);
  EXPECT_EQ(ConvertToSJIS("\xEF\xBB\xBF" + U8(lf)), want);
  EXPECT_EQ(ConvertToSJIS(Euc(lf)), want);
  EXPECT_EQ(ConvertToSJIS(Sjis(lf)), want);
  const char8_t* noNec = u8"<t>日本語\nのテキスト</t>";
  EXPECT_EQ(ConvertToSJIS(Jis(noNec)), Sjis(u8"<t>日本語\r\nのテキスト</t>"));
  EXPECT_EQ(ConvertToSJIS(ReplaceEvery(Jis(noNec), "\x1B$B", "\x1B$@")),
            Sjis(u8"<t>日本語\r\nのテキスト</t>"));
}

TEST(ConvertToSJIS, LateUtf8AndMarkedUtf16AreLeftAlone) {
  const std::string late = std::string(1536, 'a') + U8(u8"日本語");
  EXPECT_EQ(ConvertToSJIS(late), late);
  // No CR is slipped into UTF-16 or binary data.
  const std::string utf16(std::string("\xFF\xFE" "a\0\n\0b\0", 8));
  EXPECT_EQ(ConvertToSJIS(utf16), utf16);
  const std::string png("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
  EXPECT_EQ(ConvertToSJIS(png), png);
}

TEST(ConvertToSJIS, ManyThreadsAtOnce) {
  struct Case {
    std::string in, want;
  };
  const std::vector<Case> cases = {
      {U8(u8"日本語のテキスト\n"), Sjis(u8"日本語のテキスト\r\n")},
      {Euc(u8"<a>日本語のテキスト</a>\n"), Sjis(u8"<a>日本語のテキスト</a>\r\n")},
      {Jis(u8"日本語\n"), Sjis(u8"日本語\r\n")},
      {std::string("\x1B$(D\x73\x73\x1B(B\n"), Sjis(u8"ⅰ\r\n")},
  };
  std::vector<std::thread> threads;
  std::vector<int> wrong(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int k = 0; k < 300; ++k)
        for (const Case& c : cases)
          if (ConvertToSJIS(c.in) != c.want) ++wrong[t];
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace norvane
