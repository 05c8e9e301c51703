#pragma once
#include <memory>
#include <mutex>
#include <string>

namespace norvane {

// Serialises the runs of one channel log file: two requests for the same channel (or a
// request and the patrol) take turns, so the later save never drops the other's new
// items. Different channels never wait for each other.
class ChannelLogLock {
 public:
  explicit ChannelLogLock(const std::string& logPath);
  ~ChannelLogLock();
  ChannelLogLock(const ChannelLogLock&) = delete;
  ChannelLogLock& operator=(const ChannelLogLock&) = delete;

 private:
  std::string path_;
  std::shared_ptr<std::mutex> mutex_;
};

}  // namespace norvane
