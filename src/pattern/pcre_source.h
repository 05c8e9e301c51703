#pragma once
#include <string>

#include "pattern/line_separator.h"
#include "pattern/regexp_parser.h"

namespace norvane::pattern {

// Writes a parsed pattern as PCRE2 source for 32-bit code units, one code unit per
// Shift_JIS character. The result is ASCII: every character that is not a letter or a
// digit is written as \x{...}, so nothing the user typed can become PCRE2 syntax.
//
// The source is made for "is there a match anywhere", never for where a match lies:
// an optional item (starred or questioned) that opens or closes a match is left out,
// since dropping it finds a match exactly when keeping it would. This spares the
// engine the quadratic retries of the ".*" that every keyword pattern starts with.
std::string PcreSource(const ParsedRegExp& re, TLineSeparator separator);

}  // namespace norvane::pattern
