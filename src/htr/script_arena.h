#pragma once
#include <cstddef>

namespace norvane {

// The script engine's heap: memory taken straight from the kernel (mmap), never from
// malloc. A script runs in a forked copy of this many-threaded process, where a lock of
// the process's allocator may have been held by another thread at the fork and is then
// never released: an allocation through malloc there can wait forever. Blocks come in
// power-of-two sizes from slabs, each size with its own free list; a block over the
// largest size has its own mapping. Not thread-safe: one engine heap, one thread at a
// time (the forked copy holds a copy of its own).
class ScriptArena {
 public:
  ScriptArena() = default;
  ~ScriptArena();  // every slab and large block goes back to the kernel
  ScriptArena(const ScriptArena&) = delete;
  ScriptArena& operator=(const ScriptArena&) = delete;

  // A block of at least size bytes, aligned for any type; nullptr when the kernel gives
  // no memory.
  void* Allocate(size_t size);
  void Free(void* block);
  // The block's contents in a block of size bytes (the same one when it fits).
  void* Resize(void* block, size_t size);
  // The size asked for when the block was made or last resized.
  static size_t SizeOf(const void* block);

 private:
  struct Large;
  void* AllocateLarge(size_t size);

  static constexpr int kClasses = 17;  // 16 bytes to 1 MiB
  void* free_[kClasses] = {};
  char* slab_ = nullptr;     // the slab blocks are cut from
  size_t slabLeft_ = 0;
  void* slabs_ = nullptr;    // every slab, linked through its first bytes
  Large* large_ = nullptr;   // every large block, linked through its head
};

}  // namespace norvane
