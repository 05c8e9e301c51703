#pragma once

namespace norvane {

// The allocator's settings for this program, before any thread starts: every connection
// has a thread of its own, and without them each request grows a fresh heap and hands
// it back at its end, and page faults take half the time of a page. The benchmarks use
// them too, so they measure the program as it runs.
void TuneAllocator();

// Hands the free pages of every heap back to the system.
void ReleaseFreedMemory();

}  // namespace norvane
