#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace norvane {

// Code numbers of DetectTextCode.
enum TextCode : int {
  kCodeAscii = 0,
  kCodeBinary = 1,  // or the empty text
  kCodeJis = 2,     // ESC $ B seen
  kCodeJisOld = 3,  // ESC $ @ seen
  kCodeEuc = 4,
  kCodeSjis = 5,
  kCodeEucOrSjis = 6,  // undecided
  kCodeUtf16LE = 7,    // starts with FF FE
  kCodeUtf16BE = 8,    // starts with FE FF
  kCodeUtf8Mark = 9,   // starts with EF BB BF and is longer than 3 bytes
  kCodeUtf8 = 10,      // UTF-8 without a mark
};

// The Japanese-code detector alone (codes 0 to 6), over the first 1536 bytes. It decides
// only on evidence: the first of EUC-JP and Shift_JIS (CP932) that the bytes rule out
// gives the other; when both still fit at the end the answer is 6.
int DetectJapaneseCode(std::string_view text);

// Full detection: marks, the three-byte UTF-8 scan, then DetectJapaneseCode.
int DetectTextCode(std::string_view text);

// JIS (ESC $ B and ESC $ @, half-width kana by ESC ( I and by SO/SI) to Shift_JIS.
std::string JisToSjis(std::string_view text);
// EUC-JP (with SS2 half-width kana and SS3 supplementary characters) to Shift_JIS.
// Supplementary (JIS X 0212) characters become CP932's IBM extensions where it has them,
// else '?'. In both converters, bytes that form nothing are copied unchanged.
std::string EucToSjis(std::string_view text);

// The library conversion: JIS (codes 2, 3) and EUC-JP (code 4) become Shift_JIS;
// everything else is returned unchanged.
std::string JapaneseToSjis(std::string_view text, int code);

// UTF-8 to Shift_JIS as the conversion through UTF-16 does it, for text that came from
// outside: every character without a Shift_JIS form and every ill-formed piece of UTF-8
// becomes one default character '?', so nothing vanishes unseen; the result ends at the
// first zero character. (Utf8ToSjis, for the program's own edges, drops ill-formed bytes.)
std::string Utf8ToSjisMarkingInvalid(std::string_view text);

// Every CR, LF and CR LF becomes CR LF; a trail byte of a double-byte Shift_JIS
// character is never taken for a line break.
std::string NormalizeLineBreaks(std::string_view sjis);

// Detection, conversion to Shift_JIS, CR LF line breaks. Never fails. Binary and
// UTF-16 texts come back untouched.
std::string ConvertToSJIS(std::string_view text);

// Text in the code a browser named for it (a form's _charset_: UTF-8, Shift_JIS, EUC-JP,
// ISO-2022-JP or any other code iconv knows) as Shift_JIS with CR LF line breaks, the
// lacking characters as '?'. Nothing when the name is not one iconv knows.
std::optional<std::string> ConvertNamedToSJIS(std::string_view text, std::string_view charset);

}  // namespace norvane
