#pragma once

namespace norvane {

// The program's end cancels what it waits for: fetches in flight give up, scripts and
// external programs are stopped, and nothing new is begun. Set once by the orderly end;
// every long wait polls it at least once a second.
void CancelOutstandingWork();
bool OutstandingWorkCancelled();
// Back to normal operation (tests that start several servers in one process).
void ResetCancellation();

}  // namespace norvane
