#include "feeds/fragment_cache.h"

#include <iterator>
#include <utility>

#include "feeds/page_cache_share.h"

namespace norvane {

FragmentCache::FragmentCache(size_t maxBytes, size_t maxEntryBytes)
    : maxBytes_(maxBytes), maxEntryBytes_(maxEntryBytes) {}

std::string FragmentCache::Get(std::string_view input,
                               const std::function<std::string(std::string_view)>& make) {
  if (std::optional<std::string> found = Find(input)) return *std::move(found);
  std::string value = make(input);
  Put(input, value);
  return value;
}

std::optional<std::string> FragmentCache::Find(std::string_view input) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = index_.find(input);
  if (found == index_.end()) return std::nullopt;
  order_.splice(order_.begin(), order_, found->second);
  found->second->generation = generation_;
  return found->second->value;
}

bool FragmentCache::PageMayKeep(size_t bytes) const {
  PageCacheShare* share = PageCacheShare::Current();
  return !share || share->Take(this, maxBytes_, bytes);
}

void FragmentCache::Put(std::string_view input, const std::string& value) {
  if (input.size() + value.size() > maxEntryBytes_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (index_.count(input)) return;  // another thread made it meanwhile
  if (!PageMayKeep(input.size() + value.size())) return;
  Insert(input, value, 0);
}

void FragmentCache::Replace(std::string_view input, const std::string& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  const bool fits = input.size() + value.size() <= maxEntryBytes_;
  if (auto found = index_.find(input); found != index_.end()) {
    Entry& kept = *found->second;
    const size_t block = kept.value.capacity();
    if (fits && value.size() <= block && block - value.size() <= 2 * kVariantRoom) {
      // Written over the old value in its own block: a variant made again (an item's
      // new mark) allocates nothing, so it leaves no hole among the page's short-lived
      // blocks that would keep their pages from going back to the system. A much
      // shorter one gets a block of its own, so that the bound counts what is held.
      bytes_ = bytes_ - kept.value.size() + value.size();
      kept.value.assign(value);
      kept.generation = generation_;
      order_.splice(order_.begin(), order_, found->second);
      Evict();
      return;
    }
    Drop(found->second);
  }
  if (fits && PageMayKeep(input.size() + value.size())) Insert(input, value, kVariantRoom);
}

void FragmentCache::Insert(std::string_view input, const std::string& value, size_t room) {
  std::string held;
  held.reserve(value.size() + room);
  held.append(value);
  order_.push_front(Entry{std::string(input), std::move(held), generation_});
  index_.emplace(order_.front().key, order_.begin());  // the key lives in the list node
  bytes_ += input.size() + value.size();
  Evict();
}

std::list<FragmentCache::Entry>::iterator FragmentCache::Drop(std::list<Entry>::iterator entry) {
  bytes_ -= entry->key.size() + entry->value.size();
  index_.erase(entry->key);  // before the node that holds the index's key goes
  return order_.erase(entry);
}

void FragmentCache::Evict() {
  while (bytes_ > maxBytes_ && !order_.empty()) Drop(std::prev(order_.end()));
}

void FragmentCache::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  index_.clear();  // its keys live in the list's nodes: the index goes first
  order_.clear();
  bytes_ = 0;
}

void FragmentCache::Age() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = order_.begin(); it != order_.end();)
    it = it->generation == generation_ ? std::next(it) : Drop(it);
  ++generation_;
}

size_t FragmentCache::bytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

size_t FragmentCache::entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return order_.size();
}

}  // namespace norvane
