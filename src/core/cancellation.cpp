#include "core/cancellation.h"

namespace norvane {

namespace {
std::atomic<bool> g_cancelled{false};
thread_local const CancelFlag* t_flag = nullptr;
}  // namespace

void CancelOutstandingWork() { g_cancelled.store(true); }
bool OutstandingWorkCancelled() { return g_cancelled.load(); }
void ResetCancellation() { g_cancelled.store(false); }

CancelScope::CancelScope(const CancelFlag& flag) : outer_(t_flag) { t_flag = &flag; }
CancelScope::~CancelScope() { t_flag = outer_; }

bool WorkCancelled() { return OutstandingWorkCancelled() || (t_flag && t_flag->Cancelled()); }

}  // namespace norvane
