#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "archive/archive_index.h"

namespace norvane {

// Where the index stands, for a search to say.
struct IndexStatus {
  enum class State {
    Starting,     // not opened yet
    Building,     // sources being read in: done of total
    Ready,        // in line with the files, but for saves still queued
    Unavailable,  // cannot be written or read: searches read the files themselves
  };
  State state = State::Starting;
  size_t done = 0, total = 0;
  std::string reason;  // Unavailable: why (the library's words)
};

// Keeps the archive index in line with the files, on a thread of its own: at start it
// opens the index (making it anew when missing, damaged or of another layout) and reads
// every source whose file changed since it was indexed, so a run that ended without its
// queue done (kill -9) loses nothing; then it takes the saves it is told of, one path at
// a time (a path told again before its turn is read once). Pages never wait for it.
//
// Locking: the queue and the status under mutex_; the reading connection under
// readerMutex_. The writing connection belongs to the thread.
class ArchiveIndexer {
 public:
  // indexDisk: the index file as a name on disk.
  explicit ArchiveIndexer(std::string indexDisk);
  // Stops the thread; what is still queued is found again at the next start.
  ~ArchiveIndexer();
  ArchiveIndexer(const ArchiveIndexer&) = delete;
  ArchiveIndexer& operator=(const ArchiveIndexer&) = delete;

  void Start();
  void Stop();

  // A source file (program path) was written or removed. Cheap; never blocks on the index.
  void SourceSaved(const std::string& programPath);

  // While a group refresh runs its workers the thread takes no file in (it would only
  // make them wait for the allocator and the disk); saves wait their turn. Each hold is
  // given back once; cheap, it never waits.
  void Hold(bool held);

  IndexStatus Status() const;
  // Runs read with the reading connection, one caller at a time; false (read not run)
  // while there is none: before the start is done, or while the index is unavailable.
  bool Read(const std::function<void(IndexReader&)>& read);

  // Waits until nothing is queued and the start is done, or the time is up; true when
  // settled. For tests and benchmarks.
  bool WaitSettled(std::chrono::milliseconds limit) const;

 private:
  void Run();
  // Opens the index and brings every source in line; false when the index failed.
  bool Open();
  void Sync(bool rebuilt);
  void Apply(const std::string& path);
  void SetStatus(IndexStatus::State state, size_t done, size_t total, std::string reason = {});
  // Until no hold is left, or the thread is to stop.
  void WaitUnheld();
  // Once the queue is done: the connections' cached pages and the heap's free pages go
  // back to the system.
  void ReleaseIdleMemory();
  bool Stopping() const { return stop_.load(); }

  const std::string indexDisk_;
  std::unique_ptr<SqliteDb> writer_;

  mutable std::mutex readerMutex_;
  std::unique_ptr<SqliteDb> reader_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::deque<std::string> queue_;
  std::set<std::string> queued_;
  bool resync_ = false;  // the queue overflowed: compare every file instead
  bool busy_ = false;    // a path is being applied
  bool damaged_ = false; // the index was found damaged: it is made anew
  int holds_ = 0;        // group refreshes running
  IndexStatus status_;

  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace norvane
