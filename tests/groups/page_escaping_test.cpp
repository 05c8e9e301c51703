// Every builder that answers with HTML shows what came from a request, a file name or a
// feed as text: a style that fails while quoting it, or that makes no page at all, must
// not let the markup through. The program runs with its real routes.
#include <gtest/gtest.h>

#include "core/texts.h"
#include "groups/group_home.h"
#include "app/data_module.h"
#include "support/fake_shell.h"
#include "support/feed_server.h"

namespace norvane {
namespace {

using test::OpmlOf;

constexpr const char* kMarkup = "<meta http-equiv=\"refresh\" content=\"0;url=http://evil.example/\">";
constexpr const char* kEscaped = "&lt;meta http-equiv=&quot;refresh&quot;";

std::string HostileFeed() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>"
         "&lt;meta http-equiv=\"refresh\" content=\"0;url=http://evil.example/\"&gt;</title>"
         "<link>http://127.0.0.1/</link><description>d</description><item><title>t</title>"
         "<link>http://127.0.0.1/1</link><description>x</description></item></channel></rss>";
}

// A stylesheet that fails, quoting the text the path selects in its message.
std::string Quoting(const std::string& path) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
         "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
         "<xsl:template match=\"/\"><xsl:message terminate=\"yes\"><xsl:value-of select=\"" + path +
         "\"/></xsl:message></xsl:template></xsl:stylesheet>";
}

// A stylesheet whose output is empty.
constexpr const char* kBlank =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"text\"/><xsl:template match=\"/\"/></xsl:stylesheet>";

class PageEscaping : public test::ModuleHome {
 protected:
  void SetUp() override {
    ModuleHome::SetUp();
    test::CopyTree(std::string(NORVANE_DATA_DIR) + "/dic.csv", home_.path());
    feeds_.Serve("/feed", HostileFeed());
    feeds_.Serve("/search", HostileFeed());
    home_.Write("search.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><search><item><title>local</title>"
                              "<searchUrl>" + feeds_.Url("/search") + "?q=$SEARCH_PHRASE$</searchUrl></item></search>");
    home_.Write("opmls/news.opml", OpmlOf("News", {{"a", feeds_.Url("/feed")}}));
    home_.Write(std::string("opmls/") + "<img src=x>.opml", OpmlOf("Odd", {}));
    // The Probe style, its page stylesheets made to fail on what they were given.
    home_.Write("xsls/Probe/rss.xsl", Quoting("//*[local-name()='channel']/*[local-name()='title']"));
    home_.Write("xsls/Probe/chs.xsl", Quoting("//*[local-name()='channel']/*[local-name()='title']"));
    home_.Write("xsls/Probe/add.xsl", Quoting("/add/addUrl/@xmlUrl"));
    home_.Write("xsls/Probe/gp.xsl", Quoting("/group/selected/@file"));
    Start();
  }
};

TEST_F(PageEscaping, FailingStylesQuoteRequestsFileNamesAndFeedsAsText) {
  const std::string feed = feeds_.Url("/feed");
  struct Case {
    const char* builder;
    std::string target;
    std::string startsWith;  // the builder's own failure text
  };
  const std::vector<Case> cases = {
      {"feed page", "/rss.html?u=" + feed + "/&r=on", T().xsltFailed},
      {"group page", "/ch.html?u=news.opml/&r=on", "[frame news.opml]" + T().xsltFailed},
      {"filter", "/filter?w=t", "[frame ]\r\n" + T().xsltFailed},  // the odd group has no feeds
      {"search", "/search?ue=on&u=local&w=x", T().xsltFailed},
      {"add page", "/add.html?ue=on&u=" + std::string("%3Cmeta%20http-equiv=%22refresh%22%20content=%220;url=http://evil.example/%22%3E"), ""},
      {"group list", "/gp.html?u=%3Cimg%20src=x%3E.opml/", T().gpBuildFailed},
  };
  for (const Case& c : cases) {
    auto r = Get(c.target);
    EXPECT_EQ(r.status, 200) << c.builder;
    EXPECT_EQ(r.body.rfind(c.startsWith, 0), 0u) << c.builder << ": " << r.body.substr(0, 200);
    EXPECT_EQ(r.body.find("<meta"), std::string::npos) << c.builder << ": " << r.body;
    EXPECT_EQ(r.body.find("<img"), std::string::npos) << c.builder << ": " << r.body;
    const bool quotesFeed = std::string(c.builder) != "group list";
    EXPECT_NE(r.body.find(quotesFeed ? kEscaped : "&lt;img src=x&gt;"), std::string::npos)
        << c.builder << ": " << r.body;
  }
}

TEST_F(PageEscaping, WithoutAPageTheDocumentIsShownAsText) {
  home_.Write("xsls/Probe/rss.xsl", kBlank);
  for (const std::string& target : {"/rss.html?u=" + feeds_.Url("/feed") + "/&r=on",
                                    std::string("/search?ue=on&u=local&w=x")}) {
    auto r = Get(target);
    EXPECT_EQ(r.status, 200) << target;
    EXPECT_EQ(r.body.find("<meta"), std::string::npos) << target;
    EXPECT_EQ(r.body.find("<rss"), std::string::npos) << target;
    EXPECT_NE(r.body.find("&lt;rss"), std::string::npos) << target << ": " << r.body.substr(0, 200);
  }
}

TEST_F(PageEscaping, GroupNamesThatLeaveTheFolderAre404AndNothingIsRemembered) {
  EXPECT_EQ(Get("/gp.html?u=news.opml/").status, 200);
  for (const char* target : {"/gp.html?u=../search.xml/", "/gp.html?u=/etc/passwd/",
                             "/gp.html?ue=on&u=..%2Fsearch.xml"}) {
    EXPECT_EQ(Get(target).status, 404) << target;
    EXPECT_EQ(GetSettings().LASTOPML, "news.opml") << target;
  }
  // A name that does not exist is a failure page, and is not remembered either.
  auto missing = Get(std::string("/gp.html?ue=on&u=") + "%3Cmeta%20http-equiv=refresh%3E");
  EXPECT_EQ(missing.status, 200);
  EXPECT_EQ(missing.body.find("<meta"), std::string::npos);
  EXPECT_EQ(GetSettings().LASTOPML, "news.opml");
  EXPECT_EQ(home_.Exists("norvane.ini"), false) << "nothing was written";
}

TEST_F(PageEscaping, AFrameThatCannotBeMadeIsAPlainText500) {
  std::remove("xsls/Probe/ch.xsl");
  auto r = Get("/filter?w=x");
  EXPECT_EQ(r.status, 500);
  EXPECT_EQ(r.Header("Content-Type"), "text/plain");  // the engine adds nosniff to it (router_engine_test)
}

}  // namespace
}  // namespace norvane
