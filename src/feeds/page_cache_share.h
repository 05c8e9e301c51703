#pragma once
#include <cstddef>
#include <mutex>
#include <utility>
#include <vector>

namespace norvane {

class FragmentCache;

// What one page may add to each of the caches its transform fills: half of the cache's
// bound. A page whose markup is larger than a cache would otherwise fill it to its bound
// with entries that push each other out before the page is shown again (its next
// showing finds none of them), and push out what every smaller page would have found. So
// a large group page keeps the markup of its first items and makes the rest as it goes;
// a page that fits keeps all of it, as before. Shared by every thread that renders for
// the page (the group page's workers). Thread-safe.
class PageCacheShare {
 public:
  // Whether bytes more may be kept in cache for this page (of a cache bounded by
  // cacheBound); counts them when so.
  bool Take(const FragmentCache* cache, size_t cacheBound, size_t bytes);

  // The share of the page the calling thread renders for; null outside any page.
  static PageCacheShare* Current();

 private:
  std::mutex mutex_;
  std::vector<std::pair<const FragmentCache*, size_t>> taken_;  // bytes kept, by cache
};

// Makes share the calling thread's page share for the scope's life (null: none), then
// gives back the one before.
class PageCacheScope {
 public:
  explicit PageCacheScope(PageCacheShare* share);
  ~PageCacheScope();
  PageCacheScope(const PageCacheScope&) = delete;
  PageCacheScope& operator=(const PageCacheScope&) = delete;

 private:
  PageCacheShare* previous_;
};

}  // namespace norvane
