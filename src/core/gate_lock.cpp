#include "core/gate_lock.h"

namespace norvane {

std::recursive_mutex& GateLock() {
  static std::recursive_mutex lock;
  return lock;
}

}  // namespace norvane
