#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pattern/line_separator.h"
#include "pattern/pattern_cache.h"
#include "pattern/pattern_dictionary.h"
#include "pattern/pcre_pattern.h"
#include "pattern/regexp_error.h"

namespace norvane {

// The pattern-matching component: holds one pattern of the program's dialect over
// Shift_JIS text, widens it with the synonym dictionaries and the fuzzy-character
// table, and answers whether a text matches it somewhere.
//
// One object is used by one thread at a time. The dictionaries it reads are immutable
// and may be shared by any number of objects and threads.
class TAWKStr {
 public:
  using Dictionary = pattern::PatternDictionary;
  using DictionaryList = std::vector<std::shared_ptr<const Dictionary>>;

  TAWKStr();
  virtual ~TAWKStr();
  TAWKStr(const TAWKStr&) = delete;
  TAWKStr& operator=(const TAWKStr&) = delete;

  // The pattern as it was set, before any expansion.
  const std::string& RegExp() const { return regExp_; }
  // Expands the pattern (synonyms first, then the fuzzy table, each when enabled) and
  // compiles it, reusing a kept compilation of the same expanded text. A pattern that
  // is not valid raises ERegExpParser, whose position counts characters of the pattern
  // as given; the object then holds no pattern: RegExp() is empty and IsMatch answers
  // false until another pattern is set.
  void SetRegExp(std::string_view re);

  // Setting any of these applies the current pattern again. Should that fail (only a
  // pattern that grows too large for the engine can), the object holds no pattern.
  TLineSeparator LineSeparator() const { return lineSeparator_; }
  void SetLineSeparator(TLineSeparator separator);
  bool UseFuzzyCharDic() const { return useFuzzy_; }
  void SetUseFuzzyCharDic(bool use);
  bool UseSynonymDic() const { return useSynonym_; }
  void SetUseSynonymDic(bool use);

  // True when the current pattern matches somewhere in the Shift_JIS text. A search
  // that exceeds the engine's step limit answers false instead of running on.
  bool IsMatch(std::string_view text);
  // Whether the last IsMatch gave up at that limit.
  bool LastMatchHitLimit() const { return lastHitLimit_; }

  const DictionaryList& SynonymDics() const { return synonyms_; }

  // The pattern text handed to the compiler for a pattern: the expansion of SetRegExp.
  std::string ExpandedPattern(std::string_view re) const;

  // For checks of the cache: its contents and how many compilations this object made.
  const pattern::PatternCache& Cache() const { return cache_; }
  size_t CompileCount() const { return compileCount_; }

 protected:
  // Leaves the object without a pattern, as a rejected one does.
  void DropPattern();
  // Replacing the list applies the current pattern again; appending to it does not
  // (the caller does, once it is done).
  void SetSynonymDics(DictionaryList list);
  void AddSynonymDic(std::shared_ptr<const Dictionary> dictionary);

 private:
  void Reapply();

  std::string regExp_;
  bool hasPattern_ = true;  // false after a rejected pattern
  TLineSeparator lineSeparator_ = TLineSeparator::mcls_CRLF;
  bool useFuzzy_ = true;
  bool useSynonym_ = true;
  DictionaryList synonyms_;

  pattern::PatternCache cache_;
  pattern::PatternCache::Compiled current_;
  size_t compileCount_ = 0;
  bool lastHitLimit_ = false;
  pattern::PcreScratch scratch_;
  std::vector<uint32_t> subject_;
};

}  // namespace norvane
