// Both shipped styles as keyboard, screen-reader and phone users meet them: every page
// of the shipped program folder at desktop and phone width, light and dark, must pass
// axe-core's WCAG 2.1 A and AA rules, fit its window, keep focus in sight below the
// sticky bar with a ring of 3:1, and step through items with j/k from what is on screen.
// The views' screenshots land in the build folder's "screenshots".
#include <gtest/gtest.h>

#include "support/browser.h"
#include "support/norvane_process.h"

namespace norvane::test {
namespace {

void AuditStyle(const std::string& style) {
  NorvaneProcess app(true, {{"XSL_STYLE", style}});
  ASSERT_TRUE(app.Start()) << app.StderrText();
  const std::string self = "http://localhost:" + std::to_string(app.port());
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
