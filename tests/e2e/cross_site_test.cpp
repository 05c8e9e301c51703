// Feed items that try to change the program through the browser: an image or a link to
// the add page inside an item, as a user meets them in headless Chromium on the real
// program with the shipped style. The form still adds with one click, and curl still adds.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/browser.h"
#include "support/feed_server.h"
#include "support/norvane_process.h"

namespace norvane::test {
namespace {

// A feed whose item holds an image and a link aimed at the add page.
std::string AttackerFeed(std::string addUrl, const std::string& pixel) {
  for (size_t at = addUrl.find('&'); at != std::string::npos; at = addUrl.find('&', at + 1))
    addUrl.replace(at, 1, "&amp;");  // the feed is XML
  const std::string html = "&lt;p&gt;&lt;img src=\"" + addUrl + "\" alt=\"\"&gt;&lt;img src=\"" + pixel +
                           "\" alt=\"\"&gt;&lt;a href=\"" + addUrl + "\"&gt;subscribe&lt;/a&gt;&lt;/p&gt;";
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>Attacker</title>"
         "<link>http://127.0.0.1/</link><description>d</description><item><title>Look here</title>"
         "<link>http://127.0.0.1/1</link><description>" + html + "</description></item></channel></rss>";
}

class CrossSite : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ChromiumPath().empty()) GTEST_SKIP() << "chromium is not installed";
    feedUrl_ = feeds_.Url("/attack/feed.xml");
    // The add page as the item names it: u first and ending with "/", then the group.
    addUrl_ = app_.Url("/add.html?u=" + feedUrl_ + "/&opml=sample.opml");
    feeds_.Serve("/attack/feed.xml", AttackerFeed(addUrl_, feeds_.Url("/pixel.gif")));
    feeds_.Serve("/pixel.gif", "GIF89a", "image/gif");
    ASSERT_TRUE(app_.Start()) << app_.StderrText();
    feedPage_ = app_.Url("/rss.html?u=" + feedUrl_ + "/&r=on");
    groupBefore_ = app_.home().Read("opmls/sample.opml");
  }
  void TearDown() override {
    if (!ChromiumPath().empty()) {
      EXPECT_EQ(app_.Stop(), 0);
    }
  }
  // The page script, replaced so the browser does what a user's clicks would.
  void Clicks(const std::string& script) { app_.home().Write("www/norvane.js", script); }
  bool Added() { return app_.home().Read("opmls/sample.opml").find(feedUrl_) != std::string::npos; }
  void Shot(const std::string& url, const std::string& name) {
    std::string shots = NORVANE_SCREENSHOT_DIR;
    mkdir(shots.c_str(), 0755);
    EXPECT_TRUE(Screenshot(url, shots + "/" + name + ".png", 1280, 900));
  }

  FeedServer feeds_;
  NorvaneProcess app_;
  std::string feedUrl_, addUrl_, feedPage_, groupBefore_;
};

// Clicks the item's link to the add page, once, on the feed page.
constexpr const char* kClickItemLink =
    "if (location.pathname === '/rss.html') {"
    "  var a = document.querySelector('.item a[href*=\"opml=\"]'); if (a) a.click(); }";
// Then, on the add page that waits for confirmation, clicks its button.
constexpr const char* kClickItemLinkThenAdd =
    "if (location.pathname === '/rss.html') {"
    "  var a = document.querySelector('.item a[href*=\"opml=\"]'); if (a) a.click(); }"
    "if (location.pathname === '/add.html' && location.search.indexOf('token=') < 0) {"
    "  var b = document.querySelector('form.stack-form button[type=submit]'); if (b) b.click(); }";

TEST_F(CrossSite, AnImageInAnItemAddsNothing) {
  BrowserRun run = DumpDom(feedPage_);
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.dom.find("Look here"), std::string::npos);
  EXPECT_GE(feeds_.RequestCount("/pixel.gif"), 1u) << "the item's images were loaded";
  EXPECT_FALSE(Added());
  EXPECT_EQ(app_.home().Read("opmls/sample.opml"), groupBefore_);
  // The add page never fetched the feed to check it: only the feed page's own fetch.
  EXPECT_EQ(feeds_.RequestCount("/attack/feed.xml"), 1u);
}

TEST_F(CrossSite, ALinkInAnItemOpensTheFilledInFormAndAddsNothing) {
  Clicks(kClickItemLink);
  BrowserRun run = DumpDom(feedPage_);
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.dom.find("「追加」を押してください"), std::string::npos) << run.dom.substr(0, 3000);
  EXPECT_NE(run.dom.find("value=\"" + feedUrl_ + "\""), std::string::npos) << "the URL is filled in";
  EXPECT_NE(run.dom.find("value=\"sample.opml\" selected"), std::string::npos) << "the group is chosen";
  EXPECT_EQ(run.dom.find("追加できませんでした"), std::string::npos) << "nothing failed";
  EXPECT_FALSE(Added());
  EXPECT_EQ(app_.home().Read("opmls/sample.opml"), groupBefore_);
}

TEST_F(CrossSite, TheFilledInFormAddsWithOneClick) {
  Clicks(kClickItemLinkThenAdd);
  BrowserRun run = DumpDom(feedPage_);
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.dom.find("追加しました"), std::string::npos) << run.dom.substr(0, 3000);
  EXPECT_TRUE(Added());
}

TEST_F(CrossSite, TheGroupPagesFormAddsAndCurlAddsWithoutAnyForm) {
  // The group page's own form, filled in and sent as a user would.
  Clicks("if (location.pathname === '/gp.html') {"
         "  var f = document.querySelector('#add-feed form'); f.querySelector('input[name=u]').value = '" +
         feedUrl_ + "'; f.querySelector('button').click(); }");
  BrowserRun run = DumpDom(app_.Url("/gp.html?u=sample.opml/"));
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.dom.find("追加しました"), std::string::npos) << run.dom.substr(0, 3000);
  EXPECT_TRUE(Added());

  auto before = app_.home().Read("opmls/sample.opml");
  auto curl = app_.Get("/add.xml?u=" + feeds_.Url("/attack/feed.xml") + "/&opml=sample.opml");
  EXPECT_EQ(curl.status, 200);
  EXPECT_NE(curl.body.find("<error>0</error>"), std::string::npos) << curl.body;
  EXPECT_GT(app_.home().Read("opmls/sample.opml").size(), before.size());
}

TEST_F(CrossSite, TheWaitingFormAndTheRefusalLookLikeTheRestOfTheProgram) {
  // Pictures to look at: the add page waiting for its click, and a refused request.
  Clicks(kClickItemLink);
  Shot(feedPage_, "add-confirm-desktop");
  Clicks("");
  Shot(app_.Url("/gp.html?u=sample.opml/"), "group-with-token-desktop");
  auto refused = app_.Get("/add.html?u=" + feedUrl_ + "/&opml=sample.opml",
                          {.headers = {"Sec-Fetch-Site: cross-site", "Sec-Fetch-Dest: image"}});
  EXPECT_EQ(refused.status, 403);
  EXPECT_NE(refused.Header("Content-Type").find("text/html"), std::string::npos);
  EXPECT_FALSE(Added());
}

}  // namespace
}  // namespace norvane::test
