#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace norvane {

// The program's one reading of UTF-8: the well-formed sequences of the Unicode standard
// (shortest form only, no surrogates, nothing above U+10FFFF).

// Length of the well-formed sequence at the start of s, or 0 when s starts with none
// (or is empty). cp, when given, receives the code point.
size_t Utf8SequenceLength(std::string_view s, char32_t* cp = nullptr);

// True when every byte of s belongs to a well-formed sequence; nonAscii, when given,
// tells whether any of them is not ASCII.
bool IsWellFormedUtf8(std::string_view s, bool* nonAscii = nullptr);

// True when s is well-formed UTF-8 holding at least one character that is not ASCII:
// text that can only be UTF-8, not ASCII that any code reads alike.
bool IsNonAsciiUtf8(std::string_view s);

// s with each byte that starts no well-formed sequence replaced by U+FFFD.
std::string ReplaceIllFormedUtf8(std::string_view s);

}  // namespace norvane
