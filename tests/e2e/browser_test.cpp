// The pages as a user sees them: the real program on the shipped program folder, opened
// in headless Chromium. Screenshots land in the build folder's "screenshots".
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/browser.h"
#include "support/norvane_process.h"

namespace norvane::test {
namespace {

struct PageCheck {
  const char* name;
  std::string target;
  std::vector<std::string> shows;  // UTF-8 texts the page must show
};

TEST(BrowserPages, EveryPageShowsWhatItShouldWithoutConsoleErrors) {
  if (ChromiumPath().empty()) GTEST_SKIP() << "chromium is not installed";
  NorvaneProcess app;
  ASSERT_TRUE(app.Start()) << app.StderrText();
  const std::string notes = "http://localhost:" + std::to_string(app.port()) + "/sample/notes/htr.xml";
  const std::vector<PageCheck> pages = {
      {"home", "/", {"グループ", "フィードを追加", "キーワードフィルタ", "検索"}},
      {"group", "/gp.html?u=sample.opml/", {"Norvane のはじめかた", "Norvane ニュース", "使い方ノート"}},
      {"channels", "/ch.html?u=sample.opml/&r=on",
       {"Norvane のはじめかた", "Norvane ニュース", "Norvane 0.9 へようこそ", "使い方ノート", "新着",
        "みどり町内会のお知らせ"}},
      {"feed", "/rss.html?u=sample/notes/htr.xml/", {"使い方ノート", "フィードを追加するには"}},
      {"add-form", "/add.html", {"フィードを追加"}},
      {"add-done", "/add.html?u=" + notes + "/&opml=sample.opml", {"追加しました"}},
      {"filter", "/filter?w=%E3%83%95%E3%82%A3%E3%83%BC%E3%83%89", {"フィード"}},
      {"import", "/import.html", {"ほかのリーダーからグループを読み込む", "OPML ファイル"}},
  };
  std::string shots = NORVANE_SCREENSHOT_DIR;
  mkdir(shots.c_str(), 0755);
  for (const PageCheck& page : pages) {
    SCOPED_TRACE(page.name);
    BrowserRun run = DumpDom(app.Url(page.target));
    ASSERT_EQ(run.status, 0);
    for (const std::string& text : page.shows)
      EXPECT_NE(run.dom.find(text), std::string::npos) << "missing: " << text;
    EXPECT_EQ(run.console, "") << "the page logged to its console";
    EXPECT_EQ(run.dom.find("XSLT"), std::string::npos) << "a stylesheet failed";
    // The add page changes the group: take its picture from the form only.
    if (std::string(page.name) == "add-done") continue;
    EXPECT_TRUE(Screenshot(app.Url(page.target), shots + "/" + page.name + "-desktop.png", 1280, 900));
    EXPECT_TRUE(Screenshot(app.Url(page.target), shots + "/" + page.name + "-phone.png", 390, 844));
  }
  EXPECT_TRUE(Screenshot(app.Url("/ch.html?u=sample.opml/"), shots + "/channels-dark.png", 1280, 900, true));
  // The feed added through the page is in the group file now.
  EXPECT_NE(app.home().Read("opmls/sample.opml").find("sample/notes/htr.xml\""), std::string::npos);
  EXPECT_EQ(app.Stop(), 0);
}

TEST(BrowserPages, CompactBuildsOnDefaultsSheetsAndStylesheets) {
  if (ChromiumPath().empty()) GTEST_SKIP() << "chromium is not installed";
  NorvaneProcess app(true, {{"XSL_STYLE", "Compact"}});
  ASSERT_TRUE(app.Start()) << app.StderrText();
  // The sheet Compact imports comes through the gateway like its own.
  EXPECT_EQ(app.Get("/Default/norvane.css").status, 200);
  BrowserRun run = DumpDom(app.Url("/ch.html?u=sample.opml/&r=on"));
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.dom.find("Norvane 0.9 へようこそ"), std::string::npos);
  EXPECT_EQ(run.console, "");
  EXPECT_EQ(run.dom.find("XSLT"), std::string::npos) << "a stylesheet failed";
  EXPECT_TRUE(Screenshot(app.Url("/ch.html?u=sample.opml/"),
                         std::string(NORVANE_SCREENSHOT_DIR) + "/channels-compact.png", 1280, 900));
  EXPECT_EQ(app.Stop(), 0);
}

TEST(BrowserPages, JapaneseGroupNamesFromAModernBrowserReachTheirFiles) {
  if (ChromiumPath().empty()) GTEST_SKIP() << "chromium is not installed";
  NorvaneProcess app;
  // A group file named in Japanese: on disk its name is UTF-8.
  std::string opml = app.home().Read("opmls/sample.opml");
  app.home().Write("opmls/ニュース.opml", opml);
  ASSERT_TRUE(app.Start()) << app.StderrText();
  // The browser percent-encodes the name as UTF-8.
  BrowserRun group = DumpDom(app.Url("/gp.html?u=ニュース.opml/"));
  EXPECT_NE(group.dom.find("Norvane ニュース"), std::string::npos) << group.dom.substr(0, 400);
  auto raw = app.Get("/opml.xml?u=%E3%83%8B%E3%83%A5%E3%83%BC%E3%82%B9.opml/");
  EXPECT_EQ(raw.status, 200);
  EXPECT_EQ(app.Stop(), 0);
}

}  // namespace
}  // namespace norvane::test
