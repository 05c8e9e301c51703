#pragma once
#include "pattern/pattern_dictionary.h"

namespace norvane::pattern {

// The fixed table of characters a pattern treats as the same: letter case, full and
// half width, hiragana and katakana, small kana, voiced-sound marks, kanji and circled
// numerals. 145 classes in Shift_JIS, built once, read-only, shared by every matcher.
const PatternDictionary& FuzzyCharDic();

}  // namespace norvane::pattern
