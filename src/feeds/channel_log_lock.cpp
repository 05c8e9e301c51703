#include "feeds/channel_log_lock.h"

#include <map>

namespace norvane {

namespace {
struct Registry {
  std::mutex m;
  std::map<std::string, std::weak_ptr<std::mutex>> locks;
};
Registry& TheRegistry() {
  static Registry r;
  return r;
}
}  // namespace

ChannelLogLock::ChannelLogLock(const std::string& logPath) : path_(logPath) {
  Registry& r = TheRegistry();
  {
    std::lock_guard g(r.m);
    auto& slot = r.locks[path_];
    mutex_ = slot.lock();
    if (!mutex_) {
      mutex_ = std::make_shared<std::mutex>();
      slot = mutex_;
    }
  }
  mutex_->lock();
}

ChannelLogLock::~ChannelLogLock() {
  mutex_->unlock();
  Registry& r = TheRegistry();
  std::lock_guard g(r.m);
  mutex_.reset();
  auto it = r.locks.find(path_);
  if (it != r.locks.end() && it->second.expired()) r.locks.erase(it);
}

}  // namespace norvane
