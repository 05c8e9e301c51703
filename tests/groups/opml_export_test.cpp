// The export of every group as one OPML 2.0 file, checked against what the common readers
// read of it: one level of folders (text and title) holding feeds that each carry
// type="rss", text, title and xmlUrl, and nothing but outlines in the body.
#include "groups/opml_export.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include "feeds/xml_owners.h"
#include "groups/group_home.h"

namespace norvane {
namespace {

using test::OpmlText;

std::string Prop(const xmlNode* n, const char* name) {
  XmlText v(xmlGetProp(n, BAD_CAST name));
  return v ? C(v.get()) : "<none>";
}

std::vector<xmlNodePtr> Elements(const xmlNode* parent) {
  std::vector<xmlNodePtr> out;
  for (xmlNodePtr c = parent ? parent->children : nullptr; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE) out.push_back(c);
  return out;
}

class OpmlExport : public test::ModuleHome {
 protected:
  void SetUp() override {
    ModuleHome::SetUp();
    CopyShippedCatalogues();
    home_.Write("opmls/news.opml",
                OpmlText("News", "<outline text=\"A &amp; B\" type=\"rss\" xmlUrl=\"http://a.example/feed?x=1&amp;y=2\" "
                                 "htmlUrl=\"http://a.example/\" description=\"about &lt;A&gt;\"/>"
                                 "<outline text=\"Inner\"><outline text=\"Deeper\"><outline title=\"C\" "
                                 "xmlUrl=\"https://c.example/c.rss\"/></outline></outline>"
                                 "<outline text=\"no address\" type=\"rss\"/>"
                                 "<outline text=\"script\" type=\"rss\" xmlUrl=\"htr.xml?u=notice_js.xml/\"/>"
                                 "<outline text=\"本\" type=\"rss\" xmlUrl=\"scrap.xml?u=本.keys/\"/>"));
    home_.Write("opmls/fun.opml", OpmlText("Fun ☆", "<outline text=\"😀 feed\" type=\"rss\" xmlUrl=\"http://e.example/\"/>"));
    home_.Write("opmls/empty.opml", OpmlText("Empty", ""));
  }
  xmlDocPtr Export() {
    TGP gp;
    exported_ = CreateExportOpml(gp, {test::Sjis("本"), "news"}, 4565);
    doc_.reset(xmlReadMemory(exported_.data(), static_cast<int>(exported_.size()), nullptr, nullptr, XML_PARSE_NONET));
    return doc_.get();
  }
  std::string exported_;
  OwnedDoc doc_;
};

TEST_F(OpmlExport, OneFolderPerGroupInCatalogueOrderWithEveryFeedFlattenedAndTheScrapbooks) {
  xmlDocPtr doc = Export();
  ASSERT_NE(doc, nullptr) << exported_;
  EXPECT_EQ(exported_.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
  xmlNodePtr root = xmlDocGetRootElement(doc);
  EXPECT_STREQ(C(root->name), "opml");
  EXPECT_EQ(Prop(root, "version"), "2.0");
  std::vector<xmlNodePtr> parts = Elements(root);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(Prop(parts[0], "version"), "<none>");
  EXPECT_STREQ(C(Elements(parts[0])[0]->name), "title");

  std::vector<xmlNodePtr> folders = Elements(parts[1]);
  ASSERT_EQ(folders.size(), 4u);  // the catalogue sorts new groups by file name; then the scrapbooks
  const std::vector<std::string> titles{"Empty", "Fun ☆", "News", "スクラップブック"};
  for (size_t i = 0; i < folders.size(); ++i) {
    SCOPED_TRACE(titles[i]);
    EXPECT_STREQ(C(folders[i]->name), "outline");
    EXPECT_EQ(Prop(folders[i], "text"), titles[i]);
    EXPECT_EQ(Prop(folders[i], "title"), titles[i]);
    EXPECT_EQ(Prop(folders[i], "xmlUrl"), "<none>") << "a folder is no feed";
    EXPECT_EQ(Prop(folders[i], "type"), "<none>");
    for (xmlNodePtr feed : Elements(folders[i])) {
      EXPECT_TRUE(Elements(feed).empty()) << "one level of folders";
      EXPECT_EQ(Prop(feed, "type"), "rss");
      EXPECT_NE(Prop(feed, "text"), "<none>");
      EXPECT_EQ(Prop(feed, "title"), Prop(feed, "text"));
      EXPECT_EQ(Prop(feed, "xmlUrl").find("://") != std::string::npos, true);
    }
  }
  EXPECT_TRUE(Elements(folders[0]).empty());
  // Copied DOM to DOM: what Shift_JIS lacks is kept.
  EXPECT_EQ(Prop(Elements(folders[1])[0], "text"), "😀 feed");

  std::vector<xmlNodePtr> news = Elements(folders[2]);
  ASSERT_EQ(news.size(), 4u) << "the outline without an address is left out";
  EXPECT_EQ(Prop(news[0], "text"), "A & B");
  EXPECT_EQ(Prop(news[0], "xmlUrl"), "http://a.example/feed?x=1&y=2");
  EXPECT_EQ(Prop(news[0], "htmlUrl"), "http://a.example/");
  EXPECT_EQ(Prop(news[0], "description"), "about <A>");
  EXPECT_EQ(Prop(news[1], "text"), "C") << "a nested folder's feed, named by its title";
  EXPECT_EQ(Prop(news[1], "htmlUrl"), "<none>");
  EXPECT_EQ(Prop(news[2], "xmlUrl"), "http://localhost:4565/htr.xml?u=notice_js.xml/");
  EXPECT_EQ(Prop(news[3], "xmlUrl"), "http://localhost:4565/scrap.xml?u=%E6%9C%AC.keys/");

  std::vector<xmlNodePtr> books = Elements(folders[3]);
  ASSERT_EQ(books.size(), 2u);
  EXPECT_EQ(Prop(books[0], "text"), "本");
  EXPECT_EQ(Prop(books[0], "xmlUrl"), "http://localhost:4565/scrap.xml?u=%E6%9C%AC.keys/");
  EXPECT_EQ(Prop(books[1], "xmlUrl"), "http://localhost:4565/scrap.xml?u=news.keys/");
}

TEST_F(OpmlExport, AGroupFileThatCannotBeReadIsAnEmptyFolderAndNothingElseIsLost) {
  TGP gp;  // the catalogue holds the group; then its file breaks
  home_.Write("opmls/news.opml", "<opml><body><outline");
  const std::string text = CreateExportOpml(gp, {}, 4565);
  OwnedDoc doc(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, XML_PARSE_NONET));
  ASSERT_TRUE(doc);
  std::vector<xmlNodePtr> folders = Elements(Elements(xmlDocGetRootElement(doc.get()))[1]);
  ASSERT_EQ(folders.size(), 3u) << "no scrapbook folder without scrapbooks";
  EXPECT_EQ(Prop(folders[2], "text"), "News");
  EXPECT_TRUE(Elements(folders[2]).empty());
  EXPECT_EQ(Elements(folders[1]).size(), 1u);
}

TEST_F(OpmlExport, TheRouteAnswersAFileToSaveAndWritesNothing) {
  Start();
  const std::string catalogue = home_.Read("opmls/gp.xml");
  auto res = Get("/export.opml");
  EXPECT_EQ(res.status, 200);
  EXPECT_EQ(res.Header("Content-Type"), "text/x-opml; charset=UTF-8");
  EXPECT_EQ(res.Header("Content-Disposition"), "attachment; filename=\"norvane.opml\"");
  EXPECT_NE(res.body.find("<outline text=\"Fun ☆\" title=\"Fun ☆\">"), std::string::npos) << res.body;
  EXPECT_EQ(home_.Read("opmls/gp.xml"), catalogue);
}

}  // namespace
}  // namespace norvane
