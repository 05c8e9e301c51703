// The icon route: the gateway answers a kept icon itself, with the type of its bytes,
// refuses any u that is not a site's address, and the feed page's answer names the icon
// once the background search kept it.
#include <gtest/gtest.h>

#include <string>

#include "feeds/feed_discovery.h"
#include "feeds/icon_store.h"
#include "groups/group_home.h"
#include "support/bounded_wait.h"

namespace norvane {
namespace {

using namespace std::string_literals;

const std::string kPng = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10"s;

class IconRoute : public test::ModuleHome {
 protected:
  void SetUp() override {
    ModuleHome::SetUp();
    CopyShippedCatalogues();
    UpdateSettings([](Settings& s) { s.READTIMEOUT = 5000; });
  }
  // Keeps bytes as the icon of site, as a search would.
  void KeepIcon(const std::string& site, const std::string& bytes) {
    home_.Write("icons/" + IconKey(site) + ".icon", bytes);
    home_.Write("icons/" + IconKey(site) + ".txt", site + "\nkept " + std::to_string(std::time(nullptr)) + "\n");
  }
};

TEST_F(IconRoute, AKeptIconIsServedWithTheTypeOfItsBytes) {
  Start();
  struct Case {
    std::string bytes;
    const char* type;
  } cases[] = {{kPng, "image/png"},
               {"GIF89a\1\0\1\0\0\0\0;", "image/gif"},
               {"\xff\xd8\xff\xe0\0\x10JFIF"s, "image/jpeg"},
               {"RIFF\x24\0\0\0WEBPVP8 "s, "image/webp"},
               {"\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0\x68\4\0\0\x16\0\0\0"s, "image/x-icon"}};
  for (const Case& c : cases) {
    KeepIcon("https://example.jp", c.bytes);
    const test::FetchResult r = Get("/icon?u=https://example.jp/");
    EXPECT_EQ(r.status, 200) << c.type;
    EXPECT_EQ(r.Header("Content-Type"), c.type);
    EXPECT_EQ(r.body, c.bytes);
    EXPECT_EQ(r.Header("Cache-Control"), "private, max-age=86400");
  }
}

TEST_F(IconRoute, AnAddressThatIsNoSiteIsRefusedAndASiteWithoutIconHasNone) {
  KeepIcon("https://example.jp", kPng);
  Start();
  struct Case {
    const char* target;
    long status;
  } cases[] = {
      {"/icon?u=https://example.jp/", 200},
      {"/icon?u=https://example.jp", 400},  // the program's links end u with "/"
      {"/icon?u=https://example.jp/favicon.ico/", 400},  // a path names nothing kept
      {"/icon?u=https://EXAMPLE.jp/", 400},
      {"/icon?u=https://example.jp:443/", 400},
      {"/icon?u=file:///etc/passwd/", 400},
      {"/icon?u=../norvane.ini/", 400},
      {"/icon?u=javascript:alert(1)/", 400},
      {"/icon", 400},
      {"/icon?u=/", 400},
      {"/icon?u=https://other.example.jp/", 404},  // never fetched here: the route only reads
  };
  for (const Case& c : cases) {
    const test::FetchResult r = Get(c.target);
    EXPECT_EQ(r.status, c.status) << c.target;
    if (c.status != 200) {
      EXPECT_EQ(r.Header("Content-Type").rfind("text/plain", 0), 0u) << c.target;
    }
  }
  // An icon file that is no bitmap icon any more (changed on disk) is not served.
  KeepIcon("https://example.jp", "<svg onload=\"alert(1)\"/>");
  EXPECT_EQ(Get("/icon?u=https://example.jp/").status, 404);
}

TEST_F(IconRoute, TheFeedPageNamesTheGatewaysIconOnceKeptAndDropsOneTheFeedBrought) {
  // The answer as it is, so the test reads what a style is given.
  home_.Write("xsls/Probe/rss.xsl",
              "<?xml version=\"1.0\"?><xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
              "<xsl:output method=\"xml\" encoding=\"UTF-8\"/><xsl:template match=\"/\"><xsl:copy-of select=\"*\"/>"
              "</xsl:template></xsl:stylesheet>");
  feeds_.Serve("/feed.xml",
               "<?xml version=\"1.0\"?><rss version=\"2.0\" xmlns:rg=\"http://norvane/rg\"><channel><title>Site</title><link>" +
                   feeds_.Url("/blog/") +
                   "</link><description>d</description><rg:icon>http://tracker.example/pixel.png</rg:icon>"
                   "<item><title>a</title><link>" + feeds_.Url("/blog/a") + "</link></item></channel></rss>");
  feeds_.Serve("/blog/", "<html><head><link rel=\"icon\" href=\"/s.png\"></head><body>b</body></html>", "text/html");
  feeds_.Serve("/s.png", kPng, "image/png");
  Start();
  const std::string page = "/rss.html?u=" + feeds_.Url("/feed.xml") + "/";
  const test::FetchResult first = Get(page);
  ASSERT_EQ(first.status, 200);
  EXPECT_EQ(first.body.find("tracker.example"), std::string::npos);
  EXPECT_EQ(first.body.find("icon?u="), std::string::npos) << "nothing kept yet: the page does not wait";
  ASSERT_TRUE(test::Within(std::chrono::seconds(10), [&] { return module_->Icons().Idle(); }));
  const std::string site = SiteOf(feeds_.Url("/"));
  const test::FetchResult second = Get(page);
  EXPECT_NE(second.body.find(">icon?u=" + site + "/</rg:icon>"), std::string::npos) << second.body;
  EXPECT_EQ(second.body.find("tracker.example"), std::string::npos);
  const test::FetchResult icon = Get("/icon?u=" + site + "/");
  EXPECT_EQ(icon.status, 200);
  EXPECT_EQ(icon.body, kPng);
  EXPECT_EQ(feeds_.RequestCount("/s.png"), 1u);
}

}  // namespace
}  // namespace norvane
