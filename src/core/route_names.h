#pragma once
#include <string_view>

// The names of the gateway's routes, for the code that builds or recognises their
// addresses. What each route is (its order, whether it writes, its content type) is the
// route table's: src/gateway/route_table.h.
namespace norvane::routes {

inline constexpr std::string_view kRssHtml = "rss.html";    // a feed's page
inline constexpr std::string_view kAddXml = "add.xml";      // add a feed, answered as XML
inline constexpr std::string_view kAddHtml = "add.html";    // add a feed, the page
inline constexpr std::string_view kGpHtml = "gp.html";      // the group page
inline constexpr std::string_view kChHtml = "ch.html";      // a group's channels
inline constexpr std::string_view kOpmlXml = "opml.xml";    // a group file as it is
inline constexpr std::string_view kExportOpml = "export.opml";  // every group, for other readers
inline constexpr std::string_view kImportHtml = "import.html";  // another reader's OPML into the groups
inline constexpr std::string_view kSearch = "search";       // a search engine's results
inline constexpr std::string_view kScrapXml = "scrap.xml";  // a scrapbook's feed
inline constexpr std::string_view kFilter = "filter";       // today's items of every group
inline constexpr std::string_view kHtrXml = "htr.xml";      // the script gateway
inline constexpr std::string_view kHealthHtml = "health.html";  // the feeds that fail
inline constexpr std::string_view kFindHtml = "find.html";  // every stored item found, the page
inline constexpr std::string_view kFindXml = "find.xml";    // the same as a feed
inline constexpr std::string_view kKeep = "keep";           // keep an item in a book, or drop it
inline constexpr std::string_view kIcon = "icon";           // a site's icon, as the gateway keeps it

}  // namespace norvane::routes
