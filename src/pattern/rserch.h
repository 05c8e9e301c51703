#pragma once
#include <string>
#include <string_view>

#include "pattern/awk_str.h"

namespace norvane {

// The keyword matcher: turns a keyword phrase into a pattern whose words must stand on
// one line in the typed order or exactly the reverse one, and matches it widened by
// the synonym dictionary and the fuzzy-character table.
//
// One TRSerch is used by one thread at a time. The synonym dictionary it loads is
// immutable once loaded and is lent to other matchers by sharing it, never by copying;
// lender and borrowers may go in any order.
class TRSerch : public TAWKStr {
 public:
  // Create: fuzzy table and synonyms on, CRLF line ends, empty pattern, no synonyms.
  TRSerch();

  // Appends the dictionary of a "dic.csv" file (Shift_JIS; every line, an empty one
  // included, one class of comma-text members; CR LF, CR or LF line ends). A missing
  // or unreadable file leaves the matcher as it was; nothing is raised.
  void LoadSynonymDic(const std::string& path);

  // This matcher's synonym dictionaries become those of source, shared.
  void AssignSynonymDic(const TRSerch& source);

  // The pattern of a keyword phrase: "(" forward ")|(" backward ")" with the words in
  // typed order and in reverse order, each in a group between ".*".
  static std::string MakePattern(std::string_view phrase);

  // RegExp := MakePattern(phrase); raises ERegExpParser when it is not valid. A
  // phrase ending in a lone lead byte is refused with the message for it, positioned
  // at that byte in the phrase, instead of letting the byte swallow a parenthesis.
  void SetKeyword(std::string_view phrase);

  // True once LoadSynonymDic has loaded a dictionary that this matcher still uses.
  bool OwnsSynonymDic() const { return ownsSynonymDic_; }

 private:
  bool ownsSynonymDic_ = false;
};

}  // namespace norvane
