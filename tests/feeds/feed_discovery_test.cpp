// Finding the feed behind what a user typed: the address itself, the feeds a page
// advertises, or the site's conventional places. The pages themselves are case files in
// tests/data/feeds/; these tests follow whole readings against a local server.
#include "feeds/feed_discovery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/settings.h"
#include "core/texts.h"
#include "support/feed_server.h"

namespace norvane {
namespace {

using Kind = Discovery::Kind;

std::string Rss(const std::string& title) {
  return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>" + title +
         "</title><link>http://127.0.0.1/</link><description>d</description></channel></rss>";
}

std::string PageLinking(const std::vector<std::string>& hrefs) {
  std::string head;
  for (const std::string& h : hrefs)
    head += "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"T " + h + "\" href=\"" + h + "\">";
  return "<!DOCTYPE html><html><head><title>p</title>" + head + "</head><body>page</body></html>";
}

TEST(FeedDiscovery, WhatATypedAddressIsTriedAs) {
  struct Case {
    const char* typed;
    std::vector<std::string> tried;
  } cases[] = {
      {"https://example.jp/feed", {"https://example.jp/feed"}},
      {"  HTTP://example.jp/  ", {"HTTP://example.jp/"}},
      {"example.jp", {"https://example.jp", "http://example.jp"}},
      {"www.example.jp/blog?x=1", {"https://www.example.jp/blog?x=1", "http://www.example.jp/blog?x=1"}},
      {"localhost", {"https://localhost", "http://localhost"}},
      {"127.0.0.1:8080/feed", {"https://127.0.0.1:8080/feed", "http://127.0.0.1:8080/feed"}},
      {"intranet:81", {"https://intranet:81", "http://intranet:81"}},
      {"no-scheme", {}},           // one word is no host name
      {"ftp://example.jp/f", {}},  // only http and https
      {"file:///etc/passwd", {}},
      {"javascript:alert(1)", {}},
      {"exa mple.jp", {}},
      {"example.jp/a b", {}},
      {".example.jp", {}},
      {"example.jp:99999", {}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(AddressesToTry(c.typed), c.tried) << c.typed;
}

TEST(FeedDiscovery, SameAddressIgnoresFragmentCaseDefaultPortAndEmptyPath) {
  struct Case {
    const char *a, *b;
    bool same;
  } cases[] = {
      {"http://Example.JP", "http://example.jp/", true},
      {"https://example.jp:443/a#x", "https://example.jp/a", true},
      {"http://example.jp:80/a?q=1", "http://example.jp/a?q=1", true},
      {"http://example.jp/A", "http://example.jp/a", false},  // paths keep their case
      {"http://example.jp/a", "https://example.jp/a", false},
      {"http://example.jp:8080/", "http://example.jp/", false},
      {"http://example.jp/a?q=1", "http://example.jp/a?q=2", false},
  };
  for (const Case& c : cases) EXPECT_EQ(SameAddress(c.a, c.b), c.same) << c.a << " " << c.b;
}

TEST(FeedDiscovery, IconsAPageNamesComeIconsFirstThenTouchIconsWithoutSvg) {
  const std::string page = "http://example.jp/blog/post";
  struct Case {
    const char* name;
    std::string head;
    std::vector<std::string> icons;
  } cases[] = {
      {"none", "<title>t</title>", {}},
      {"icon", "<link rel=\"icon\" href=\"/i.png\">", {"http://example.jp/i.png"}},
      {"shortcut icon, relative", "<link rel=\"Shortcut Icon\" href=\"fav.ico\">", {"http://example.jp/blog/fav.ico"}},
      {"touch icon after icons",
       "<link rel=\"apple-touch-icon\" href=\"/t.png\"><link rel=\"icon\" href=\"/i.png\">",
       {"http://example.jp/i.png", "http://example.jp/t.png"}},
      {"base", "<base href=\"http://cdn.example.jp/s/\"><link rel=\"icon\" href=\"i.gif\">", {"http://cdn.example.jp/s/i.gif"}},
      {"svg by type", "<link rel=\"icon\" type=\"image/svg+xml\" href=\"/i\">", {}},
      {"svg by name", "<link rel=\"icon\" href=\"/i.SVG?v=2\"><link rel=\"icon\" href=\"/i.png\">", {"http://example.jp/i.png"}},
      {"not http", "<link rel=\"icon\" href=\"data:image/png;base64,AAAA\"><link rel=\"icon\" href=\"javascript:x\">", {}},
      {"repeat", "<link rel=\"icon\" href=\"/i.png\"><link rel=\"icon\" href=\"http://EXAMPLE.jp/i.png\">", {"http://example.jp/i.png"}},
      {"no href", "<link rel=\"icon\">", {}},
      {"alternate is no icon", "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"/feed\">", {}},
      {"at most four",
       "<link rel=\"icon\" href=\"/1.png\"><link rel=\"icon\" href=\"/2.png\"><link rel=\"icon\" href=\"/3.png\">"
       "<link rel=\"icon\" href=\"/4.png\"><link rel=\"icon\" href=\"/5.png\">",
       {"http://example.jp/1.png", "http://example.jp/2.png", "http://example.jp/3.png", "http://example.jp/4.png"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FindAdvertisedIcons("<!DOCTYPE html><html><head>" + c.head + "</head><body>x</body></html>", page), c.icons)
        << c.name;
  EXPECT_TRUE(FindAdvertisedIcons("", page).empty());
  EXPECT_TRUE(FindAdvertisedIcons("\x89PNG binary", page).empty());
}

TEST(FeedDiscovery, TheSiteOfAnAddressIsItsSchemeAndHostAlone) {
  struct Case {
    const char* url;
    const char* site;
  } cases[] = {
      {"http://Example.JP/blog/?q=1#x", "http://example.jp"},
      {"https://example.jp:443/", "https://example.jp"},
      {"http://127.0.0.1:8080/feed", "http://127.0.0.1:8080"},
      {"https://user:pw@example.jp/", "https://example.jp"},
      {"http://example.jp", "http://example.jp"},
      {"ftp://example.jp/", ""},
      {"javascript:alert(1)", ""},
      {"example.jp", ""},
      {"http:///path", ""},
      {"http://exa mple.jp/", ""},
      {"http://example.jp\"><script>/", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(SiteOf(c.url), c.site) << c.url;
}

class Discover : public ::testing::Test {
 protected:
  void SetUp() override { UpdateSettings([](Settings& s) { s.READTIMEOUT = 5000; }); }
  void TearDown() override { ResetSettings(); }
  test::FeedServer server_;
};

TEST_F(Discover, AFeedIsTakenAsItIsWithOneRequest) {
  server_.Serve("/feed.xml", Rss("Direct"));
  Discovery d = DiscoverFeeds(server_.Url("/feed.xml"));
  ASSERT_EQ(d.kind, Kind::Feed);
  EXPECT_EQ(d.address, server_.Url("/feed.xml"));
  ASSERT_TRUE(d.feed);
  EXPECT_EQ(d.feed->GetTitle(), "Direct");
  EXPECT_EQ(server_.RequestCount(), 1u);
}

TEST_F(Discover, APageOffersWhatItAdvertisesAndNothingElseIsFetched) {
  server_.Serve("/blog/", PageLinking({"feed.rss", "/atom.xml"}), "text/html");
  Discovery d = DiscoverFeeds(server_.Url("/blog/"));
  ASSERT_EQ(d.kind, Kind::Offers);
  EXPECT_TRUE(d.isPage);
  ASSERT_EQ(d.offers.size(), 2u);
  EXPECT_EQ(d.offers[0].url, server_.Url("/blog/feed.rss"));
  EXPECT_EQ(d.offers[0].title, "T feed.rss");
  EXPECT_EQ(d.offers[0].type, "application/rss+xml");
  EXPECT_EQ(d.offers[1].url, server_.Url("/atom.xml"));
  EXPECT_EQ(server_.RequestCount(), 1u) << "the offered feeds are read when one is added";
}

TEST_F(Discover, APageAdvertisingNoneHasTheSitesUsualPlacesTriedAllAtOnce) {
  server_.Serve("/about", PageLinking({}), "text/html");
  // Every place answers slowly, so the requests overlap when they are made at once.
  auto slow = [](int status, std::string body, std::string type) {
    test::FeedRoute r;
    r.status = status;
    r.body = std::move(body);
    r.contentType = std::move(type);
    r.delay = std::chrono::milliseconds(300);
    return r;
  };
  for (const char* missing : {"/feed", "/feed.xml", "/rss.xml"}) server_.Route(missing, slow(404, "no", "text/plain"));
  server_.Route("/atom.xml", slow(200, Rss("Atom place"), "application/xml"));
  server_.Route("/feed.json",
                slow(200, "{\"version\":\"https://jsonfeed.org/version/1.1\",\"title\":\"JSON place\",\"items\":[]}",
                     "application/feed+json"));
  server_.Redirect("/rss", 301, server_.Url("/feed.json"));  // the same feed once more
  server_.Route("/index.xml", slow(200, "<html><body>not a feed</body></html>", "text/html"));
  Discovery d = DiscoverFeeds(server_.Url("/about"));
  ASSERT_EQ(d.kind, Kind::Offers);
  // In the order of the places, a place that leads to one found before left out; the
  // address offered is the place's own.
  ASSERT_EQ(d.offers.size(), 2u);
  EXPECT_EQ(d.offers[0].url, server_.Url("/rss"));
  EXPECT_EQ(d.offers[0].title, "JSON place");
  EXPECT_EQ(d.offers[1].url, server_.Url("/atom.xml"));
  EXPECT_EQ(d.offers[1].title, "Atom place");
  for (std::string_view place : kConventionalFeedPaths)
    EXPECT_GE(server_.RequestCount(std::string(place)), 1u) << place;
  // The page, the seven places and the hop of the redirect: nothing else.
  EXPECT_EQ(server_.RequestCount(), 1u + kConventionalFeedPaths.size() + 1u);
  EXPECT_GT(server_.MaxInFlight(), 1) << "the places are asked at once";
}

TEST_F(Discover, AFeedLinkBackToThePageIsRefusedAndTheUsualPlacesAreTried) {
  server_.Serve("/page", PageLinking({"/page#rss"}), "text/html");
  Discovery d = DiscoverFeeds(server_.Url("/page"));
  EXPECT_EQ(d.kind, Kind::NoneFound);
  EXPECT_TRUE(d.linkBackToPage);
  EXPECT_TRUE(d.isPage);
  EXPECT_EQ(server_.RequestCount("/page"), 1u) << "the page is never read as its own feed";
  EXPECT_EQ(server_.RequestCount("/feed"), 1u);
}

TEST_F(Discover, ABareHostIsTriedAsHttpsThenHttp) {
  server_.Serve("/feed.xml", Rss("Plain"));
  const std::string bare = "127.0.0.1:" + std::to_string(server_.port()) + "/feed.xml";
  Discovery d = DiscoverFeeds(bare);
  ASSERT_EQ(d.kind, Kind::Feed);
  // The https attempt reached the plain server and failed there; http answered.
  EXPECT_EQ(d.address, "http://" + bare);
}

TEST_F(Discover, FailuresSayWhy) {
  Discovery missing = DiscoverFeeds(server_.Url("/missing"));
  EXPECT_EQ(missing.kind, Kind::Failed);
  EXPECT_NE(missing.failure.find("404"), std::string::npos) << missing.failure;
  EXPECT_EQ(server_.RequestCount(), 1u) << "no usual place is tried without a page";

  server_.Serve("/other.xml", "<?xml version=\"1.0\"?><notes><note/></notes>");
  Discovery other = DiscoverFeeds(server_.Url("/other.xml"));
  EXPECT_EQ(other.kind, Kind::NoneFound);
  EXPECT_FALSE(other.isPage);

  Discovery bad = DiscoverFeeds("not an address");
  EXPECT_EQ(bad.kind, Kind::BadAddress);
  EXPECT_EQ(bad.failure, T().badFeedUrl);
  EXPECT_EQ(server_.RequestCount(), 2u);
}

}  // namespace
}  // namespace norvane
