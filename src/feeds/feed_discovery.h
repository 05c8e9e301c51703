#pragma once
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "feeds/rss2.h"

namespace norvane {

// A feed a web page or a site offers. Program text (Shift_JIS); the address is ASCII,
// other bytes percent-encoded.
struct FeedOffer {
  std::string url;
  std::string title;  // the link's title attribute, or the feed's own title; may be empty
  std::string type;   // the media type the page names; empty for a feed found by trying
};

// How many feeds of one page are offered at most.
inline constexpr size_t kMaxOffers = 20;

// The places tried on a site whose page advertises no feed, in this order.
inline constexpr std::array<std::string_view, 7> kConventionalFeedPaths{
    "/feed", "/rss", "/feed.xml", "/rss.xml", "/atom.xml", "/index.xml", "/feed.json"};

// What a page advertises in its <link rel="alternate"> elements of an RSS, Atom or JSON
// Feed type (application/rss+xml, application/rdf+xml, application/atom+xml,
// application/feed+json).
struct AdvertisedFeeds {
  std::vector<FeedOffer> feeds;  // resolved, repeats left out, at most the limit
  // A link that resolves to the page itself was left out: following it would read the
  // page again.
  bool linkBackToPage = false;
};

// The feeds of an HTML page (at most its first MiB is read), in document order, each
// address resolved against the page's base: its <base href> resolved against pageUrl,
// else pageUrl (where the page came from, after redirects). Never throws.
AdvertisedFeeds FindAdvertisedFeeds(std::string_view html, const std::string& pageUrl,
                                    size_t limit = kMaxOffers);

// The icons a page names, best first: its <link rel="icon"> (also "shortcut icon"), then
// its <link rel="apple-touch-icon">, each resolved against the page's base as for feeds;
// links typed or named as SVG are left out (only bitmap icons are kept). At most limit.
std::vector<std::string> FindAdvertisedIcons(std::string_view html, const std::string& pageUrl,
                                             size_t limit = 4);

// The site of an address: "scheme://host[:port]", scheme and host lowered and a default
// port dropped; empty unless it is an http or https address with a host.
std::string SiteOf(std::string_view url);

// The addresses to read for what a user typed: the address itself when it names its
// scheme (http or https), "https://" then "http://" before a bare host name ("example.com",
// "example.com/blog", "localhost:8080"); none when it is neither.
std::vector<std::string> AddressesToTry(const std::string& typed);

// Two addresses of the same resource: the same but for the fragment, the letter case of
// scheme and host, a default port and an empty path.
bool SameAddress(std::string_view a, std::string_view b);

// What reading an address gave.
struct Discovery {
  enum class Kind {
    Feed,       // the address is a feed: `feed` holds it, `address` is its address
    Offers,     // a page that offers `offers` (at least one)
    NoneFound,  // a page (or another document) with no feed, nor any at the usual places
    Failed,     // no answer to read: `failure` says why
    BadAddress  // neither a URL nor a host name
  };
  Kind kind = Kind::BadAddress;
  std::string address;  // the address read: as typed, with the scheme that answered
  std::unique_ptr<TRSS2> feed;
  std::vector<FeedOffer> offers;
  bool linkBackToPage = false;  // the page's only feed links led back to it
  bool isPage = false;          // the answer was a web page
  std::string failure;          // Shift_JIS
};

// Reads what the user typed: a feed is taken as it is; a web page offers the feeds it
// advertises; a page that advertises none has the site's conventional places tried
// (kConventionalFeedPaths against the page's origin, all at once, each bounded by
// READTIMEOUT like any fetch), and the feeds found there are offered in that order. At
// most 1 + 7 requests for an address with its scheme. Never throws.
Discovery DiscoverFeeds(const std::string& typed);

}  // namespace norvane
