#include "core/allocator_tuning.h"

#include <malloc.h>

namespace norvane {

void TuneAllocator() {
  mallopt(M_ARENA_MAX, 2);
}

void ReleaseFreedMemory() { malloc_trim(0); }

}  // namespace norvane
