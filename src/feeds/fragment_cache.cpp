#include "feeds/fragment_cache.h"

#include <utility>

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

void FragmentCache::Put(std::string_view input, const std::string& value) {
  const size_t size = input.size() + value.size();
  if (size > maxEntryBytes_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (index_.count(input)) return;  // another thread made it meanwhile
  order_.push_front(Entry{std::string(input), value, generation_});
  index_.emplace(order_.front().key, order_.begin());  // the key lives in the list node
  bytes_ += size;
  Evict();
}

void FragmentCache::Replace(std::string_view input, const std::string& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (auto found = index_.find(input); found != index_.end()) {
    auto node = found->second;  // the map's key lives in the node: the map goes first
    bytes_ -= node->key.size() + node->value.size();
    index_.erase(found);
    order_.erase(node);
  }
  const size_t size = input.size() + value.size();
  if (size > maxEntryBytes_) return;
  order_.push_front(Entry{std::string(input), value, generation_});
  index_.emplace(order_.front().key, order_.begin());
  bytes_ += size;
  Evict();
}

void FragmentCache::Evict() {
  while (bytes_ > maxBytes_ && !order_.empty()) {
    Entry& last = order_.back();
    bytes_ -= last.key.size() + last.value.size();
    index_.erase(last.key);
    order_.pop_back();
  }
}

void FragmentCache::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  index_.clear();  // its keys live in the list's nodes: the index goes first
  order_.clear();
  bytes_ = 0;
}

void FragmentCache::Age() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = order_.begin(); it != order_.end();) {
    if (it->generation == generation_) {
      ++it;
      continue;
    }
    bytes_ -= it->key.size() + it->value.size();
    index_.erase(it->key);
    it = order_.erase(it);
  }
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
