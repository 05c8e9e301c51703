#include "feeds/style_cache.h"

#include <libxslt/xsltInternals.h>
#include <sys/stat.h>

#include <map>
#include <mutex>
#include <tuple>
#include <utility>
#include <vector>

#include "core/disk_path.h"
#include "feeds/rxml.h"

namespace norvane {

namespace {

using Stamp = std::tuple<long long, long long, long long>;  // mtime s, ns, size; all -1: gone

Stamp StampOf(const std::string& disk) {
  struct stat st;
  if (stat(disk.c_str(), &st) != 0) return {-1, -1, -1};
  return {static_cast<long long>(st.st_mtim.tv_sec), static_cast<long long>(st.st_mtim.tv_nsec),
          static_cast<long long>(st.st_size)};
}

// The files a compiled stylesheet was made of: its own, what it includes and imports.
void CollectFiles(xsltStylesheetPtr style, std::vector<std::string>& files) {
  for (; style; style = style->next) {
    if (style->doc && style->doc->URL) files.emplace_back(reinterpret_cast<const char*>(style->doc->URL));
    for (xsltDocumentPtr inc = style->includes; inc; inc = inc->next)
      if (inc->doc && inc->doc->URL) files.emplace_back(reinterpret_cast<const char*>(inc->doc->URL));
    CollectFiles(style->imports, files);
  }
}

struct Entry {
  std::vector<std::pair<std::string, Stamp>> files;  // the main file first
  std::shared_ptr<const CompiledStyle> style;

  bool Fresh() const {
    for (const auto& [file, stamp] : files)
      if (StampOf(file) != stamp) return false;
    return true;
  }
};

std::mutex& CacheMutex() {
  static std::mutex m;
  return m;
}
std::map<std::string, Entry>& Cache() {
  static std::map<std::string, Entry> cache;
  return cache;
}

}  // namespace

CompiledStyle::~CompiledStyle() {
  if (style_) xsltFreeStylesheet(style_);
}

std::shared_ptr<const CompiledStyle> CachedStyle(const std::string& path) {
  const std::string disk = DiskPath(path);
  const Stamp stamp = StampOf(disk);
  if (std::get<0>(stamp) < 0 || !FileExists(disk)) return nullptr;
  {
    std::lock_guard lock(CacheMutex());
    auto it = Cache().find(disk);
    if (it != Cache().end() && it->second.Fresh()) return it->second.style;
  }
  // Compiled outside the lock: two requests may compile the same file once each, and
  // the later one is kept; nobody waits for another's compilation.
  TRXML doc;
  doc.Load(path);
  std::shared_ptr<const CompiledStyle> style = CompileStyle(doc);
  Entry entry{{{disk, stamp}}, style};
  std::vector<std::string> files;
  CollectFiles(style->get(), files);
  for (const std::string& f : files)
    if (f != disk) entry.files.emplace_back(f, StampOf(f));
  std::lock_guard lock(CacheMutex());
  Cache()[disk] = std::move(entry);
  return style;
}

void ClearStyleCache() {
  std::lock_guard lock(CacheMutex());
  Cache().clear();
}

}  // namespace norvane
