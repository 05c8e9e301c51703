#include "core/background_task.h"

#include <stdexcept>

namespace norvane {

BackgroundTask::BackgroundTask(std::function<void()> work)
    : thread_([this, work = std::move(work)] {
        {
          CancelScope scope(flag_);
          try {
            work();
          } catch (...) {
            failure_ = std::current_exception();
          }
        }
        finished_.store(true, std::memory_order_release);
      }) {}

BackgroundTask::~BackgroundTask() {
  if (!Finished()) Cancel();
  thread_.join();
}

void BackgroundTask::Rethrow() const {
  if (!Finished()) throw std::logic_error("BackgroundTask::Rethrow before the work finished");
  if (failure_) std::rethrow_exception(failure_);
}

}  // namespace norvane
