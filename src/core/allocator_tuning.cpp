#include "core/allocator_tuning.h"

#include <malloc.h>

namespace norvane {

void TuneAllocator() {
  mallopt(M_ARENA_MAX, 2);
  mallopt(M_TRIM_THRESHOLD, 16 << 20);
  mallopt(M_MMAP_THRESHOLD, 4 << 20);
}

}  // namespace norvane
