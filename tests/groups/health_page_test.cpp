// health.html through the real server: which feeds it lists, in which order, and what its
// actions do to the group files, the channel list and the logs.
#include <gtest/gtest.h>

#include <string>

#include "core/disk_path.h"
#include "core/url_helpers.h"
#include "feeds/chlist.h"
#include "feeds/xml_node.h"
#include "groups/group_home.h"

namespace norvane {
namespace {

class HealthPage : public test::ModuleHome {
 protected:
  void SetUp() override {
    ModuleHome::SetUp();
    for (const char* file : {"/search.xml", "/dic.csv"})
      test::CopyTree(std::string(NORVANE_DATA_DIR) + file, home_.path());
    // Probe has no health.xsl: the page falls back on Default's, here one that copies.
    home_.Write("xsls/Default/health.xsl",
                "<?xml version=\"1.0\"?><xsl:stylesheet version=\"1.0\" "
                "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:output method=\"xml\" "
                "encoding=\"Shift_JIS\"/><xsl:template match=\"/\"><xsl:copy-of select=\"*\"/>"
                "</xsl:template></xsl:stylesheet>");
    test::FeedRoute gone;
    gone.status = 410;
    test::FeedRoute dead;
    dead.status = 404;
    feeds_.Serve("/ok", test::FeedBody("ok"));
    feeds_.Serve("/new", test::FeedBody("moved"));
    feeds_.Redirect("/old", 301, feeds_.Url("/new"));
    home_.Write("opmls/a.opml", test::OpmlOf("A", {{"ok", feeds_.Url("/ok")}, {"dead", feeds_.Url("/dead")},
                                                    {"old", feeds_.Url("/old")}}));
    home_.Write("opmls/b.opml", test::OpmlOf("B", {{"dead", feeds_.Url("/dead")}, {"gone", feeds_.Url("/gone")}}));
    // Each feed fetched once while it answered, then failing as set.
    feeds_.Serve("/dead", test::FeedBody("dead"));
    feeds_.Serve("/gone", test::FeedBody("gone"));
    Start();
    for (const char* group : {"a.opml", "b.opml"}) Get(std::string("/ch.html?u=") + group + "/&r=on");
    feeds_.Route("/dead", dead);
    feeds_.Route("/gone", gone);
    for (const char* group : {"a.opml", "b.opml"}) Get(std::string("/ch.html?u=") + group + "/&r=on");
  }
  // The page's document: the feeds it lists, by the last part of their address.
  std::vector<std::string> Listed(const std::string& body) {
    TRXML doc;
    doc.LoadFromXML(body);
    std::vector<std::string> names;
    for (xmlNodePtr feed : doc.SelectNodes("health/feed")) {
      const std::string url = GetAttribute(feed, "url");
      names.push_back(url.substr(url.rfind('/') + 1));
    }
    return names;
  }
};

TEST_F(HealthPage, ListsFailingAndMovedFeedsWorstFirstAndItsActionsKeepTheLogs) {
  test::FetchResult page = Get("/health.html");
  ASSERT_EQ(page.status, 200) << page.body;
  EXPECT_EQ(Listed(page.body), (std::vector<std::string>{"gone", "dead", "old"})) << page.body;
  EXPECT_NE(page.body.find("file=\"a.opml\""), std::string::npos) << "a feed names the groups that hold it";
  EXPECT_NE(page.body.find("movedTo=\"" + feeds_.Url("/new") + "\""), std::string::npos);

  // From a page of the browser without the token: nothing happens, the page asks.
  test::FetchOptions browser;
  browser.headers = {"Sec-Fetch-Site: same-origin"};
  page = Get("/health.html?do=remove&ue=on&u=" + EncodeURLParam(feeds_.Url("/gone")));
  const std::string b = home_.Read(DiskPath("opmls/b.opml"));
  test::FetchResult asked = test::Route(
      module_->server(), "/health.html?do=move&ue=on&u=" + EncodeURLParam(feeds_.Url("/old")), browser);
  EXPECT_NE(asked.body.find("confirm=\"move\""), std::string::npos) << asked.body;
  EXPECT_NE(home_.Read(DiskPath("opmls/a.opml")).find(feeds_.Url("/old")), std::string::npos);

  // remove: the gone feed leaves its group; its log stays.
  EXPECT_EQ(b.find(feeds_.Url("/gone")), std::string::npos) << b;
  EXPECT_NE(b.find(feeds_.Url("/dead")), std::string::npos) << "the other feeds stay";
  const std::string goneLog = "channels/" + ChannelFileName(feeds_.Url("/gone")) + ".xml";
  EXPECT_TRUE(FileExists(DiskPath(goneLog)));

  // move: the group file takes the new address, and the log goes with the entry.
  const std::string oldLog = "channels/" + ChannelFileName(feeds_.Url("/old")) + ".xml";
  const size_t oldAsked = feeds_.RequestCount("/old");
  page = Get("/health.html?do=move&ue=on&u=" + EncodeURLParam(feeds_.Url("/old")));
  const std::string a = home_.Read(DiskPath("opmls/a.opml"));
  EXPECT_EQ(a.find(feeds_.Url("/old")), std::string::npos) << a;
  EXPECT_NE(a.find(feeds_.Url("/new")), std::string::npos) << a;
  EXPECT_EQ(Listed(page.body), (std::vector<std::string>{"dead"})) << page.body;
  const std::string list = module_->ChList().GetXML();
  EXPECT_NE(list.find("<xmlUrl>" + feeds_.Url("/new") + "</xmlUrl>"), std::string::npos) << list;
  EXPECT_EQ(TChItem(module_->ChList(), feeds_.Url("/new")).GetFileName() + ".xml",
            oldLog.substr(std::string("channels/").size()));
  const size_t before = feeds_.RequestCount("/new");
  Get("/rss.html?u=" + feeds_.Url("/new") + "/&r=on");
  EXPECT_EQ(feeds_.RequestCount("/new"), before + 1);
  EXPECT_EQ(feeds_.RequestCount("/old"), oldAsked) << "the old address is not asked again";

  // An address no group holds is refused by name.
  page = Get("/health.html?do=remove&ue=on&u=" + EncodeURLParam("http://127.0.0.1:1/none"));
  EXPECT_NE(page.body.find("message="), std::string::npos);
}

TEST_F(HealthPage, ThePatrolLeavesFailingAndGoneFeedsWhereAGroupPageAsksTheFailingOne) {
  const size_t dead = feeds_.RequestCount("/dead"), gone = feeds_.RequestCount("/gone");
  module_->PatrolRefresh("b.opml");
  EXPECT_EQ(feeds_.RequestCount("/dead"), dead) << "backing off";
  EXPECT_EQ(feeds_.RequestCount("/gone"), gone);
  Get("/ch.html?u=b.opml/&r=on");
  EXPECT_EQ(feeds_.RequestCount("/dead"), dead + 1) << "its reader's refresh asks";
  EXPECT_EQ(feeds_.RequestCount("/gone"), gone);
}

TEST_F(HealthPage, WhenEveryFeedIsWellTheListIsEmpty) {
  feeds_.Serve("/dead", test::FeedBody("dead"));
  feeds_.Serve("/gone", test::FeedBody("gone"));
  Get("/rss.html?u=" + feeds_.Url("/dead") + "/&r=on");
  Get("/rss.html?u=" + feeds_.Url("/gone") + "/&r=on");  // its reader may still ask
  Get("/health.html?do=move&ue=on&u=" + EncodeURLParam(feeds_.Url("/old")));
  const test::FetchResult page = Get("/health.html");
  EXPECT_TRUE(Listed(page.body).empty()) << page.body;
  EXPECT_NE(page.body.find("feeds=\"4\""), std::string::npos) << page.body;
}

}  // namespace
}  // namespace norvane
