#include "htr/script_arena.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstring>

namespace norvane {

namespace {

// In front of every block: its size class (or kLargeClass) and the size asked for.
struct Head {
  uint32_t cls;
  uint32_t unused;
  size_t size;
};
static_assert(sizeof(Head) == 16);

constexpr uint32_t kLargeClass = 0xFFFFFFFF;
constexpr size_t kSmallest = 16;
constexpr size_t kSlabSize = size_t{2} << 20;
constexpr size_t kSlabHead = 16;  // the link to the next slab

Head* HeadOf(const void* block) {
  return reinterpret_cast<Head*>(const_cast<char*>(static_cast<const char*>(block)) - sizeof(Head));
}

void* Map(size_t size) {
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

}  // namespace

// A large block's own mapping: the links, then its Head, then the block.
struct ScriptArena::Large {
  Large* prev;
  Large* next;
  size_t mapped;
  size_t unused;
};

ScriptArena::~ScriptArena() {
  while (slabs_) {
    void* next;
    std::memcpy(&next, slabs_, sizeof next);
    munmap(slabs_, kSlabSize);
    slabs_ = next;
  }
  while (large_) {
    Large* next = large_->next;
    munmap(large_, large_->mapped);
    large_ = next;
  }
}

void* ScriptArena::Allocate(size_t size) {
  int cls = 0;
  while (cls < kClasses && (kSmallest << cls) < size) ++cls;
  if (cls == kClasses) return AllocateLarge(size);
  void* block = free_[cls];
  if (block) {
    std::memcpy(&free_[cls], block, sizeof(void*));
  } else {
    const size_t need = sizeof(Head) + (kSmallest << cls);
    if (slabLeft_ < need) {
      char* slab = static_cast<char*>(Map(kSlabSize));
      if (!slab) return nullptr;
      std::memcpy(slab, &slabs_, sizeof slabs_);
      slabs_ = slab;
      slab_ = slab + kSlabHead;
      slabLeft_ = kSlabSize - kSlabHead;
    }
    block = slab_ + sizeof(Head);
    slab_ += need;
    slabLeft_ -= need;
  }
  *HeadOf(block) = Head{static_cast<uint32_t>(cls), 0, size};
  return block;
}

void* ScriptArena::AllocateLarge(size_t size) {
  static_assert(sizeof(Large) % 16 == 0, "a large block stays aligned");
  const size_t mapped = sizeof(Large) + sizeof(Head) + size;
  if (mapped < size) return nullptr;
  auto* large = static_cast<Large*>(Map(mapped));
  if (!large) return nullptr;
  *large = Large{nullptr, large_, mapped, 0};
  if (large_) large_->prev = large;
  large_ = large;
  void* block = reinterpret_cast<char*>(large) + sizeof(Large) + sizeof(Head);
  *HeadOf(block) = Head{kLargeClass, 0, size};
  return block;
}

void ScriptArena::Free(void* block) {
  if (!block) return;
  const Head head = *HeadOf(block);
  if (head.cls != kLargeClass) {
    std::memcpy(block, &free_[head.cls], sizeof(void*));
    free_[head.cls] = block;
    return;
  }
  auto* large = reinterpret_cast<Large*>(static_cast<char*>(block) - sizeof(Head) - sizeof(Large));
  if (large->prev) large->prev->next = large->next;
  else large_ = large->next;
  if (large->next) large->next->prev = large->prev;
  munmap(large, large->mapped);
}

void* ScriptArena::Resize(void* block, size_t size) {
  if (!block) return Allocate(size);
  Head* head = HeadOf(block);
  const size_t room =
      head->cls == kLargeClass
          ? reinterpret_cast<Large*>(reinterpret_cast<char*>(head) - sizeof(Large))->mapped - sizeof(Large) - sizeof(Head)
          : kSmallest << head->cls;
  if (size <= room) {
    head->size = size;
    return block;
  }
  void* moved = Allocate(size);
  if (!moved) return nullptr;
  std::memcpy(moved, block, head->size);
  Free(block);
  return moved;
}

size_t ScriptArena::SizeOf(const void* block) { return HeadOf(block)->size; }

}  // namespace norvane
