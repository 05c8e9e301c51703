#pragma once
#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace norvane {

// Results of a pure text function (the description sanitiser), by their input: a stored
// log is shown again and again, and its descriptions do not change. Bounded by the bytes
// of keys and values held; the least recently used go first. Thread-safe; the function
// runs outside the lock, so two threads may both compute a result once.
//
// While the calling thread renders for a page (PageCacheScope), that page keeps at most
// half of the bound; a value written in place of its own variant takes nothing more.
//
// Age() begins a new generation: what was neither made nor found in the generation it
// ends goes. Without an age, what is never asked for again (an item that left its feed)
// would stay until the bound pushed it out.
class FragmentCache {
 public:
  explicit FragmentCache(size_t maxBytes, size_t maxEntryBytes);

  // The cached result for input, or make(input), kept when it is small enough.
  std::string Get(std::string_view input, const std::function<std::string(std::string_view)>& make);
  // The cached result for input, if any, without making one.
  std::optional<std::string> Find(std::string_view input);
  // Keeps value for input when the two are small enough; a result kept already stays.
  void Put(std::string_view input, const std::string& value);
  // Keeps value for input in place of what was kept for it, if anything; when the two are
  // too large, nothing is kept for input.
  void Replace(std::string_view input, const std::string& value);
  // Drops everything kept.
  void Clear();
  // Drops what was not used since the last Age() and begins a new generation.
  void Age();

  size_t bytes() const;
  size_t entries() const;

 private:
  struct Entry {
    std::string key, value;
    unsigned generation;  // the last one it was made or found in
  };
  // Whether the page the calling thread renders for (if any) may keep bytes more here;
  // counts them when so (PageCacheShare).
  bool PageMayKeep(size_t bytes) const;
  // Under mutex_: keeps a new entry with room bytes to spare, then evicts down to the
  // bound.
  void Insert(std::string_view input, const std::string& value, size_t room);
  // Under mutex_: removes an entry; the one after it.
  std::list<Entry>::iterator Drop(std::list<Entry>::iterator entry);
  void Evict();

  // Bytes a value kept by Replace is given beyond its size, so that a variant of it (an
  // item's markup with another mark) fits in place.
  static constexpr size_t kVariantRoom = 32;

  const size_t maxBytes_, maxEntryBytes_;
  mutable std::mutex mutex_;
  std::list<Entry> order_;  // most recent first
  std::unordered_map<std::string_view, std::list<Entry>::iterator> index_;
  size_t bytes_ = 0;
  unsigned generation_ = 0;
};

}  // namespace norvane
