#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "archive/archive_indexer.h"
#include "archive/archive_source.h"

namespace norvane {

class TRSerch;

inline constexpr size_t kFindPageSize = 50;
// Longer keywords are refused: no one types them, and each costs the matcher.
inline constexpr size_t kMaxFindCharacters = 1000;

struct FindRequest {
  std::string phrase;  // w: the matcher's dialect, Shift_JIS
  size_t page = 1;     // from 1
  // Only the sources of these feed URLs (a group's), when narrowed.
  bool narrowed = false;
  std::vector<std::string> feedUrls;
};

// One item found, with the source it is stored in.
struct FoundItem {
  ArchiveItem item;
  bool book = false;
  std::string feedUrl;                // Shift_JIS; a book's scrap.xml address, completed
  std::string feedTitle, feedLink;    // UTF-8
};

struct FindResult {
  enum class Outcome {
    NoPhrase,  // nothing but spaces: the empty form
    TooLong,   // over kMaxFindCharacters
    Refused,   // not a pattern: error holds the matcher's message
    Found,     // total, page and items (the page's, newest first)
  };
  Outcome outcome = Outcome::NoPhrase;
  std::string error;  // Shift_JIS
  size_t total = 0;
  size_t page = 1, pages = 0;
  std::vector<FoundItem> items;
  IndexStatus index;     // where the index stood
  bool scanned = false;  // the files were read instead of the index
};

// Every stored item whose title, or else whose description, the phrase matches, as a
// scrapbook's matcher decides it (synonyms lent by lender, the fuzzy table), newest
// first. The index only narrows what the matcher is given; while it cannot be read the
// files themselves are read. indexer may be null (no index).
FindResult FindItems(const FindRequest& request, ArchiveIndexer* indexer, const TRSerch& lender);

// The matcher's verdict on one item: its title, or else its description (each only
// where the item has one), as Shift_JIS the way the scrapbooks read them.
bool ItemMatches(TRSerch& matcher, const ArchiveItem& item);
bool TextsMatch(TRSerch& matcher, bool hasTitle, std::string_view title, bool hasDescription,
                std::string_view description);

}  // namespace norvane
