#pragma once
#include <cstdint>
#include <vector>

namespace norvane::pattern {

// The fuzzy table seen from the text's side, for an index of texts: every character
// folded to a form that all the characters of its fuzzy class share, so that whatever a
// class of a pattern matches in a text folds to what the pattern's own characters fold to.
//
// - The voiced-sound marks (゛ ゜ ﾞ ﾟ) and the members of a class that may also be
//   absent (the long-vowel marks, and the hyphens that share a class with them) fold to
//   nothing.
// - The members of a class of single characters fold to one of them (an ASCII one where
//   the class has one): case, width, hiragana and katakana, small kana, numerals.
// - A class whose longer members all fold alike gives that form to its single ones:
//   が, ガ, ｶﾞ, か゛ and カ゛ fold to か; わ and ワ to うあ, as ｳｧ does.
// - A class whose longer members fold apart gives its single ones the form of its first
//   longer member: ば and バ fold to は, as ﾊﾞ does, though ヴァ folds to ふあ.
// - Every other character stays as it is.
//
// The classes whose members fold apart (the b-row with its v-sounds, じ with ぢ, ず with
// づ) are not uniform: what such a class matches folds to one of its few forms. Built
// once, read-only, shared by every thread.
class TextFold {
 public:
  static const TextFold& Get();

  // Appends the folded form of one character code (a Shift_JIS unit) to out: none, one
  // or two codes.
  void Append(uint32_t code, std::vector<uint32_t>& out) const {
    if (code >= table_.size()) {
      out.push_back(code);
      return;
    }
    const uint32_t f = table_[code];
    if (f & 0xFFFF) out.push_back(f & 0xFFFF);
    if (f >> 16) out.push_back(f >> 16);
  }
  std::vector<uint32_t> Fold(const std::vector<uint32_t>& codes) const;

  // Whether every member of the fuzzy class (0-based) folds to the same form.
  bool Uniform(uint32_t classIndex) const {
    return classIndex < uniform_.size() && uniform_[classIndex];
  }
  // The folded forms of the class's members, each once, in member order.
  const std::vector<std::vector<uint32_t>>& Forms(uint32_t classIndex) const { return forms_.at(classIndex); }

 private:
  TextFold();
  // Per code below 0x10000: the first folded code in the low half, the second (if any) in
  // the high half; 0 folds to nothing.
  std::vector<uint32_t> table_;
  std::vector<bool> uniform_;
  std::vector<std::vector<std::vector<uint32_t>>> forms_;
};

}  // namespace norvane::pattern
