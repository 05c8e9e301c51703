#pragma once
#include <libxml/tree.h>

#include <cstddef>
#include <string>
#include <vector>

#include "feeds/rss2.h"
#include "feeds/rxml.h"

namespace norvane {

// The channel log's own marks on an item: the first child rg:log with its type, the
// second rg:revday with the date of the fetch the item first came in.
inline constexpr const char* kLogNew = "new";      // first seen in the latest changed feed
inline constexpr const char* kLogToday = "today";  // still in the feed
inline constexpr const char* kLogPast = "log";     // left the feed, kept from the past

// Stamps the items of a feed just fetched as "new", dated date. The items, in document
// order. Throws XmlError when the document refuses a node.
std::vector<xmlNodePtr> StampArrivedItems(TRXML& fetched, const FeedPaths& paths,
                                          const std::string& date);

// What MergeLog did.
struct LogMergeResult {
  // The fetched items no old item paired with, in document order: they stay "new" and
  // are the ones a scrapbook is offered.
  std::vector<xmlNodePtr> newItems;
  size_t paired = 0;   // fetched items that took an old item's date and became "today"
  size_t trimmed = 0;  // "log" items dropped past logCnt
  size_t kept = 0;     // old items moved behind the fetched ones
  // Empty when the merge ran to its end. Otherwise why it stopped: the fetched document
  // stays as far as the merge got, and old items not yet moved are not in it.
  std::string error;
  bool complete() const { return error.empty(); }
};

// Merges a channel's stored log into the feed just fetched and stamped (StampArrivedItems):
// - a fetched item whose link (compared without regard to ASCII case) an old item holds
//   becomes "today" with that item's date; among several, the old item nearest the end
//   pairs first, and each old item pairs once; items without a link pair by the empty link;
// - the old items left before the first "log" one become "log";
// - of the old items left, those of type "log" at positions logCnt and beyond go (below
//   0: as 0); so logCnt bounds the items kept from the past, never the feed's own;
// - the rest move, in their order, behind the fetched items.
// paths are the fetched feed's, used for both documents. Needs no server and no files:
// both documents are the caller's, used by the calling thread alone; old gives up its
// items. Never throws; a failure on one pairing is traced and skipped.
LogMergeResult MergeLog(TRXML& fetched, TRXML& old, const FeedPaths& paths, int logCnt);

// A reload that brought no changed feed: every "new" item of the log becomes "today";
// dates and everything else stay. How many changed.
size_t MarkUnchanged(TRXML& log, const FeedPaths& paths);

}  // namespace norvane
