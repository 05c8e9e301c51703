#include "groups/block_queue.h"

#include <algorithm>

namespace norvane {

BlockQueue::BlockQueue(size_t count) : count_(count) {}

void BlockQueue::Put(size_t index, std::string block) {
  std::lock_guard lock(mutex_);
  if (left_ || index < next_ || index >= count_) return;
  waiting_[index] = std::move(block);
  mostWaiting_ = std::max(mostWaiting_, waiting_.size());
  changed_.notify_all();
}

std::optional<std::string> BlockQueue::Take() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return ended_ || waiting_.count(next_) > 0; });
  auto it = waiting_.find(next_);
  if (it == waiting_.end()) return std::nullopt;
  std::string block = std::move(it->second);
  waiting_.erase(it);
  ++next_;
  changed_.notify_all();
  return block;
}

void BlockQueue::WaitTaken(size_t index) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this, index] { return left_ || next_ >= index; });
}

void BlockQueue::Leave() {
  std::lock_guard lock(mutex_);
  left_ = true;
  waiting_.clear();
  changed_.notify_all();
}

void BlockQueue::End() {
  std::lock_guard lock(mutex_);
  ended_ = true;
  changed_.notify_all();
}

size_t BlockQueue::MostWaiting() const {
  std::lock_guard lock(mutex_);
  return mostWaiting_;
}

}  // namespace norvane
