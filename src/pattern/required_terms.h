#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pattern/pattern_dictionary.h"

namespace norvane::pattern {

// What any text a pattern matches must hold, folded (TextFold): runs of folded
// characters combined with "all of" and "either of". An index of folded texts can so
// narrow the texts worth matching; it never leaves out one the pattern matches.
struct RequiredTerms {
  enum class Kind {
    Nothing,  // any text may match
    Run,      // the folded run must occur
    All,      // every part must hold
    Either,   // at least one part must hold
  };
  Kind kind = Kind::Nothing;
  std::vector<uint32_t> run;
  std::vector<RequiredTerms> parts;

  // A text for comparing and reading in tests: "" for Nothing, the run's codes in
  // hexadecimal, "all(...)" and "either(...)".
  std::string Describe() const;
};

// The terms of a pattern of the dialect as the matcher expands it: the synonym
// dictionaries first, in order, then the fuzzy table. A run of plain characters is
// required but for its last expanded piece when a quantifier follows; a piece of a class
// whose members fold apart, a dictionary class holding a member that requires nothing,
// and anything but plain characters and groups ("." , sets, anchors, optional groups)
// require nothing. Raises ERegExpParser for a pattern that is not valid.
RequiredTerms FindRequiredTerms(std::string_view pattern,
                                const std::vector<const PatternDictionary*>& synonyms);

}  // namespace norvane::pattern
