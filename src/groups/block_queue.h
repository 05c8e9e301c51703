#pragma once
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace norvane {

// The blocks of a page that workers finish in any order, handed to its one reader in page
// order. A block done ahead of its turn waits here; the producer keeps that bounded by
// waiting (WaitTaken) before it starts more work. Every call may come from any thread.
class BlockQueue {
 public:
  // Blocks 0 to count - 1 are expected.
  explicit BlockQueue(size_t count);

  // A worker's block. Dropped once the reader left.
  void Put(size_t index, std::string block);
  // The reader: the next block in page order, waiting for it; nullopt once the producer
  // ended and the next block did not come (after the last one, or when it failed).
  std::optional<std::string> Take();
  // The producer: waits until every block before index was taken, or the reader left.
  void WaitTaken(size_t index);
  // The reader left: blocks waiting and to come are dropped, and no one waits for it.
  void Leave();
  // The producer ended: no more blocks come.
  void End();

  // The most blocks that waited at once.
  size_t MostWaiting() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<size_t, std::string> waiting_;
  size_t count_;
  size_t next_ = 0;  // the block the reader takes next
  size_t mostWaiting_ = 0;
  bool left_ = false;
  bool ended_ = false;
};

}  // namespace norvane
