#include <gtest/gtest.h>

#include <stdexcept>

#include "app/data_module.h"
#include "core/cancellation.h"
#include "core/headless_shell.h"
#include "core/texts.h"
#include "feeds/rxml.h"
#include "feeds/style_functions.h"
#include "gateway/page_builders.h"
#include "groups/channel_pages.h"
#include "groups/group_home.h"
#include "support/fake_shell.h"
#include "support/feed_server.h"
#include "support/http_fetch.h"
#include "support/raw_socket.h"

namespace norvane {
namespace {

using test::FeedBody;
using test::OpmlOf;
using test::Sjis;

class GroupRoutes : public test::ModuleHome {
 protected:
  void SetUp() override {
    ModuleHome::SetUp();
    CopyShippedCatalogues();
    feeds_.Serve("/a", FeedBody("Alpha", "needle in a"));
    feeds_.Serve("/b", FeedBody("Beta", "hay"));
    home_.Write("opmls/news.opml", OpmlOf("News", {{"a", feeds_.Url("/a")}}));
    home_.Write("opmls/ニュース.opml", OpmlOf("日本", {{"b", feeds_.Url("/b")}}));
  }
};

TEST_F(GroupRoutes, StartBuildsTheCatalogueAndTheGroupRoutesAnswer) {
  Start();
  // Every route of the table has its builder: none falls through to a 404.
  EXPECT_TRUE(module_->server().RoutesWithoutHandler().empty());
  // A route the table lacks could never be reached: giving it a builder is refused.
  EXPECT_THROW(module_->server().SetRoute("nowhere.html", {}), std::logic_error);
  EXPECT_NE(home_.Read("opmls/gp.xml").find("file=\"news.opml\""), std::string::npos);

  auto gp = Get("/gp.html");  // the first group, in name order
  EXPECT_EQ(gp.status, 200);
  EXPECT_EQ(gp.Header("Content-Type"), "text/html");
  EXPECT_NE(gp.body.find("<selected title=\"News\" file=\"news.opml\"/>"), std::string::npos);
  EXPECT_EQ(GetSettings().LASTOPML, "news.opml");

  auto ch = Get("/ch.html?u=news.opml/&r=on");
  EXPECT_EQ(ch.status, 200);
  EXPECT_EQ(ch.body, "[frame news.opml](Alpha:1)[/frame]");
  EXPECT_TRUE(module_->FetchIdle());  // set back after the refresh
  EXPECT_FALSE(module_->IsIdle());    // no patrol exists in this test
  for (const char* target : {"/ch.html?u=none.opml/", "/ch.html?u=../search.xml/", "/ch.html"})
    EXPECT_EQ(Get(target).status, 404) << target;

  // A Japanese group name as a modern browser sends it.
  auto jp = Get("/ch.html?u=%E3%83%8B%E3%83%A5%E3%83%BC%E3%82%B9.opml/");
  EXPECT_EQ(jp.status, 200);
  EXPECT_EQ(SjisToUtf8(jp.body), "[frame ニュース.opml](Beta:1)[/frame]");
  EXPECT_NE(SjisToUtf8(Get("/gp.html?u=%E3%83%8B%E3%83%A5%E3%83%BC%E3%82%B9.opml/").body)
                .find("<title>日本</title>"),
            std::string::npos);

  auto add = Get("/add.xml?opml=news.opml");
  EXPECT_EQ(add.Header("Content-Type"), "text/XML");
  EXPECT_NE(add.body.find("<error>1</error>"), std::string::npos);
  EXPECT_EQ(Get("/add.html").status, 200);

  // Today's items holding the word, across every group, in the frame of no group.
  auto filter = Get("/filter?w=needle");
  EXPECT_EQ(filter.status, 200);
  EXPECT_EQ(filter.body, "[frame ](Alpha:1)\r\n(Beta:0)\r\n[/frame]");
}

TEST_F(GroupRoutes, ConcurrencyFeedsServedByTheProgramItselfAreFetchedWhileTheGroupWaits) {
  // The feeds of this group are files the same server streams through another route, so
  // the group page can only finish if the server answers them while it waits.
  Start();
  Listen();
  std::vector<test::Outline> outlines;
  for (int i = 0; i < 4; ++i) {
    std::string name = "self" + std::to_string(i) + ".xml";
    home_.Write("opmls/" + name, FeedBody("Self " + std::to_string(i)));
    outlines.push_back({name, "http://127.0.0.1:" + std::to_string(port_) + "/opml.xml?u=" + name + "/"});
  }
  home_.Write("opmls/self.opml", OpmlOf("Self", outlines));
  auto page = test::Fetch("http://127.0.0.1:" + std::to_string(port_) + "/ch.html?u=self.opml/&r=on");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.body, "[frame self.opml](Self 0:1)(Self 1:1)(Self 2:1)(Self 3:1)[/frame]");
}

TEST_F(GroupRoutes, ConcurrencyAGroupPageGoesOutInChunksAndOutlastsAClientThatLeaves) {
  UpdateSettings([](Settings& s) {
    s.WebUserName = "me";
    s.WebPassWord = "Secret";
    s.READTIMEOUT = 3000;
  });
  test::FeedRoute slow{.body = FeedBody("Slow"), .delay = std::chrono::milliseconds(20000)};
  feeds_.Route("/slow", slow);  // times out, so the page waits at its second block
  home_.Write("opmls/slow.opml", OpmlOf("Slow", {{"a", feeds_.Url("/a")},
                                                 {"s", feeds_.Url("/slow")},
                                                 {"b", feeds_.Url("/b")}}));
  Start();
  Listen();
  const std::string base = "http://127.0.0.1:" + std::to_string(port_);
  auto page = test::Fetch(base + "/ch.html?u=news.opml/&r=on",
                          {.fromAddress = "127.0.0.2", .user = "me", .password = "Secret"});
  EXPECT_EQ(page.body, "[frame news.opml](Alpha:1)[/frame]");
  EXPECT_EQ(page.Header("Transfer-Encoding"), "chunked");
  EXPECT_EQ(page.Header("Content-Type"), "text/html");
  EXPECT_EQ(page.Header("X-Content-Type-Options"), "nosniff");
  EXPECT_NE(page.Header("Content-Security-Policy").find("script-src 'self'"), std::string::npos);
  const auto log = module_->server().accessLog().Snapshot();
  ASSERT_EQ(log.size(), 2u);  // its heading, and the page's one line
  EXPECT_EQ(log[1], "GET /ch.html?u=news.opml/&r=on HTTP/1.1 : 127.0.0.2");

  {  // a client that leaves mid-page
    test::RawConnection client(port_);
    ASSERT_TRUE(client.Send("GET /ch.html?u=slow.opml/&r=on HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    std::string begun;  // chunks: the frame's head, then the first block
    for (int i = 0; i < 100 && begun.find("(Alpha:1)") == std::string::npos; ++i)
      begun += client.Receive(50);
    EXPECT_NE(begun.find("[frame slow.opml]"), std::string::npos) << begun;
    EXPECT_NE(begun.find("(Alpha:1)"), std::string::npos) << begun;
    EXPECT_EQ(begun.find("[/frame]"), std::string::npos) << begun;
  }
  module_.reset();  // the end waits for the page's refresh
  EXPECT_EQ(feeds_.RequestCount("/b"), 1u);
  EXPECT_NE(home_.Read("channels/ChannelList.xml").find(feeds_.Url("/b")), std::string::npos);
}

// A group shown from its stored logs hands each parsed log to the block's stylesheet: the
// block is the one the channel document's text, parsed again, gives (Default's chs.xsl
// with its marks, health and kept-item markup), each made with empty caches.
TEST_F(GroupRoutes, AStoredLogHandedOverAsParsedGivesTheBlockItsTextGives) {
  test::CopyTree(std::string(NORVANE_DATA_DIR) + "/xsls/Default", home_.path() + "/xsls/Default");
  UpdateSettings([](Settings& s) { s.XSL_STYLE = "Default"; });
  Start();
  ASSERT_EQ(Get("/ch.html?u=news.opml/&r=on").status, 200);
  const FeedContext feeds = module_->Feeds();
  const ParamList params{"u=" + feeds_.Url("/a")};
  ChannelRenderer renderer;
  std::string blocks[2];
  for (int handedOver = 0; handedOver < 2; ++handedOver) {
    TRXML doc;
    if (handedOver)
      LoadChannelDocument(params, feeds, doc);
    else
      doc.LoadFromXML(CreateRSSxml(params, true, feeds));
    ClearStyleCaches();
    blocks[handedOver] = renderer.Render(doc);
  }
  EXPECT_NE(blocks[1].find("needle in a"), std::string::npos) << blocks[1];
  EXPECT_EQ(blocks[1], blocks[0]);
}

TEST_F(GroupRoutes, TheFilterPageIsToldItsKeyword) {
  // A frame that shows the keyword it was given between bars.
  home_.Write("xsls/Probe/ch.xsl",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
              "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
              "<xsl:output method=\"text\" encoding=\"Shift_JIS\"/><xsl:template match=\"/\">"
              "|<xsl:value-of select=\"chbody/@w\"/>|<xsl:value-of select=\"chbody\"/></xsl:template>"
              "</xsl:stylesheet>");
  Start();
  struct Case {
    const char* query;
    std::string shown;
  };
  const Case cases[] = {
      {"w=needle", "needle"},
      {"w=%E3%82%AB%E3%83%BC%E3%83%8D%E3%83%AB", Sjis("カーネル")},  // UTF-8 from a browser
      {"w=a%22b%26c%3Cd%3E", "a\"b&c<d>"},  // markup stays text
      {"w=100%25s", "100%s"},  // the blocks still go where the frame's own place is
      {"w=x%01y%09z", "x y z"},  // no control characters in the frame's document
      {"w=", ""},
  };
  for (const Case& c : cases) {
    auto r = Get(std::string("/filter?") + c.query);
    EXPECT_EQ(r.status, 200) << c.query;
    EXPECT_EQ(r.body.substr(0, r.body.find("(Alpha")), "|" + c.shown + "|") << c.query;
    EXPECT_NE(r.body.find("(Beta:"), std::string::npos) << c.query << ": " << r.body;
  }
}

TEST_F(GroupRoutes, AFilterWhoseFrameFailsFailsTheRequest) {
  Start();
  std::remove("xsls/Probe/ch.xsl");
  EXPECT_EQ(Get("/filter?w=x").status, 500);
  EXPECT_EQ(Get("/ch.html?u=news.opml/").body.rfind(T().channelPageFailed, 0), 0u);
}

class SilentPopup : public PopupView {
 public:
  void ShowPopup() override {}
  void HidePopup() override {}
  void AppendLine(const std::string&) override {}
  void ClearLines() override {}
};

// A patrol step that fails after its refresh went through: the main loop's error
// handler reports it and ends the loop with 1, and the orderly end still saves.
TEST_F(GroupRoutes, APatrolStepThatThrowsEndsTheRunInOrderWithItsSaves) {
  UpdateSettings([](Settings& s) { s.GOROUND = true; });
  home_.Write("opmls/gp.xml", "<?xml version=\"1.0\"?><group><items>"
                              "<item title=\"News\" file=\"news.opml\" goround=\"1\"/></items></group>");
  HeadlessShell shell;
  module_ = std::make_unique<TDataM>(shell);
  SilentPopup view;
  TForm5 popup(shell, view);
  module_->StartPatrol(popup, std::chrono::milliseconds(20), [this](const std::string& file) {
    module_->PatrolRefresh(file);
    throw std::runtime_error("patrol step broke");
    return std::optional<std::vector<ChannelCount>>();
  });
  testing::internal::CaptureStderr();
  EXPECT_EQ(shell.loop().Run(), 1);
  module_->EndInOrder();
  EXPECT_NE(testing::internal::GetCapturedStderr().find("norvane: patrol step broke"), std::string::npos);
  EXPECT_NE(home_.Read("channels/ChannelList.xml").find(feeds_.Url("/a")), std::string::npos);
  module_.reset();  // before the shell it was given
  ResetCancellation();  // the orderly end cancelled every fetch; later tests in this process fetch
}

}  // namespace
}  // namespace norvane
