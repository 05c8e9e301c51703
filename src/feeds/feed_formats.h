#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "feeds/rxml.h"

namespace norvane {

// Feeds as they come, made the RSS the rest of the program reads, right after a fetch:
// - an Atom 1.0 feed becomes an RSS 2.0 document (feed title, alternate link and
//   subtitle for the channel; per entry the title, alternate link, content or summary as
//   HTML, published or updated as an RFC 822 pubDate, id as guid, author as dc:creator,
//   enclosure links as enclosures; relative addresses resolved against xml:base and the
//   feed URL);
// - RSS 1.0 written with a prefix (rss:channel, rss:item) loses the prefix;
// - an rss root without a version attribute is read as RSS 2.0.
// Anything else is left as it is. Never throws; false when the document was no feed of
// these kinds (it is then untouched).
bool NormaliseFeed(TRXML& doc, const std::string& feedUrl);

// A JSON Feed (1.0 or 1.1) as RSS 2.0 text (UTF-8), mapped as Atom is; nullopt when the
// bytes are no JSON Feed. A feed is known by its version URL, or, without one, by the
// answer's type: application/feed+json, or application/json with an items list.
std::optional<std::string> JsonFeedToRss(std::string_view bytes, const std::string& feedUrl,
                                         std::string_view contentType = {});

// True for a web page: bytes with <html> or an HTML doctype near their start, a fragment
// that starts with <head> or <body>, or an answer of type text/html.
bool LooksLikeHtmlPage(std::string_view bytes, std::string_view contentType = {});

// Why bytes that came for a feed are none, when they are a web page: "an HTML page, not a
// feed", followed by the address of the first feed the page advertises (see
// FindAdvertisedFeeds), if it advertises one. Empty for anything else.
std::string HtmlPageReason(std::string_view bytes, const std::string& pageUrl,
                           std::string_view contentType = {});

// An ISO 8601 date and time as RFC 822 ("Tue, 01 Apr 2025 09:00:00 +0900"); empty when it
// is none.
std::string Rfc822FromIso(std::string_view iso);

}  // namespace norvane
