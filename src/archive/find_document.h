#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "archive/archive_search.h"
#include "feeds/rxml.h"

namespace norvane {

// The address of a search page (route find.html or find.xml) for a phrase (Shift_JIS),
// narrowed to a group file when one is given, at a page (1: none given). Relative, with
// its parameters encoded and ue=on, so the router reads them as they are.
std::string FindAddress(std::string_view route, const std::string& phrase, const std::string& group, size_t page);

// A search as a feed: an RSS 2.0 document whose channel holds rg:find (the query, the
// outcome, the counts, where the index stands and the addresses of the pages around) and
// whose items are the page's results, each with its mark (rg:log), when it came in
// (rg:revday), its date (dc:date) and its feed (source, rg:site). doc is replaced.
// local is this program's own address ("http://localhost:4565/") for the feed's links.
// The rg:find element, for what the caller adds (the groups to choose from).
xmlNodePtr BuildFindDocument(TRXML& doc, const FindRequest& request, const FindResult& result, const std::string& group,
                       const std::string& local);

}  // namespace norvane
