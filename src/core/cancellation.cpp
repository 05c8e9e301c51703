#include "core/cancellation.h"

#include <atomic>

namespace norvane {

namespace {
std::atomic<bool> g_cancelled{false};
}  // namespace

void CancelOutstandingWork() { g_cancelled.store(true); }
bool OutstandingWorkCancelled() { return g_cancelled.load(); }
void ResetCancellation() { g_cancelled.store(false); }

}  // namespace norvane
