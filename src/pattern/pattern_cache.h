#pragma once
#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "pattern/line_separator.h"
#include "pattern/pcre_pattern.h"

namespace norvane::pattern {

// The compiled patterns one matcher keeps, keyed by the expanded pattern text (and the
// line separator it was compiled for). One slot always holds the empty pattern; the
// others are kept first in, first out: a new pattern goes to the front, the back one is
// dropped when all slots are taken, and finding a pattern does not move it.
class PatternCache {
 public:
  static constexpr size_t kSlots = 30;

  using Compiled = std::shared_ptr<const PcrePattern>;

  // The kept pattern for the key, or null.
  Compiled Find(const std::string& expanded, TLineSeparator separator) const;
  // Keeps a newly compiled pattern (the empty one goes to its own slot).
  void Insert(const std::string& expanded, TLineSeparator separator, Compiled compiled);

  // The expanded texts of the kept non-empty patterns, front to back.
  std::vector<std::string> Keys() const;
  bool HoldsEmpty() const { return empty_ != nullptr; }

 private:
  struct Entry {
    size_t hash;
    TLineSeparator separator;
    std::string expanded;
    Compiled compiled;
  };
  std::deque<Entry> entries_;
  Compiled empty_;
};

}  // namespace norvane::pattern
