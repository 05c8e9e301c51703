// A site's icon: searched from its channel link against a local server, kept in the icons
// folder only when its bytes are a bitmap icon of at most 100 KB, and searched in the
// background for the pages, which never wait for it.
#include "feeds/icon_store.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/settings.h"
#include "feeds/feed_discovery.h"
#include "support/bounded_wait.h"
#include "support/feed_server.h"
#include "support/program_home.h"

namespace norvane {
namespace {

using namespace std::string_literals;

const std::string kPng = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10"s;
const std::string kIco = "\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0\x68\4\0\0\x16\0\0\0"s;

std::string PageWith(const std::string& head) {
  return "<!DOCTYPE html><html><head><title>site</title>" + head + "</head><body>hello</body></html>";
}

// The names in the icons folder, temporary files included.
std::vector<std::string> IconFiles() {
  std::vector<std::string> names;
  if (DIR* d = opendir("icons")) {
    while (dirent* e = readdir(d))
      if (std::string n = e->d_name; n != "." && n != ".." && n != ".keep") names.push_back(n);
    closedir(d);
  }
  return names;
}

class IconSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_.Write("icons/.keep", "");
    UpdateSettings([](Settings& s) { s.READTIMEOUT = 5000; });
  }
  std::string Site() const { return SiteOf(server_.Url("/")); }

  test::ProgramHome home_;
  test::FeedServer server_;
};

TEST_F(IconSearchTest, AnIconThePageNamesIsKeptAndTheSiteIsAskedNothingMore) {
  server_.Serve("/blog/", PageWith("<link rel=\"icon\" href=\"/img/site.png\">"), "text/html");
  server_.Serve("/img/site.png", kPng, "image/png");
  const IconSearch found = SearchIcon(server_.Url("/blog/"));
  EXPECT_EQ(found.outcome, IconTry::Kept);
  EXPECT_EQ(found.format, IconFormat::Png);
  EXPECT_EQ(found.bytes, kPng);
  EXPECT_EQ(found.from, server_.Url("/img/site.png"));
  EXPECT_EQ(server_.RequestCount(), 2u);
  for (const test::SeenRequest& r : server_.Requests())
    EXPECT_NE(r.Header("User-Agent").find("Norvane/"), std::string::npos) << r.path;
}

TEST_F(IconSearchTest, APageNamingNoIconLeadsToTheSitesFavicon) {
  server_.Serve("/blog/", PageWith(""), "text/html");
  server_.Serve("/favicon.ico", kIco, "image/vnd.microsoft.icon");
  const IconSearch found = SearchIcon(server_.Url("/blog/"));
  EXPECT_EQ(found.outcome, IconTry::Kept);
  EXPECT_EQ(found.format, IconFormat::Ico);
  EXPECT_EQ(found.from, server_.Url("/favicon.ico"));
}

TEST_F(IconSearchTest, WhatIsNoBitmapIconOfAtMost100KBIsNeverKept) {
  struct Case {
    const char* name;
    test::FeedRoute icon;
  } cases[] = {
      {"an HTML page", {.body = PageWith(""), .contentType = "image/png"}},
      {"an SVG", {.body = "<svg xmlns=\"http://www.w3.org/2000/svg\"><script>alert(1)</script></svg>", .contentType = "image/x-icon"}},
      {"5 MB", {.contentType = "image/png", .generatedBytes = 5u << 20}},
      {"5 MB without a length", {.contentType = "image/png", .generatedBytes = 5u << 20, .chunked = true}},
      {"a 404", {.status = 404, .body = "gone", .contentType = "text/plain"}},
  };
  for (const Case& c : cases) {
    server_.Serve("/", PageWith("<link rel=\"icon\" href=\"/i\">"), "text/html");
    server_.Route("/i", c.icon);
    server_.Route("/favicon.ico", c.icon);
    const IconSearch found = SearchIcon(server_.Url("/"));
    EXPECT_EQ(found.outcome, IconTry::NoIcon) << c.name;
    EXPECT_TRUE(found.bytes.empty()) << c.name;
    IconStore store;
    store.Keep(Site(), found, 1000);
    EXPECT_FALSE(store.Kept(Site())) << c.name;
    EXPECT_EQ(IconFiles(), std::vector<std::string>{IconKey(Site()) + ".txt"}) << c.name << ": nothing half-written";
  }
}

TEST_F(IconSearchTest, AnSvgThePageNamesIsNotEvenAskedFor) {
  server_.Serve("/", PageWith("<link rel=\"icon\" type=\"image/svg+xml\" href=\"/i.svg\">"), "text/html");
  server_.Serve("/favicon.ico", kIco, "image/x-icon");
  EXPECT_EQ(SearchIcon(server_.Url("/")).from, server_.Url("/favicon.ico"));
  EXPECT_EQ(server_.RequestCount("/i.svg"), 0u);
}

TEST_F(IconSearchTest, ASiteThatDoesNotAnswerFailsAndOneWithoutAnIconHasNone) {
  server_.Route("/", {.status = 503, .body = "busy", .contentType = "text/plain"});
  server_.Route("/favicon.ico", {.status = 503, .body = "busy", .contentType = "text/plain"});
  EXPECT_EQ(SearchIcon(server_.Url("/")).outcome, IconTry::Failed);
  server_.Route("/", {.status = 404, .body = "no", .contentType = "text/plain"});
  server_.Route("/favicon.ico", {.status = 404, .body = "no", .contentType = "text/plain"});
  EXPECT_EQ(SearchIcon(server_.Url("/")).outcome, IconTry::NoIcon);
  EXPECT_EQ(SearchIcon("ftp://example.jp/").outcome, IconTry::NoIcon);
}

