// The channel log merge on any two documents: the input is a stored log and a fetched
// feed, split at the first NUL byte, with LOG_CNT taken from the first byte. The merge
// never throws, accounts for every item, and leaves a document the program parses again.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "feeds/log_merge.h"
#include "feeds/rss2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int logCnt = static_cast<int>(data[0] % 8) - 1;  // -1 to 6: a negative one too
  std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t split = bytes.find('\0');
  if (split == std::string_view::npos) return 0;
  norvane::TRXML old, fetched;
  old.LoadFromString(bytes.substr(0, split), "log");
  if (!fetched.LoadFromString(bytes.substr(split + 1), "http://127.0.0.1/fuzz")) return 0;
  const std::string version = norvane::DetectRSSVersion(fetched);
  if (version.empty()) return 0;
  const norvane::FeedPaths& paths = norvane::PathsForVersion(version);
  size_t fetchedItems = 0;
  try {
    fetchedItems = norvane::StampArrivedItems(fetched, paths, "Mon, 01 Dec 2025 10:00:00 GMT").size();
  } catch (const std::exception&) {
    return 0;  // a document that refuses the marks is never merged
  }
  const size_t oldItems = old.SelectNodes(paths.items).Length();
  const norvane::LogMergeResult result = norvane::MergeLog(fetched, old, paths, logCnt);
  if (result.paired + result.newItems.size() != fetchedItems) std::abort();
  if (result.complete()) {
    if (result.paired + result.kept + result.trimmed != oldItems) std::abort();
    if (fetched.SelectNodes(paths.items).Length() != fetchedItems + result.kept) std::abort();
  }
  return 0;
}
