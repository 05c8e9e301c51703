#include "groups/group_pages.h"

#include <gtest/gtest.h>

#include "core/form_token.h"
#include "core/texts.h"
#include "feeds/xml_node.h"
#include "groups/group_home.h"
#include "groups/opml_append.h"
#include "support/feed_server.h"

namespace norvane {
namespace {

using test::FeedBody;
using test::OpmlOf;
using test::Sjis;

class GroupPages : public test::GroupHome {
 protected:
  void SetUp() override {
    GroupHome::SetUp();
    home_.Write("opmls/first.opml", OpmlOf("First", {{"one", "http://127.0.0.1:9/one"}}));
    home_.Write("opmls/second.opml",
                test::OpmlText("Second", "<outline text=\"folder\"><outline text=\"inner\" type=\"rss\" "
                                         "xmlUrl=\"http://127.0.0.1:9/inner\"/></outline>"));
    gp_ = std::make_unique<TGP>();
    gp_->LoadGpXml([](const std::string&, const std::string&, int) {});
    feeds_.Serve("/f/added.xml", FeedBody("Added"));
    feeds_.Serve("/page.html", "<html><body>no feed</body></html>", "text/html");
  }
  // Parses a page built by the copying stylesheets, or an add.xml answer.
  static std::unique_ptr<TRXML> Parse(const std::string& text) {
    auto doc = std::make_unique<TRXML>();
    doc->LoadFromXML(text);
    return doc;
  }
  static std::string Attr(const TRXML& doc, const char* path, const char* name) {
    xmlNodePtr n = doc.SelectSingleNode(path);
    return n ? GetAttribute(n, name) : "<none>";
  }
  static std::string Text(const TRXML& doc, const char* path) {
    xmlNodePtr n = doc.SelectSingleNode(path);
    return n ? NodeText(n) : "<none>";
  }
  std::string Add(const ParamList& params) { return CreateAddHtml(*gp_, params, true); }