TEST(IconDueTest, AKeptIconIsRefreshedMonthlyAndAFailingSiteAskedDaily) {
  const std::time_t now = 10'000'000;
  const long day = 24 * 3600;
  struct Case {
    IconRecord record;
    bool due;
  } cases[] = {
      {{IconTry::Never, 0}, true},
      {{IconTry::Kept, now - 29 * day}, false},
      {{IconTry::Kept, now - 30 * day}, true},
      {{IconTry::NoIcon, now - 29 * day}, false},
      {{IconTry::NoIcon, now - 31 * day}, true},
      {{IconTry::Failed, now - day + 1}, false},
      {{IconTry::Failed, now - day}, true},
      {{IconTry::Kept, now + day}, true},  // a clock set back
  };
  for (const Case& c : cases) EXPECT_EQ(IconDue(c.record, now), c.due) << static_cast<int>(c.record.outcome);
}

TEST_F(IconSearchTest, KeepingWritesTheIconAndItsRecordAndAFailureKeepsTheOldIcon) {
  IconStore store;
  const std::string site = Site();
  EXPECT_EQ(store.Record(site), IconRecord{});
  store.Keep(site, {IconTry::Kept, kPng, IconFormat::Png, "x"}, 1000);
  ASSERT_TRUE(store.Kept(site));
  EXPECT_EQ(store.Kept(site)->bytes, kPng);
  EXPECT_EQ(store.Record(site), (IconRecord{IconTry::Kept, 1000}));
  EXPECT_EQ(home_.Read("icons/" + IconKey(site) + ".txt"), site + "\nkept 1000\n");

  store.Keep(site, {IconTry::Failed}, 2000);
  EXPECT_TRUE(store.Kept(site)) << "a site that does not answer keeps its icon";
  EXPECT_EQ(store.Record(site), (IconRecord{IconTry::Failed, 2000}));
  store.Keep(site, {IconTry::NoIcon}, 3000);
  EXPECT_FALSE(store.Kept(site)) << "a site that has none now loses it";

  // A record naming another site, or none readable, counts as no search.
  home_.Write("icons/" + IconKey(site) + ".txt", "http://other.jp\nkept 1000\n");
  EXPECT_EQ(store.Record(site), IconRecord{});
  home_.Write("icons/" + IconKey(site) + ".txt", site + "\nkept soon\n");
  EXPECT_EQ(store.Record(site), IconRecord{});
  // An icon file changed on disk into something else is not served.
  home_.Write("icons/" + IconKey(site) + ".icon", "<svg/>");
  EXPECT_FALSE(store.Kept(site));
}

TEST_F(IconSearchTest, APageGetsNothingAtFirstThenTheIconOnceTheWorkerKeptIt) {
  server_.Serve("/news/", PageWith("<link rel=\"icon\" href=\"/i.gif\">"), "text/html");
  server_.Serve("/i.gif", "GIF89a\1\0\1\0\0\0\0;"s, "image/gif");
  IconStore store;
  EXPECT_EQ(store.IconHref(server_.Url("/news/")), "");
  ASSERT_TRUE(test::Within(std::chrono::seconds(10), [&] { return store.Idle(); }));
  EXPECT_EQ(store.IconHref(server_.Url("/other/")), "icon?u=" + Site() + "/");
  ASSERT_TRUE(store.Kept(Site()));
  EXPECT_EQ(store.Kept(Site())->format, IconFormat::Gif);
  ASSERT_TRUE(test::Within(std::chrono::seconds(10), [&] { return store.Idle(); }));
  EXPECT_EQ(server_.RequestCount(), 2u) << "a kept icon is not searched for again";
  EXPECT_EQ(store.IconHref("javascript:alert(1)"), "");
}

TEST_F(IconSearchTest, AFailingSiteIsAskedOnceADayHoweverManyPagesShowIt) {
  server_.Route("/", {.status = 503, .body = "busy", .contentType = "text/plain"});
  IconStore store;
  store.IconHref(server_.Url("/"));
  ASSERT_TRUE(test::Within(std::chrono::seconds(10), [&] { return store.Idle(); }));
  const size_t asked = server_.RequestCount();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(store.IconHref(server_.Url("/")), "");
  ASSERT_TRUE(test::Within(std::chrono::seconds(10), [&] { return store.Idle(); }));
  EXPECT_EQ(server_.RequestCount(), asked);
  EXPECT_EQ(store.Record(Site()).outcome, IconTry::Failed);
}

TEST_F(IconSearchTest, TheStoreEndsWhileASearchWaitsAndKeepsNothing) {
  server_.Route("/", {.body = PageWith(""), .contentType = "text/html", .delay = std::chrono::seconds(30)});
  {
    IconStore store;
    store.IconHref(server_.Url("/"));
    ASSERT_TRUE(test::Within(std::chrono::seconds(10), [&] { return server_.InFlight() > 0; }));
  }  // cancels the fetch and joins the worker
  EXPECT_TRUE(IconFiles().empty());
}

}  // namespace
}  // namespace norvane
