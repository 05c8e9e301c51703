#pragma once
#include <chrono>
#include <functional>
#include <thread>

namespace norvane::test {

// Waits until done holds, looking every few milliseconds; false when limit passed first.
// For what another thread finishes, not for timing it.
inline bool Within(std::chrono::milliseconds limit, const std::function<bool()>& done) {
  for (auto end = std::chrono::steady_clock::now() + limit; !done();
       std::this_thread::sleep_for(std::chrono::milliseconds(5)))
    if (std::chrono::steady_clock::now() > end) return false;
  return true;
}

}  // namespace norvane::test