  std::unique_ptr<TGP> gp_;
  test::FeedServer feeds_;
};

TEST_F(GroupPages, GroupPageGivesCatalogueSelectionAndTheWholeGroupFile) {
  auto doc = Parse(CreateGpHtml(*gp_, ""));  // nothing shown yet: the first group
  EXPECT_EQ(GetSettings().LASTOPML, "first.opml");
  ASSERT_EQ(NodeName(doc->DocumentElement()), "group");
  EXPECT_EQ(doc->SelectNodes("group/items/item").Length(), 2u);
  EXPECT_EQ(Attr(*doc, "group/items/item", "goround"), "6");
  EXPECT_EQ(Attr(*doc, "group/selected", "title"), "First");
  EXPECT_EQ(Attr(*doc, "group/selected", "file"), "first.opml");
  EXPECT_EQ(Text(*doc, "group/opml/head/title"), "First");
  EXPECT_EQ(Attr(*doc, "group/opml/body/outline", "xmlUrl"), "http://127.0.0.1:9/one");
  // The order of the root's children: items, selected, opml.
  xmlNodePtr c = FirstChildElement(doc->DocumentElement());
  std::vector<std::string> names;
  for (; c; c = NextSiblingElement(c)) names.push_back(NodeName(c));
  EXPECT_EQ(names, (std::vector<std::string>{"items", "selected", "opml"}));

  doc = Parse(CreateGpHtml(*gp_, "second.opml"));
  EXPECT_EQ(Attr(*doc, "group/opml/body/outline/outline", "text"), "inner");  // folders as they are
  EXPECT_EQ(Attr(*Parse(CreateGpHtml(*gp_, "")), "group/selected", "file"), "second.opml");
  EXPECT_EQ(GetSettings().LASTOPML, "second.opml");

  // A group outside the catalogue has no title in the selection.
  home_.Write("opmls/extra.opml", OpmlOf("Extra", {}));
  doc = Parse(CreateGpHtml(*gp_, "extra.opml"));
  EXPECT_FALSE(HasAttribute(doc->SelectSingleNode("group/selected"), "title"));
}

TEST_F(GroupPages, GroupPageFailuresAreOneEscapedTextAndOnlyExistingGroupsAreRemembered) {
  CreateGpHtml(*gp_, "first.opml");
  std::remove("opmls/second.opml");
  const std::string failed = T().gpBuildFailed;
  std::string page = CreateGpHtml(*gp_, "second.opml");
  EXPECT_EQ(page, failed + T().xmlCannotOpen + "opmls/second.opml" + T().xmlCannotOpenAfter);
  EXPECT_EQ(GetSettings().LASTOPML, "first.opml") << "a missing group is not remembered";
  EXPECT_EQ(Attr(*Parse(CreateGpHtml(*gp_, "")), "group/selected", "file"), "first.opml");

  // Markup in the name reaches the failure page as text, and is not remembered either.
  page = CreateGpHtml(*gp_, "<meta http-equiv=refresh content=\"0;url=http://evil.example/\">");
  EXPECT_EQ(page.rfind(failed, 0), 0u);
  EXPECT_EQ(page.find('<'), std::string::npos) << page;
  EXPECT_NE(page.find("&lt;meta http-equiv=refresh content=&quot;0;url=http://evil.example/&quot;&gt;"),
            std::string::npos) << page;
  EXPECT_EQ(GetSettings().LASTOPML, "first.opml");

  // A name that leaves the folder is neither read nor remembered.
  EXPECT_EQ(CreateGpHtml(*gp_, "../first.opml").rfind(failed, 0), 0u);
  EXPECT_EQ(GetSettings().LASTOPML, "first.opml");

  // A last group stored earlier whose file went away fails the page without a u.
  UpdateSettings([](Settings& s) { s.LASTOPML = "second.opml"; });
  EXPECT_EQ(CreateGpHtml(*gp_, "").rfind(failed + T().xmlCannotOpen, 0), 0u);

  home_.Write("opmls/bad.opml", "<opml><body>");
  EXPECT_EQ(CreateGpHtml(*gp_, "bad.opml").rfind(failed + T().xmlLoadFailed, 0), 0u);

  std::remove("xsls/Probe/gp.xsl");
  EXPECT_EQ(CreateGpHtml(*gp_, "first.opml").rfind(failed, 0), 0u);
}

TEST_F(GroupPages, AddPageWithoutUrlOrGroupSaysBothAndOffersTheCatalogue) {
  auto doc = Parse(Add({}));
  EXPECT_EQ(Text(*doc, "add/result/error"), "1");
  EXPECT_EQ(Text(*doc, "add/result/message"), T().enterUrl + T().chooseOpml);
  EXPECT_EQ(Attr(*doc, "add/addUrl", "xmlUrl"), "");
  EXPECT_EQ(Attr(*doc, "add/selected", "file"), "");
  EXPECT_EQ(doc->SelectNodes("add/items/item").Length(), 2u);
  EXPECT_NE(Add({}).find("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>"), std::string::npos);

  doc = Parse(Add({"opml=second.opml"}));
  EXPECT_EQ(Text(*doc, "add/result/message"), T().enterUrl);
  EXPECT_EQ(Attr(*doc, "add/selected", "title"), "Second");

  // last=on takes the group last shown instead of opml.
  UpdateSettings([](Settings& s) { s.LASTOPML = "first.opml"; });
  doc = Parse(Add({"opml=second.opml", "last=on"}));
  EXPECT_EQ(Attr(*doc, "add/selected", "file"), "first.opml");
  EXPECT_EQ(Attr(*doc, "add/selected", "title"), "First");

  // The page itself goes through add.xsl; with no add.xsl the failure's text alone.
  EXPECT_EQ(NodeName(Parse(CreateAddHtml(*gp_, {}, false))->DocumentElement()), "add");
  std::remove("xsls/Probe/add.xsl");
  std::string bare = CreateAddHtml(*gp_, {}, false);
  EXPECT_FALSE(bare.empty());
  EXPECT_EQ(bare.find("<add"), std::string::npos);
}

TEST_F(GroupPages, AddingAFeedAppendsItsOutlineAndFailuresLeaveTheGroupAlone) {
  const std::string before = home_.Read("opmls/first.opml");
  auto doc = Parse(Add({"u=" + feeds_.Url("/page.html"), "opml=first.opml"}));
  EXPECT_EQ(Text(*doc, "add/result/error"), "1");
  // A page without a feed, nor any at the site's usual places.
  EXPECT_EQ(Text(*doc, "add/result/message"), T().notRss + T().discoveryNone);
  EXPECT_EQ(doc->SelectNodes("add/items/item").Length(), 2u);
  EXPECT_EQ(home_.Read("opmls/first.opml"), before);

  doc = Parse(Add({"u=" + feeds_.Url("/f/added.xml"), "opml=first.opml"}));
  EXPECT_EQ(Text(*doc, "add/result/error"), "0");
  EXPECT_EQ(Text(*doc, "add/result/message"), "");
  EXPECT_EQ(doc->SelectSingleNode("add/items"), nullptr);
  EXPECT_FALSE(HasAttribute(doc->SelectSingleNode("add/selected"), "title"));

  TRXML opml;
  opml.LoadFromFile("opmls\\first.opml");
  NodeList outlines = opml.SelectNodes("opml/body/outline");
  ASSERT_EQ(outlines.Length(), 2u);
  EXPECT_NE(opml.XMLWithEncoding().find("<outline text=\"Added\" type=\"rss\" xmlUrl=\"" +
                                        feeds_.Url("/f/added.xml") +
                                        "\" description=\"about Added\" htmlUrl=\"http://127.0.0.1/Added\"/>"),
            std::string::npos);
  AddRssToOpml(feeds_.Url("/f/added.xml"), "first.opml");  // no check for doubles
  opml.LoadFromFile("opmls\\first.opml");
  EXPECT_EQ(opml.SelectNodes("opml/body/outline").Length(), 3u);
}

TEST_F(GroupPages, AnAdditionWithoutTheFormsTokenWaitsFilledInAndWritesNothing) {
  const std::string before = home_.Read("opmls/first.opml");
  const ParamList params{"u=" + feeds_.Url("/f/added.xml"), "opml=first.opml"};
  for (bool xmlOnly : {true, false}) {
    auto doc = Parse(CreateAddHtml(*gp_, params, xmlOnly, false));
    EXPECT_EQ(Text(*doc, "add/result/error"), "1");
    EXPECT_EQ(Attr(*doc, "add/result", "confirm"), "on");
    EXPECT_EQ(Text(*doc, "add/result/message"), T().confirmAdd);
    EXPECT_EQ(Attr(*doc, "add/addUrl", "xmlUrl"), feeds_.Url("/f/added.xml"));
    EXPECT_EQ(Attr(*doc, "add/selected", "file"), "first.opml");
    EXPECT_EQ(Attr(*doc, "add/selected", "title"), "First");
    EXPECT_EQ(doc->SelectNodes("add/items/item").Length(), 2u);
    // The page's forms get the token; the XML answer does not hand it out.
    EXPECT_EQ(HasAttribute(doc->DocumentElement(), "token"), !xmlOnly);
    if (!xmlOnly) {
      EXPECT_EQ(Attr(*doc, "add", "token"), FormToken());
    }
  }
  EXPECT_EQ(home_.Read("opmls/first.opml"), before);
  EXPECT_EQ(feeds_.RequestCount(), 0u) << "nothing was even fetched";
  EXPECT_EQ(Attr(*Parse(CreateGpHtml(*gp_, "first.opml")), "group", "token"), FormToken());
}

TEST_F(GroupPages, AddRefusesBadUrlsAndGroupsWithoutFetchingOrWriting) {
  auto message = [](auto&& f) {
    try {
      f();
    } catch (const std::exception& e) {
      return std::string(e.what());
    }
    return std::string("no failure");
  };
  const std::string before = home_.Read("opmls/first.opml");
  EXPECT_EQ(message([] { AddRssToOpml("127.0.0.1/feed.xml", "first.opml"); }), T().badFeedUrl);
  EXPECT_EQ(message([&] { AddRssToOpml(feeds_.Url("/f/added.xml"), "none.opml"); }), T().opmlNotFound);
  EXPECT_EQ(message([&] { AddRssToOpml(feeds_.Url("/f/added.xml"), "../opmls/first.opml"); }),
            T().opmlNotFound);
  home_.Write("opmls/nobody.opml", "<opml><head><title>t</title></head></opml>");
  EXPECT_EQ(message([&] { AddRssToOpml(feeds_.Url("/f/added.xml"), "nobody.opml"); }),
            T().opmlNoBody + "opmls/nobody.opml");
  EXPECT_EQ(feeds_.RequestCount(), 0u);  // nothing was fetched for any of them
  EXPECT_EQ(message([&] { AddRssToOpml(feeds_.Url("/missing.xml"), "first.opml"); }).empty(), false);
  EXPECT_EQ(home_.Read("opmls/first.opml"), before);

  auto doc = Parse(Add({"u=no-scheme", "opml=first.opml"}));
  EXPECT_EQ(Text(*doc, "add/result/message"), T().badFeedUrl);
}

TEST_F(GroupPages, ASitesAddressLeadsToItsFeedAndTheGroupKeepsTheFeedsAddress) {
  feeds_.Serve("/site/", "<html><head><link rel=\"alternate\" type=\"application/rss+xml\" title=\"Site feed\" "
                         "href=\"../f/added.xml\"></head><body>site</body></html>",
               "text/html");
  feeds_.Serve("/many/", "<html><head><link rel=\"alternate\" type=\"application/rss+xml\" href=\"/f/added.xml\">"
                         "<link rel=\"alternate\" type=\"application/atom+xml\" title=\"Atom\" href=\"/a.xml\">"
                         "</head></html>",
               "text/html");
  const std::string before = home_.Read("opmls/first.opml");
  const ParamList site{"u=" + feeds_.Url("/site/"), "opml=first.opml"};

  // The page: the one feed found, ready to add with one click; nothing written yet.
  auto page = Parse(CreateAddHtml(*gp_, site, false));
  EXPECT_EQ(Text(*page, "add/result/error"), "1");
  EXPECT_EQ(Text(*page, "add/result/message"), T().discoveryFound);
  EXPECT_EQ(Attr(*page, "add/found", "page"), feeds_.Url("/site/"));
  EXPECT_EQ(page->SelectNodes("add/found/feed").Length(), 1u);
  EXPECT_EQ(Attr(*page, "add/found/feed", "title"), "Site feed");
  EXPECT_EQ(home_.Read("opmls/first.opml"), before);

  // add.xml adds it: the outline holds the feed's address, never the page's.
  auto doc = Parse(Add(site));
  EXPECT_EQ(Text(*doc, "add/result/error"), "0");
  EXPECT_EQ(Attr(*doc, "add/added", "xmlUrl"), feeds_.Url("/f/added.xml"));
  EXPECT_EQ(Attr(*doc, "add/addUrl", "xmlUrl"), feeds_.Url("/site/"));
  const std::string after = home_.Read("opmls/first.opml");
  EXPECT_NE(after.find("xmlUrl=\"" + feeds_.Url("/f/added.xml") + "\""), std::string::npos) << after;
  EXPECT_EQ(after.find(feeds_.Url("/site/")), std::string::npos) << after;

  // Several: the list to choose from, in page order, and nothing added.
  const std::string once = home_.Read("opmls/first.opml");
  auto many = Parse(Add({"u=" + feeds_.Url("/many/"), "opml=first.opml"}));
  EXPECT_EQ(Text(*many, "add/result/error"), "1");
  EXPECT_EQ(Text(*many, "add/result/message"), T().discoveryChoose);
  NodeList offered = many->SelectNodes("add/found/feed");
  ASSERT_EQ(offered.Length(), 2u);
  EXPECT_EQ(GetAttribute(offered[1], "xmlUrl"), feeds_.Url("/a.xml"));
  EXPECT_EQ(home_.Read("opmls/first.opml"), once);
}

TEST_F(GroupPages, FramePutsTheBlocksInPlaceOfItsOnePlaceholder) {
  EXPECT_EQ(CreateChFrame("first.opml"), "[frame first.opml]%s[/frame]");
  EXPECT_EQ(FillFrame(CreateChFrame("first.opml"), "BLOCKS 100%"), "[frame first.opml]BLOCKS 100%[/frame]");
  // A "%" elsewhere in the frame is harmless; a name holding "%s" is not the place.
  EXPECT_EQ(FillFrame(CreateChFrame("50%.opml"), "B"), "[frame 50%.opml]B[/frame]");
  EXPECT_EQ(FillFrame(CreateChFrame("a%sb.opml"), "B"), "[frame a%sb.opml]B[/frame]");
  // The blocks in pieces: the same page, each piece given up once it is in.
  std::vector<std::string> pieces{"B1 100%", "", "B3"};
  EXPECT_EQ(FillFrame(CreateChFrame("a%sb.opml"), pieces), "[frame a%sb.opml]B1 100%B3[/frame]");
  EXPECT_EQ(pieces, std::vector<std::string>(3));
  std::vector<std::string> none;
  EXPECT_EQ(FillFrame(CreateChFrame("first.opml"), none), "[frame first.opml][/frame]");
  // Quotes and ampersands in a file name still make a well-formed frame.
  EXPECT_EQ(CreateChFrame("say \"hi\" & <go>.opml"), "[frame say \"hi\" & <go>.opml]%s[/frame]");

  // A frame stylesheet that drops the placeholder: the page is the frame alone.
  home_.Write("xsls/Probe/ch.xsl",
              "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
              "<xsl:output method=\"text\"/><xsl:template match=\"/\">bare</xsl:template></xsl:stylesheet>");
  EXPECT_EQ(FillFrame(CreateChFrame("first.opml"), "B"), "bare");
  std::remove("xsls/Probe/ch.xsl");
  EXPECT_THROW(CreateChFrame("first.opml"), std::exception);
}

}  // namespace
}  // namespace norvane
