#pragma once
#include <string>

#include "core/unique_fd.h"

namespace norvane {

// One running copy per program folder: an advisory lock on a file there, released by
// the kernel when the process ends, however it ends.
class InstanceLock {
 public:
  explicit InstanceLock(const std::string& diskPath);
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True when this process holds the lock; false when another copy does (or the file
  // cannot be opened, which is then reported by error()).
  bool held() const { return held_; }
  const std::string& error() const { return error_; }

 private:
  UniqueFd fd_;
  bool held_ = false;
  std::string error_;
};

}  // namespace norvane
