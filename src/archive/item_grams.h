#pragma once
#include <string>
#include <string_view>

#include "pattern/required_terms.h"

namespace norvane {

// The words of the index: pieces of folded text (pattern::TextFold), each written as a
// word of hexadecimal digits. Every two neighbouring folded characters make one word, and
// every folded double-byte character one more on its own, so a folded run of one
// Japanese character can be looked up too.

// The words of an item, each once: those of its title and of its description (the
// Shift_JIS texts the matcher reads).
std::string ItemGrams(std::string_view titleSjis, std::string_view descriptionSjis);

// The full-text query (FTS5) for the items whose words can hold the terms; empty when the
// terms narrow nothing. A long run is looked up by some of its pairs, and a query by at
// most 64 words: what matches stays a superset of what the matcher takes.
std::string GramQuery(const pattern::RequiredTerms& terms);

}  // namespace norvane
