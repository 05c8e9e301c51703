#pragma once
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "core/params.h"
#include "core/shell.h"
#include "feeds/rxml.h"

namespace norvane {

// One feed of a group refresh: turns its parameter text back into a list and builds the
// channel document into Doc.
class TRThread {
 public:
  // Builds the channel document of one feed into the document given (the fetch and merge
  // happen here); throws when it cannot. Called on several workers at once, so it must be
  // safe to share.
  using FeedBuilder = std::function<void(const ParamList&, TRXML& into)>;

  TRThread(std::string paramText, size_t index);
  ~TRThread();  // asks the thread to stop and joins it
  TRThread(const TRThread&) = delete;
  TRThread& operator=(const TRThread&) = delete;

  // The thread body. Never throws: a document that cannot be built leaves Doc empty. A stop
  // asked for before the feed was begun leaves it untouched.
  void Execute(const FeedBuilder& build, std::stop_token stop);

  // Runs Execute on a thread of its own, then done(*this) on that same thread.
  void Start(const FeedBuilder& build, std::function<void(TRThread&)> done);
  void Join();

  const std::string ParamText;
  const size_t Index;
  std::unique_ptr<TRXML> Doc = std::make_unique<TRXML>();

 private:
  std::jthread thread_;
};

// Refreshes every feed of a group, MAXCONNECTION + 1 at a time: a batch is started and
// waited for as a whole before the next one starts, feeds taken from the end of the
// list (or from its front, for a page sent while it is made). Each result lands in its
// own slot, so Results stand in the order of the parameter texts whatever order the
// feeds finish in.
class TRTMnage {
 public:
  // Runs on the worker's own thread once its document is parsed, before it lands in
  // its slot; may take the document away (a caller that renders each channel at once
  // keeps none, and its slot is then empty). Must not throw.
  using Finish = std::function<void(size_t index, std::unique_ptr<TRXML>& doc)>;

  // tray shows the progress frames; none: no tray.
  TRTMnage(std::vector<std::string> paramTexts, TRThread::FeedBuilder build, Shell* tray,
           Finish finish = {});
  // Asks the workers still running to stop and joins them; no thread outlives this.
  ~TRTMnage();
  TRTMnage(const TRTMnage&) = delete;
  TRTMnage& operator=(const TRTMnage&) = delete;

  // For a page sent while it is made: feeds are taken from the front of the list, so the
  // first are done first, and beforeBatch(first) runs on Run's thread before the batch
  // that starts at index first is started (it may wait for the page to catch up). Called
  // before Run.
  void TakeFromTheFront(std::function<void(size_t first)> beforeBatch);

  // Blocks until every feed is done. Must not run on the main thread. Runs once.
  void Run();
  // One document per parameter text (an empty document for a feed that gave nothing).
  std::vector<std::unique_ptr<TRXML>>& Results() { return results_; }
  // Feeds not yet handed to a worker.
  size_t Remaining() const { return remaining_; }

 private:
  // A worker's completion, on that worker's thread: its document goes to its slot.
  void ThreadDone(TRThread& worker);

  const std::vector<std::string> paramTexts_;
  const TRThread::FeedBuilder build_;
  Shell* const tray_;
  const Finish finish_;
  std::function<void(size_t first)> beforeBatch_;
  bool fromTheFront_ = false;
  size_t remaining_;
  std::vector<std::unique_ptr<TRXML>> results_;

  std::mutex mutex_;  // guards unfinished_ and the slots of results_ while a batch runs
  std::condition_variable batchDone_;
  size_t unfinished_ = 0;
  std::vector<std::unique_ptr<TRThread>> workers_;  // the current batch; last member
};

// The number of feeds a batch holds for a MAXCONNECTION value: one more than the
// setting, and at least one.
size_t BatchSize(int maxConnection);

// Sets the tray icon's image under GateLock: 0 to 3 are the progress frames, 4 the
// normal icon. Without a shell it does nothing.
void SetTrayIcon(Shell* tray, int index);

}  // namespace norvane
