// gp.xsl, add.xsl and ch.xsl of both shipped styles over the group pages' documents.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "core/url_helpers.h"
#include "groups/channel_pages.h"
#include "style/style_documents.h"
#include "style/style_page.h"

namespace norvane::test {
namespace {

using Strings = std::vector<std::string>;

bool HasName(const Strings& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

class GroupPages : public ::testing::TestWithParam<std::string> {
 protected:
  Page Render(const std::string& sheet, const std::string& doc) const {
    return test::Render(GetParam(), sheet, doc);
  }
  std::string Frame(const std::string& utf8File) const {
    XsltSheetPtr s = LoadSheet(StylePath(GetParam(), "ch.xsl"));
    // The frame's document as the builder makes it: the name inserted as it is.
    return Transform(s.get(), Utf8ToSjis("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<chbody file=\"" +
                                         utf8File + "\">%s</chbody>"));
  }
};

TEST_P(GroupPages, GroupPageListsGroupsFeedsAndWaysToReadThem) {
  Page p = Render("gp.xsl", GroupDocument());
  EXPECT_EQ(p.sjis().rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_EQ(p.Count("//meta[@charset or @http-equiv]"), 1u);
  EXPECT_EQ(p.All("//nav[@class='side']//li//*[@class='g-title']"), (Strings{"はじめて", "ニュース"}));
  EXPECT_EQ(p.All("//nav[@class='side']//a[@aria-current='page']//*[@class='g-title']"), Strings{"はじめて"});
  EXPECT_EQ(p.One("//h1"), "はじめて");

  EXPECT_EQ(p.All("//li[@class='feed']//*[@class='feed-title']"), (Strings{"一つ目のフィード", "入れ子のフィード"}));
  EXPECT_EQ(p.All("//li[@class='feed']//*[@class='feed-desc']"), (Strings{"一つ目の説明", "入れ子の説明"}));
  EXPECT_EQ(p.All("//li[@class='feed']//a[@class='site']/@href"),
            (Strings{"http://127.0.0.1/one/", "http://127.0.0.1/nested/"}));
  EXPECT_NE(p.One("//li[@class='folder']//summary").find("入れ物"), std::string::npos);

  Strings links = p.All("//a/@href");
  for (const char* l : {"ch.html?u=sample.opml/&r=on", "ch.html?u=sample.opml/&r=on&sel=today",
                        "ch.html?u=sample.opml/&r=on&sel=new", "ch.html?u=sample.opml/&r=on&d=off",
                        "opml.xml?u=sample.opml/", "rss.html?u=http://127.0.0.1/one.rdf/&r=on",
                        "rss.html?u=http://127.0.0.1/feed?x=1&y=2/&r=on", "gp.html?u=sample.opml/"})
    EXPECT_TRUE(HasName(links, l)) << l;

  // The add form names this group; ue=on keeps the typed URL as the form sends it.
  EXPECT_EQ(p.One("//form[@action='add.html']//input[@name='opml']/@value"), "sample.opml");
  EXPECT_EQ(p.One("//form[@action='add.html']//input[@name='ue']/@value"), "on");
  EXPECT_EQ(p.Count("//form[@action='add.html']//input[@name='u']"), 1u);
}

TEST_P(GroupPages, JapaneseGroupNamesAreLinkedAsBrowsersSendThem) {
  Page p = Render("gp.xsl", GroupDocument(R"(<selected title="ニュース" file="ニュース.opml"/>)"));
  std::string href = p.One("//nav[@class='side']//a[@aria-current='page']/@href");
  EXPECT_EQ(PercentDecode(href), "gp.html?u=ニュース.opml/");
  EXPECT_EQ(PercentDecode(p.One("//form//input[@name='opml']/@value")), "ニュース.opml");
}

TEST_P(GroupPages, GroupOutsideTheCatalogueTakesItsTitleFromItsFile) {
  Page p = Render("gp.xsl", GroupDocument(R"(<selected file="lost.opml"/>)"));
  EXPECT_EQ(p.One("//h1"), "はじめての見出し");
  EXPECT_EQ(p.Count("//nav[@class='side']//a[@aria-current]"), 0u);
  EXPECT_TRUE(HasName(p.All("//a/@href"), "ch.html?u=lost.opml/&r=on"));
}

TEST_P(GroupPages, AddFormOffersTheCatalogueAndKeepsWhatWasAsked) {
  Page fresh = Render("add.xsl", "<add><result><error>1</error><message>URLを入力してください。OPMLを選択してください。</message></result>"
                                 "<addUrl xmlUrl=\"\"/><selected file=\"\"/>" + Catalogue() + "</add>");
  EXPECT_EQ(fresh.All("//select[@name='opml']/option"), (Strings{"選んでください", "はじめて", "ニュース"}));
  EXPECT_EQ(fresh.All("//select[@name='opml']/option/@value"), (Strings{"", "sample.opml", "ニュース.opml"}));
  EXPECT_EQ(fresh.One("//form[@action='add.html']//input[@name='ue']/@value"), "on");
  EXPECT_EQ(fresh.Count("//*[@role='alert']"), 0u) << "nothing was asked yet: no error";
  EXPECT_NE(fresh.One("//form//p[@class='hint']").find("URLを入力してください。"), std::string::npos);

  Page failed = Render("add.xsl", "<add><result><error>1</error><message>RSSじゃない？</message></result>"
                                  "<addUrl xmlUrl=\"http://127.0.0.1/page.html\"/><selected file=\"ニュース.opml\" title=\"ニュース\"/>" +
                                      Catalogue() + "</add>");
  EXPECT_EQ(failed.One("//*[@role='alert']//*[@class='message']"), "RSSじゃない？");
  EXPECT_EQ(failed.One("//input[@name='u']/@value"), "http://127.0.0.1/page.html");
  EXPECT_EQ(failed.All("//option[@selected]/@value"), Strings{"ニュース.opml"});
  EXPECT_EQ(failed.Count("//option[@value='']"), 0u);

  // A URL from the command line: the group is still to be chosen.
  Page choose = Render("add.xsl", "<add><result><error>1</error><message>OPMLを選択してください。</message></result>"
                                  "<addUrl xmlUrl=\"http://127.0.0.1/f.rdf\"/><selected file=\"\"/>" + Catalogue() + "</add>");
  EXPECT_EQ(choose.Count("//*[@role='alert']"), 0u);
  EXPECT_EQ(choose.One("//*[@role='status']"), "OPMLを選択してください。");
  EXPECT_EQ(choose.One("//input[@name='u']/@value"), "http://127.0.0.1/f.rdf");
}

TEST_P(GroupPages, FormsThatAddCarryTheTokenAndAWaitingAdditionIsNoFailure) {
  // The add page held back for a click: the form filled in, a notice, no error.
  Page waiting = Render("add.xsl", "<add token=\"t0k3n\"><result confirm=\"on\"><error>1</error><message>追加するには押してください。</message></result>"
                                   "<addUrl xmlUrl=\"http://127.0.0.1/f.rdf\"/><selected file=\"ニュース.opml\" title=\"ニュース\"/>" +
                                       Catalogue() + "</add>");
  EXPECT_EQ(waiting.Count("//*[@role='alert']"), 0u);
  EXPECT_EQ(waiting.One("//*[@role='status']"), "追加するには押してください。");
  EXPECT_EQ(waiting.One("//input[@name='u']/@value"), "http://127.0.0.1/f.rdf");
  EXPECT_EQ(waiting.All("//option[@selected]/@value"), Strings{"ニュース.opml"});
  EXPECT_EQ(waiting.All("//form[@action='add.html']//input[@name='token']/@value"), Strings{"t0k3n"});

  Page added = Render("add.xsl", R"(<add token="t0k3n"><result><error>0</error><message/></result><addUrl xmlUrl="http://127.0.0.1/f.rdf"/><selected file="sample.opml"/></add>)");
  EXPECT_EQ(added.All("//form[@action='add.html']//input[@name='token']/@value"), Strings{"t0k3n"});

  std::string group = GroupDocument();
  group.replace(0, std::string("<group>").size(), "<group token=\"t0k3n\">");
  Page p = Render("gp.xsl", group);
  EXPECT_EQ(p.All("//form[@action='add.html']//input[@name='token']/@value"), Strings{"t0k3n"});
  // A document without a token (another program's) gives forms without the field.
  EXPECT_EQ(Render("gp.xsl", GroupDocument()).Count("//input[@name='token']"), 0u);
}

TEST_P(GroupPages, FeedsASiteOffersAreReadyToAddOrToChooseFrom) {
  const std::string head = "<add token=\"t\"><result><error>1</error><message>M</message></result>"
                           "<addUrl xmlUrl=\"example.jp\"/><selected file=\"sample.opml\"/><found page=\"https://example.jp\">";
  const std::string one = "<feed xmlUrl=\"https://example.jp/feed\" title=\"日記\"/>";
  const std::string two = "<feed xmlUrl=\"https://example.jp/atom\" type=\"application/atom+xml\"/>";
  Page ready = Render("add.xsl", head + one + "</found>" + Catalogue() + "</add>");
  EXPECT_EQ(ready.Count("//*[@role='alert']"), 0u) << "a feed found is no failure";
  EXPECT_NE(ready.One("//*[@role='status']").find("日記"), std::string::npos);
  EXPECT_EQ(ready.All("//form[@action='add.html']//input[@name='u']/@value"), Strings{"https://example.jp/feed"});
  EXPECT_EQ(ready.Count("//input[@type='radio']"), 0u);

  Page choice = Render("add.xsl", head + one + two + "</found>" + Catalogue() + "</add>");
  EXPECT_EQ(choice.All("//fieldset//input[@type='radio'][@name='u']/@value"),
            (Strings{"https://example.jp/feed", "https://example.jp/atom"}));
  EXPECT_EQ(choice.All("//input[@type='radio'][@checked]/@value"), Strings{"https://example.jp/feed"});
  EXPECT_EQ(choice.Count("//input[@name='u'][not(@type='radio')]"), 0u) << "one address is sent: the chosen one";
  EXPECT_EQ(choice.Count("//fieldset/legend"), 1u);
  EXPECT_EQ(choice.Count("//input[@type='radio'][not(@id = //label/@for)]"), 0u) << "each choice has its label";

  // Added through the page: the feed's own address is told and linked.
  Page added = Render("add.xsl", "<add><result><error>0</error><message/></result><addUrl xmlUrl=\"example.jp\"/>"
                                 "<selected file=\"sample.opml\"/><added xmlUrl=\"https://example.jp/feed\"/></add>");
  EXPECT_NE(added.One("//*[@class='result-text']").find("https://example.jp/feed"), std::string::npos);
  EXPECT_TRUE(HasName(added.All("//a/@href"), "rss.html?u=https://example.jp/feed/&r=on"));
}

TEST_P(GroupPages, TheGroupPageImportsAndExportsAndTheImportPageReports) {
  std::string group = GroupDocument();
  group.replace(0, std::string("<group>").size(), "<group token=\"t0k3n\">");
  Page p = Render("gp.xsl", group);
  EXPECT_EQ(p.All("//form[@action='import.html'][@method='post'][@enctype='multipart/form-data']"
                  "//input[@name='token']/@value"),
            Strings{"t0k3n"});
  EXPECT_EQ(p.All("//form[@action='import.html']//input[@type='file']/@name"), Strings{"opml"});
  EXPECT_TRUE(HasName(p.All("//a/@href"), "export.opml"));

  Page refused = Render("import.xsl", "<import token=\"t\"><result><error>1</error><message>DOCTYPE</message></result></import>");
  EXPECT_EQ(refused.One("//*[@role='alert']//*[@class='message']"), "DOCTYPE");
  EXPECT_EQ(refused.All("//form[@enctype='multipart/form-data']//input[@name='token']/@value"), Strings{"t"});

  Page report = Render("import.xsl", "<import><result><error>0</error><message/></result><report>"
                                     "<group title=\"技術\" file=\"技術.opml\" made=\"on\" added=\"1\"/>"
                                     "<added count=\"1001\" more=\"1000\"><feed title=\"a\" xmlUrl=\"http://a/\" group=\"技術\"/></added>"
                                     "<skipped count=\"1\"><feed title=\"b\" xmlUrl=\"ftp://b/\" group=\"技術\" reason=\"理由\"/></skipped>"
                                     "</report></import>");
  EXPECT_EQ(report.Count("//*[@role='alert']"), 0u);
  EXPECT_NE(report.One("//*[@role='status']").find("1001"), std::string::npos);
  EXPECT_EQ(PercentDecode(report.One("//ul[@class='import-groups']//a/@href")), "gp.html?u=技術.opml/");
  EXPECT_NE(report.All("//ul[@class='import-lines']").back().find("理由"), std::string::npos);
  EXPECT_NE(report.One("//p[@class='hint'][contains(., '1000')]"), "");
}

TEST_P(GroupPages, AddResultSaysWhatWasAddedAndWhereToGo) {
  Page p = Render("add.xsl", R"(<add><result><error>0</error><message/></result><addUrl xmlUrl="http://127.0.0.1/f.cgi?a=1&amp;b=2"/><selected file="sample.opml"/></add>)");
  EXPECT_EQ(p.One("//h1"), "追加しました");
  EXPECT_NE(p.One("//*[@class='result-text']").find("http://127.0.0.1/f.cgi?a=1&b=2"), std::string::npos);
  Strings links = p.All("//a/@href");
  EXPECT_TRUE(HasName(links, "rss.html?u=http://127.0.0.1/f.cgi?a=1&b=2/&r=on"));
  EXPECT_TRUE(HasName(links, "gp.html?u=sample.opml/"));
  EXPECT_EQ(p.One("//form//input[@name='opml']/@value"), "sample.opml");
  EXPECT_EQ(p.Count("//select"), 0u);
}

TEST_P(GroupPages, ChannelFrameHoldsOnlyThePlaceOfTheBlocks) {
  for (const std::string file : {"sample.opml", "ニュース.opml", ""}) {
    std::string frame = Frame(file);
    EXPECT_EQ(std::count(frame.begin(), frame.end(), '%'), 1) << file;
    ASSERT_NE(frame.find("%s"), std::string::npos) << file;

    // Written as XML: an element closed with "/>" must be void, or a browser would
    // leave it open.
    static const std::set<std::string> kVoid = {"meta", "link", "input", "br", "img", "hr"};
    for (size_t close = frame.find("/>"); close != std::string::npos; close = frame.find("/>", close + 2)) {
      size_t open = frame.rfind('<', close);
      ASSERT_NE(open, std::string::npos);
      std::string tag = frame.substr(open + 1, frame.find_first_of(" />", open + 1) - open - 1);
      EXPECT_TRUE(kVoid.count(tag)) << frame.substr(open, close + 2 - open);
    }

    Page page(frame);
    EXPECT_EQ(frame.rfind("<!DOCTYPE html", 0), 0u);
    EXPECT_EQ(page.Count("//meta[@charset or @http-equiv]"), 1u);
    EXPECT_EQ(page.One("//div[@class='channels']"), "%s");
  }

  Page group(Frame("ニュース.opml"));
  EXPECT_EQ(group.One("//h1"), "ニュース");
  Strings links = group.All("//a/@href");
  for (const char* l : {"ch.html?u=ニュース.opml/&r=on", "ch.html?u=ニュース.opml/&r=on&sel=today",
                        "ch.html?u=ニュース.opml/&r=on&sel=new", "ch.html?u=ニュース.opml/&r=on&d=off",
                        "gp.html?u=ニュース.opml/"})
    EXPECT_TRUE(HasName(links, l)) << l;

  Page filter(Frame(""));
  EXPECT_EQ(filter.Count("//form[@action='filter']//input[@name='w']"), 1u);
  EXPECT_EQ(filter.Count("//a[starts-with(@href,'ch.html')]"), 0u);
}

TEST_P(GroupPages, FilterPageShowsItsKeywordAndKeepsItInItsBox) {
  XsltSheetPtr s = LoadSheet(StylePath(GetParam(), "ch.xsl"));
  // The frame's document as the filter page makes it, the keyword escaped.
  const std::string frame = Transform(s.get(), Utf8ToSjis("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n"
                                                          "<chbody file=\"\" w=\"カーネル 100%s &lt;b&gt;\">%s</chbody>"));
  Page page(FillFrame(frame, "<p class=\"blocks\">B</p>"));
  const std::string word = "カーネル 100%s <b>";
  EXPECT_NE(page.One("//h1").find(word), std::string::npos) << page.One("//h1");
  EXPECT_NE(page.One("//title").find(word), std::string::npos);
  EXPECT_EQ(page.One("//form[@action='filter']//input[@name='w']/@value"), word);
  EXPECT_EQ(page.Count("//b"), 0u);
  EXPECT_EQ(page.One("//div[@class='channels']/p[@class='blocks']"), "B");

  // Without a keyword the box is empty and waits for one.
  Page empty(Frame(""));
  EXPECT_EQ(empty.Count("//input[@name='w'][@value]"), 0u);
  EXPECT_EQ(empty.One("//h1").find("「"), std::string::npos);
}

TEST_P(GroupPages, FrameAndBlocksMakeOneChannelPage) {
  // What the group page builder does: the frame as a format text around the blocks.
  XsltSheetPtr chs = LoadSheet(StylePath(GetParam(), "chs.xsl"));
  std::string blocks = Transform(chs.get(), SjisDoc(Rss10Log())) + Transform(chs.get(), SjisDoc(Rss20Log())) +
                       Transform(chs.get(), SjisDoc(ErrorFeed("だめでした")));
  std::string frame = Frame("sample.opml");
  frame.replace(frame.find("%s"), 2, blocks);
  Page page(frame);
  EXPECT_EQ(page.All("//div[@class='channels']/section//h2"), (Strings{"テスト通信", "二点零", "エラーメッセージ"}));
  EXPECT_EQ(page.Count("//div[@class='channels']//ol/li"), 5u);
  EXPECT_EQ(page.Count("//script"), 1u);
}

INSTANTIATE_TEST_SUITE_P(Styles, GroupPages, ::testing::Values("Default", "Compact"));

}  // namespace
}  // namespace norvane::test
