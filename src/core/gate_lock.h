#pragma once
#include <mutex>

namespace norvane {

// The one process-wide reentrant lock. It lives in static storage, so it outlives
// every thread that can take it.
std::recursive_mutex& GateLock();

using GateGuard = std::lock_guard<std::recursive_mutex>;

}  // namespace norvane
