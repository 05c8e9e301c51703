#include "feeds/page_cache_share.h"

namespace norvane {

namespace {
thread_local PageCacheShare* t_pageShare = nullptr;
}  // namespace

bool PageCacheShare::Take(const FragmentCache* cache, size_t cacheBound, size_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = taken_.begin();
  while (it != taken_.end() && it->first != cache) ++it;
  if (it == taken_.end()) it = taken_.insert(taken_.end(), {cache, 0});
  if (it->second + bytes > cacheBound / 2) return false;
  it->second += bytes;
  return true;
}

PageCacheShare* PageCacheShare::Current() { return t_pageShare; }

PageCacheScope::PageCacheScope(PageCacheShare* share) : previous_(t_pageShare) { t_pageShare = share; }

PageCacheScope::~PageCacheScope() { t_pageShare = previous_; }

}  // namespace norvane
