#include "groups/fetch_workers.h"

#include <algorithm>

#include "core/comma_text.h"
#include "core/gate_lock.h"
#include "core/settings.h"
#include "core/trace.h"

namespace norvane {

size_t BatchSize(int maxConnection) {
  // Widened first: MAXCONNECTION + 1 must not overflow for the largest setting.
  long long size = static_cast<long long>(maxConnection) + 1;
  return static_cast<size_t>(std::max(1LL, size));
}

void SetTrayIcon(Shell* tray, int index) {
  if (!tray) return;
  GateGuard lock(GateLock());
  tray->SetTrayImage(index);
}

TRThread::TRThread(std::string paramText, size_t index)
    : ParamText(std::move(paramText)), Index(index) {}

TRThread::~TRThread() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
}

void TRThread::Execute(const FeedBuilder& build, std::stop_token stop) {
  if (stop.stop_requested()) return;
  try {
    ParamList params = ParseCommaText(ParamText);
    build(params, *Doc);
  } catch (const std::exception& e) {
    // The slot keeps an empty document; the other feeds go on.
    WriteErrorLog(TraceArea::Patrol, "Exception", e.what());
  } catch (...) {
    WriteErrorLog(TraceArea::Patrol, "Exception", "unknown");
  }
}

void TRThread::Start(const FeedBuilder& build, std::function<void(TRThread&)> done) {
  thread_ = std::jthread([this, &build, done = std::move(done)](std::stop_token stop) {
    Execute(build, stop);
    done(*this);
  });
}

void TRThread::Join() {
  if (thread_.joinable()) thread_.join();
}

TRTMnage::TRTMnage(std::vector<std::string> paramTexts, TRThread::FeedBuilder build, Shell* tray,
                   Finish finish)
    : paramTexts_(std::move(paramTexts)),
      build_(std::move(build)),
      tray_(tray),
      finish_(std::move(finish)),
      remaining_(paramTexts_.size()) {
  results_.reserve(paramTexts_.size());
  for (size_t i = 0; i < paramTexts_.size(); ++i) results_.push_back(std::make_unique<TRXML>());
}

TRTMnage::~TRTMnage() {
  // Each worker's destructor asks it to stop and joins it.
  workers_.clear();
}

void TRTMnage::ThreadDone(TRThread& worker) {
  if (finish_) finish_(worker.Index, worker.Doc);  // outside the lock: feeds finish in parallel
  std::lock_guard<std::mutex> lock(mutex_);
  results_[worker.Index] = std::move(worker.Doc);
  if (--unfinished_ == 0) batchDone_.notify_all();
}

void TRTMnage::TakeFromTheFront(std::function<void(size_t first)> beforeBatch) {
  fromTheFront_ = true;
  beforeBatch_ = std::move(beforeBatch);
}

void TRTMnage::Run() {
  const size_t batch = BatchSize(GetSettings().MAXCONNECTION);
  int frame = 0;
  auto nextFrame = [this, &frame] {
    SetTrayIcon(tray_, frame);
    frame = std::min(frame + 1, 3);
  };
  while (remaining_ > 0) {
    workers_.clear();
    if (beforeBatch_) beforeBatch_(paramTexts_.size() - remaining_);
    for (size_t k = 0; k < batch && remaining_ > 0; ++k) {
      --remaining_;
      const size_t index = fromTheFront_ ? paramTexts_.size() - 1 - remaining_ : remaining_;
      workers_.push_back(std::make_unique<TRThread>(paramTexts_[index], index));
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      unfinished_ = workers_.size();
    }
    for (size_t k = 0; k < workers_.size(); ++k) {
      try {
        workers_[k]->Start(build_, [this](TRThread& w) { ThreadDone(w); });
      } catch (...) {
        // No thread for the rest of the batch: they will never complete, so they are
        // no longer waited for; the destructor joins those that did start.
        {
          std::lock_guard<std::mutex> lock(mutex_);
          unfinished_ -= workers_.size() - k;
        }
        SetTrayIcon(tray_, 4);
        throw;
      }
    }
    nextFrame();
    {
      std::unique_lock<std::mutex> lock(mutex_);
      batchDone_.wait(lock, [this] { return unfinished_ == 0; });
    }
    for (auto& w : workers_) w->Join();
    nextFrame();
  }
  workers_.clear();
  SetTrayIcon(tray_, 4);
}

}  // namespace norvane
