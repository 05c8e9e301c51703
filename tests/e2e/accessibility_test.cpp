// Both shipped styles as keyboard, screen-reader and phone users meet them: every page
// of the shipped program folder at desktop and phone width, light and dark, must pass
// axe-core's WCAG 2.1 A and AA rules, fit its window, keep focus in sight below the
// sticky bar with a ring of 3:1, and step through items with j/k from what is on screen.
// The views' screenshots land in the build folder's "screenshots".
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "feeds/icon_store.h"
#include "support/browser.h"
#include "support/norvane_process.h"

namespace norvane::test {
namespace {

void AuditStyle(const std::string& style) {
  NorvaneProcess app(true, {{"XSL_STYLE", style}});
  const std::string self = "http://localhost:" + std::to_string(app.port());
  // A feed that worked once and then went missing: its pages show the stored items with
  // a notice, and the health page lists it. Its site's icon is kept (the sample's feeds
  // have none: they show letter badges).
  const std::string feed =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>Flaky</title>"
      "<link>" + self + "/</link><description>once here</description><item><title>Kept item</title>"
      "<link>http://localhost/kept</link><description>still readable</description></item></channel></rss>";
  app.home().Write("www/flaky.xml", feed);
  app.home().Write("icons/" + IconKey(self) + ".icon", app.home().Read("www/icon-192.png"));
  app.home().Write("icons/" + IconKey(self) + ".txt", self + "\nkept " + std::to_string(std::time(nullptr)) + "\n");
  // Web pages that advertise the sample feeds: two, and one.
  const std::string link = "<link rel=\"alternate\" type=\"application/rss+xml\" ";
  app.home().Write("www/site/two.html", "<!DOCTYPE html><html><head><title>t</title>" + link +
                                            "title=\"ニュース\" href=\"/sample/news/htr.xml\">" + link +
                                            "href=\"/sample/notes/htr.xml\"></head><body></body></html>");
  app.home().Write("www/site/one.html", "<!DOCTYPE html><html><head><title>t</title>" + link +
                                            "title=\"ノート\" href=\"/sample/notes/htr.xml\"></head></html>");
  // Files to import: feeds of the sample (already in their group), one new and one that
  // is no web address; and a file that is no OPML.
  const std::string uploaded = app.home().Write(
      "upload/reader.opml",
      "<opml version=\"2.0\"><head><title>読み込み</title></head><body><outline text=\"サンプル\">"
      "<outline text=\"ニュース\" type=\"rss\" xmlUrl=\"http://localhost:" + std::to_string(app.port()) +
      "/sample/news/htr.xml\"/><outline text=\"古い\" type=\"rss\" xmlUrl=\"ftp://old.example/feed\"/>"
      "</outline><outline text=\"外\" type=\"rss\" xmlUrl=\"http://localhost:" + std::to_string(app.port()) +
      "/sample/notes/htr.xml\"/></body></opml>");
  const std::string notOpml = app.home().Write("upload/page.html", "<html><body>no</body></html>");
  app.home().Write("opmls/flaky.opml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><opml version=\"1.0\"><head>"
                                       "<title>Flaky</title></head><body><outline text=\"Flaky\" type=\"rss\" xmlUrl=\"" +
                                           self + "/flaky.xml\"/></body></opml>");
  ASSERT_TRUE(app.Start()) << app.StderrText();
  ASSERT_EQ(app.Get("/rss.html?u=" + self + "/flaky.xml/&r=on").status, 200);
  std::filesystem::remove(app.home().path() + "/www/flaky.xml");
  ASSERT_NE(app.Get("/rss.html?u=" + self + "/flaky.xml/&r=on").body.find("notice-health"), std::string::npos);
  ASSERT_NE(app.Get("/rss.html?u=" + self + "/flaky.xml/").body.find("class=\"feed-icon\""), std::string::npos);
  const std::vector<AuditedPage> pages = {
      {"home", "/"},
      {"group", "/gp.html?u=sample.opml/"},
      {"channels", "/ch.html?u=sample.opml/&r=on"},
      {"feed", "/rss.html?u=sample/notes/htr.xml/"},
      // A feed that cannot be fetched: the error page.
      {"feed-error", "/rss.html?u=" + self + "/sample/missing.rdf/&r=on"},
      {"add", "/add.html"},
      // A URL without a group: the form again, with its notice and the group to choose.
      {"add-notice", "/add.html?u=" + self + "/sample/notes/htr.xml/"},
      {"filter", "/filter?w=%E3%83%95%E3%82%A3%E3%83%BC%E3%83%89"},
      {"feed-failing", "/rss.html?u=" + self + "/flaky.xml/"},
      {"channels-failing", "/ch.html?u=flaky.opml/"},
      {"health", "/health.html"},
      // A site's page: its feeds to choose from, and its one feed ready to add.
      {"add-choice", "/add.html?u=" + self + "/site/two.html/&opml=sample.opml"},
      {"add-found", "/add.html?u=" + self + "/site/one.html/&opml=sample.opml"},
      // The import form, its report (the second and later views: everything skipped), and
      // a refused file.
      {"import", "/import.html"},
      {"import-report", "/gp.html?u=sample.opml/", uploaded},
      {"import-refused", "/import.html", notOpml},
      // Every stored item: results with their keep buttons, and the empty search form.
      {"find", "/find.html?_charset_=UTF-8&w=%E3%81%AE"},
      {"find-empty", "/find.html"},
  };
  PageAudit audit = AuditPages(app.Url(""), style, pages, NORVANE_SCREENSHOT_DIR);
  EXPECT_EQ(audit.status, 0) << audit.report;
  EXPECT_EQ(audit.views, static_cast<int>(pages.size()) * 4) << audit.report;
  // Nothing was added on the way.
  EXPECT_EQ(app.home().Read("opmls/sample.opml").find("missing.rdf"), std::string::npos);
  EXPECT_EQ(app.Stop(), 0);
}

TEST(BrowserPages, DefaultStyleMeetsWcag21AaAtEveryWidthAndScheme) {
  if (ChromiumPath().empty()) GTEST_SKIP() << "chromium is not installed";
  ASSERT_EQ(PageAuditMissing(), "");
  AuditStyle("Default");
}

TEST(BrowserPages, CompactStyleMeetsWcag21AaAtEveryWidthAndScheme) {
  if (ChromiumPath().empty()) GTEST_SKIP() << "chromium is not installed";
  ASSERT_EQ(PageAuditMissing(), "");
  AuditStyle("Compact");
}

}  // namespace
}  // namespace norvane::test
