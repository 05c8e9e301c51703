// Subscribing as a user does it in headless Chromium on the real program with the
// shipped style: a site's address typed into the group page's form, the feed chosen
// among those the site offers, and the group keeping the feed's address.
#include <gtest/gtest.h>

#include "support/browser.h"
#include "support/feed_server.h"
#include "support/norvane_process.h"

namespace norvane::test {
namespace {

std::string Rss(const std::string& title) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>" + title +
         "</title><link>http://127.0.0.1/</link><description>d</description><item><title>i</title>"
         "<link>http://127.0.0.1/i</link></item></channel></rss>";
}

class Subscribe : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ChromiumPath().empty()) GTEST_SKIP() << "chromium is not installed";
    site_.Serve("/", "<!DOCTYPE html><html><head><title>Site</title>"
                     "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"Articles\" href=\"/articles.rss\">"
                     "<link rel=\"alternate\" type=\"application/atom+xml\" title=\"Comments\" href=\"/comments.atom\">"
                     "</head><body>a site</body></html>",
                "text/html");
    site_.Serve("/articles.rss", Rss("Articles"));
    site_.Serve("/comments.atom", Rss("Comments"));
    ASSERT_TRUE(app_.Start()) << app_.StderrText();
  }
  void TearDown() override {
    if (!ChromiumPath().empty()) {
      EXPECT_EQ(app_.Stop(), 0);
    }
  }
  // The page script, replaced so the browser does what a user's clicks would.
  void Clicks(const std::string& script) { app_.home().Write("www/norvane.js", script); }
  std::string Group() { return app_.home().Read("opmls/sample.opml"); }

  FeedServer site_;
  NorvaneProcess app_;
};

TEST_F(Subscribe, ASitesAddressTypedOnTheGroupPageOffersItsFeedsAndTheChosenOneIsKept) {
  // Bare: no scheme, as people type it; https fails on this plain server, http answers.
  const std::string typed = "127.0.0.1:" + std::to_string(site_.port()) + "/";
  Clicks("if (location.pathname === '/gp.html') {"
         "  var f = document.querySelector('#add-feed form'); f.querySelector('input[name=u]').value = '" +
         typed + "'; f.querySelector('button').click(); }"
         "if (location.pathname === '/add.html' && document.querySelector('input[type=radio]')) {"
         "  document.querySelectorAll('input[type=radio]')[1].click();"
         "  document.querySelector('form.stack-form button[type=submit]').click(); }");
  BrowserRun run = DumpDom(app_.Url("/gp.html?u=sample.opml/"));
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.dom.find("追加しました"), std::string::npos) << run.dom.substr(0, 3000);
  EXPECT_EQ(run.console, "");
  // The group keeps the chosen feed's address; not the site's, not the other feed.
  EXPECT_NE(Group().find("xmlUrl=\"" + site_.Url("/comments.atom") + "\""), std::string::npos) << Group();
  EXPECT_EQ(Group().find("xmlUrl=\"" + site_.Url("/articles.rss") + "\""), std::string::npos);
  EXPECT_EQ(Group().find("xmlUrl=\"http://" + typed + "\""), std::string::npos);
}

TEST_F(Subscribe, AnOpmlFilePickedOnTheGroupPageIsImportedAndReported) {
  // The file as a user picks it, from another reader: a folder and a feed outside it.
  const std::string opml = "<opml version=\"2.0\"><head><title>Elsewhere</title></head><body>"
                           "<outline text=\"Reading\"><outline text=\"Articles\" type=\"rss\" xmlUrl=\"" +
                           site_.Url("/articles.rss") + "\"/></outline><outline text=\"Comments\" type=\"rss\" "
                           "xmlUrl=\"" + site_.Url("/comments.atom") + "\"/></body></opml>";
  Clicks("if (location.pathname === '/gp.html') {"
         "  var files = new DataTransfer();"
         "  files.items.add(new File(['" + opml + "'], 'elsewhere.opml', {type: 'text/x-opml'}));"
         "  var input = document.querySelector('#import-file'); input.files = files.files;"
         "  input.form.querySelector('button[type=submit]').click(); }");
  BrowserRun run = DumpDom(app_.Url("/gp.html?u=sample.opml/"));
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.dom.find("読み込みました"), std::string::npos) << run.dom.substr(0, 3000) << run.console;
  EXPECT_NE(run.dom.find("elsewhere.opml"), std::string::npos);
  EXPECT_NE(run.dom.find("href=\"gp.html?u=Reading.opml/\""), std::string::npos) << "the new groups are linked";
  EXPECT_NE(run.dom.find("href=\"gp.html?u=Elsewhere.opml/\""), std::string::npos);
  EXPECT_EQ(run.console, "");
  EXPECT_NE(app_.home().Read("opmls/Reading.opml").find(site_.Url("/articles.rss")), std::string::npos);
  EXPECT_NE(app_.home().Read("opmls/gp.xml").find("file=\"Elsewhere.opml\""), std::string::npos);
}

}  // namespace
}  // namespace norvane::test
