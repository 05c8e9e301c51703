#pragma once
#include <string>
#include <string_view>

namespace norvane {

// Conversions between the program's Shift_JIS (CP932) text and UTF-8, for the edges
// where text leaves the program: file names on disk, the console, the XML library.

// UTF-8 to Shift_JIS. A character without a Shift_JIS form becomes '?' (the lossy
// platform rule); invalid UTF-8 bytes are dropped. Text from outside goes through
// Utf8ToSjisMarkingInvalid instead, which marks them.
std::string Utf8ToSjis(std::string_view utf8);

// The CP932 form of a character only when it reads back as that same character: a single
// byte, or lead << 8 | trail; 0 when there is none. iconv's best-fit forms are refused:
// U+00A5 ¥ would be 0x5C, which reads back as '\', U+2014 — would come back as U+2015 ―.
unsigned SjisFormOf(char32_t cp);
// The character a CP932 byte from 0x80 up, or a byte pair, stands for as the system's
// table reads it; 0 when none (a single lead byte stands for none: it needs its pair).
char32_t SjisCharOf(unsigned char single);
char32_t SjisCharOf(unsigned char lead, unsigned char trail);
// Appends SjisFormOf(cp); false, with nothing appended, when there is none.
bool AppendSjisForm(char32_t cp, std::string& out);

// Shift_JIS to UTF-8. Bytes that do not form a Shift_JIS character pass through
// unchanged, so no input is lost.
std::string SjisToUtf8(std::string_view sjis);

// True when the byte starts a double-byte Shift_JIS character.
inline bool IsSjisLead(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// ASCII letters lowered, double-byte characters left whole (a trail byte may look like
// a letter), for comparisons without regard to letter case.
std::string SjisAsciiLower(std::string_view sjis);

}  // namespace norvane
