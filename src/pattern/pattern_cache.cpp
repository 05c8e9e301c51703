#include "pattern/pattern_cache.h"

#include <functional>

namespace norvane::pattern {

PatternCache::Compiled PatternCache::Find(const std::string& expanded,
                                          TLineSeparator separator) const {
  if (expanded.empty()) return empty_;
  const size_t hash = std::hash<std::string>{}(expanded);
  for (const Entry& e : entries_)
    if (e.hash == hash && e.separator == separator && e.expanded == expanded)
      return e.compiled;
  return nullptr;
}

void PatternCache::Insert(const std::string& expanded, TLineSeparator separator,
                          Compiled compiled) {
  if (expanded.empty()) {
    empty_ = std::move(compiled);
    return;
  }
  if (entries_.size() >= kSlots - 1) entries_.pop_back();
  entries_.push_front(
      {std::hash<std::string>{}(expanded), separator, expanded, std::move(compiled)});
}

std::vector<std::string> PatternCache::Keys() const {
  std::vector<std::string> keys;
  for (const Entry& e : entries_) keys.push_back(e.expanded);
  return keys;
}

}  // namespace norvane::pattern
