#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "pattern/pattern_dictionary.h"

namespace norvane::pattern {

// One pass of the dictionary expansion over a pattern of the dialect. Operators,
// anchors, "." and everything inside a bracket expression are copied as written. Over
// each run of plain characters (literal or escaped), at every position the
// dictionaries are tried in order, their classes in order, the members of a class in
// order; the first member equal to the characters there (and fitting in the run)
// wins, and the whole class is written in its place as an alternation of escaped
// members. Where nothing matches, the character is copied as written.
// The pattern must be valid; a fault in it raises ERegExpParser.
std::string ExpandPattern(std::string_view pattern,
                          const std::vector<const PatternDictionary*>& dictionaries);

}  // namespace norvane::pattern
