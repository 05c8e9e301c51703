// The program folder as shipped: style folders, home page, search catalogue, synonym
// dictionary and the sample group, each checked for what the program and a user rely on.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <libxml/xpathInternals.h>

#include "core/comma_text.h"
#include "style/style_documents.h"
#include "style/style_page.h"
#include "support/temp_dir.h"

namespace norvane::test {
namespace {

using Strings = std::vector<std::string>;

std::string DataPath(const std::string& name) { return std::string(NORVANE_DATA_DIR) + "/" + name; }

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("missing: " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A style's sheet with the sheets it imports, as the gateway serves them: "/<style>/x.css"
// is the sheet of that style folder. Anything else imported fails the test.
std::string StyleSheetText(const std::string& style) {
  std::string css = ReadBytes(StylePath(style, "norvane.css"));
  std::string all;
  size_t at = 0;
  const std::string import = "@import url(\"/";
  while ((at = css.find("@import", at)) != std::string::npos) {
    EXPECT_EQ(css.compare(at, import.size(), import), 0) << "only the program's own sheets";
    size_t slash = css.find('/', at + import.size());
    size_t end = css.find("\")", at);
    if (slash == std::string::npos || end == std::string::npos || slash > end) break;
    std::string from = css.substr(at + import.size(), slash - at - import.size());
    all += ReadBytes(StylePath(from, css.substr(slash + 1, end - slash - 1)));
    at = end;
  }
  return all + css;
}

// The import page's document after an import that made a group and skipped a feed.
std::string ImportReport() {
  return "<import token=\"t\"><result><error>0</error><message/></result><file name=\"a.opml\"/><report>"
              "<group title=\"G\" file=\"G.opml\" made=\"on\" added=\"1\"/><added count=\"1\"><feed title=\"a\" "
              "xmlUrl=\"http://a.example/\" group=\"G\"/></added><skipped count=\"1\"><feed title=\"b\" xmlUrl=\"\" "
              "group=\"G\" reason=\"r\"/></skipped></report></import>";
}

// Text the program keeps in Shift_JIS must survive the round trip through UTF-8.
bool IsCleanSjis(const std::string& bytes) { return Utf8ToSjis(SjisToUtf8(bytes)) == bytes; }

XmlDocPtr ReadXml(const std::string& path) {
  UseCp932ForShiftJis();
  XmlDocPtr doc(xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET));
  if (!doc) throw std::runtime_error("not XML: " + path);
  return doc;
}

Strings Select(xmlDoc* doc, const std::string& xpath) {
  std::unique_ptr<xmlXPathContext, XPathContextFree> ctx(xmlXPathNewContext(doc));
  xmlXPathRegisterNs(ctx.get(), BAD_CAST "rdf", BAD_CAST "http://www.w3.org/1999/02/22-rdf-syntax-ns#");
  xmlXPathRegisterNs(ctx.get(), BAD_CAST "r", BAD_CAST "http://purl.org/rss/1.0/");
  std::unique_ptr<xmlXPathObject, XPathObjectFree> res(xmlXPathEvalExpression(BAD_CAST xpath.c_str(), ctx.get()));
  Strings out;
  if (res && res->type == XPATH_NODESET && res->nodesetval)
    for (int i = 0; i < res->nodesetval->nodeNr; ++i) {
      xmlChar* v = xmlNodeGetContent(res->nodesetval->nodeTab[i]);
      out.emplace_back(v ? reinterpret_cast<const char*>(v) : "");
      xmlFree(v);
    }
  return out;
}

class StyleFolder : public ::testing::TestWithParam<std::string> {};

TEST_P(StyleFolder, HoldsEveryStylesheetInShiftJisAndItsStyleSheet) {
  for (const char* name : {"rss.xsl", "ch.xsl", "chs.xsl", "gp.xsl", "add.xsl", "import.xsl"}) {
    std::string bytes = ReadBytes(StylePath(GetParam(), name));
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>", 0), 0u) << name;
    EXPECT_TRUE(IsCleanSjis(bytes)) << name;
    EXPECT_NO_THROW(LoadSheet(StylePath(GetParam(), name))) << name;
  }
  std::string css = StyleSheetText(GetParam());
  EXPECT_NE(css.find("prefers-color-scheme: dark"), std::string::npos);
  EXPECT_NE(css.find("max-width: 560px"), std::string::npos) << "phone width";
}

TEST_P(StyleFolder, PagesLoadNothingFromOutside) {
  // The gateway works offline: pages link only the program's own style sheet and script.
  std::string css = StyleSheetText(GetParam());
  std::string js = ReadBytes(DataPath("www/norvane.js"));
  for (const std::string* text : {&css, &js}) {
    EXPECT_EQ(text->find("http:"), std::string::npos);
    EXPECT_EQ(text->find("https:"), std::string::npos);
  }
  std::vector<Page> pages;
  pages.push_back(Render(GetParam(), "rss.xsl", Rss10Log()));
  pages.push_back(Render(GetParam(), "gp.xsl", GroupDocument()));
  pages.push_back(Render(GetParam(), "add.xsl", "<add><result><error>1</error><message/></result><addUrl xmlUrl=\"\"/><selected file=\"\"/>" + Catalogue() + "</add>"));
  pages.push_back(Render(GetParam(), "import.xsl", ImportReport()));
  pages.emplace_back(ReadBytes(DataPath("www/index.html")));
  for (const Page& p : pages) {
    EXPECT_EQ(p.All("//link[@rel='stylesheet']/@href"), Strings{"/norvane.css"});
    EXPECT_EQ(p.All("//script/@src"), Strings{"/norvane.js"});
    EXPECT_EQ(p.Count("//script[not(@src)]"), 0u) << "inline scripts are refused by the pages' policy";
    EXPECT_EQ(p.Count("//*[not(ancestor::*[contains(@class,'desc')])][starts-with(@src,'http') or starts-with(@src,'//')]"), 0u);
  }
}

// What a screen reader's lists of headings and landmarks need: no heading level skipped
// on the way down, and each search form a landmark with a name of its own.
TEST_P(StyleFolder, HeadingsStepDownOneLevelAtATimeAndSearchFormsAreNamed) {
  const std::string style = GetParam();
  XsltSheetPtr frameSheet = LoadSheet(StylePath(style, "ch.xsl"));
  XsltSheetPtr blockSheet = LoadSheet(StylePath(style, "chs.xsl"));
  auto framed = [&](const std::string& file) {
    std::string frame =
        Transform(frameSheet.get(), SjisDoc("<chbody file=\"" + file + "\" w=\"語\" token=\"0f1e\">%s</chbody>"));
    return frame.replace(frame.find("%s"), 2, Transform(blockSheet.get(), SjisDoc(Rss10Log())));
  };
  std::map<std::string, Page> pages;
  pages.emplace("home", Page(ReadBytes(DataPath("www/index.html"))));
  pages.emplace("group", Render(style, "gp.xsl", GroupDocument()));
  pages.emplace("feed", Render(style, "rss.xsl", Rss10Log()));
  pages.emplace("error", Render(style, "rss.xsl", ErrorFeed("だめ")));
  pages.emplace("add", Render(style, "add.xsl", "<add><result><error>1</error><message/></result><addUrl xmlUrl=\"\"/><selected file=\"\"/>" + Catalogue() + "</add>"));
  pages.emplace("import", Render(style, "import.xsl", ImportReport()));
  pages.emplace("channels", Page(framed("sample.opml")));
  pages.emplace("filter", Page(framed("")));
  pages.emplace("find", Render(style, "rss.xsl", FindDocument()));
  pages.emplace("find-refused", Render(style, "rss.xsl", FindDocument("refused")));
  const std::string any = "self::h1 or self::h2 or self::h3 or self::h4 or self::h5 or self::h6";
  for (const auto& [name, page] : pages) {
    SCOPED_TRACE(name);
    EXPECT_EQ(page.Count("//h1"), 1u);
    for (int level = 3; level <= 6; ++level)
      for (int before = 1; before <= level - 2; ++before)
        EXPECT_EQ(page.Count("//h" + std::to_string(level) + "[preceding::*[" + any + "][1][self::h" +
                             std::to_string(before) + "]]"),
                  0u)
            << "h" << before << " is followed by h" << level;
    EXPECT_EQ(page.Count("//*[@role='search'][not(normalize-space(@aria-label)) and not(@aria-labelledby)]"), 0u);
    for (const std::string& id : page.All("//*[@role='search']/@aria-labelledby"))
      EXPECT_EQ(page.Count("//*[@id='" + id + "'][normalize-space()]"), 1u) << id;
    // Every page names itself with the program's icon, and can be installed as an app.
    EXPECT_EQ(page.All("//link[@rel='icon']/@href"), Strings{"/norvane.svg"});
    EXPECT_EQ(page.All("//link[@rel='manifest']/@href"), Strings{"/manifest.webmanifest"});
    EXPECT_EQ(page.All("//meta[@name='theme-color']/@media"),
              (Strings{"(prefers-color-scheme: light)", "(prefers-color-scheme: dark)"}));
    // The browser reports the code it sent each form in, so the keyword is read right.
    EXPECT_EQ(page.Count("//form[not(.//input[@type='hidden'][@name='_charset_'][not(@value)])]"), 0u);
  }
  EXPECT_EQ(pages.at("home").Count("//*[@role='search']"), 3u);
  EXPECT_EQ(pages.at("home").Count("//form//input[@name='_charset_']"), 4u);
  // Every page has the search of every stored item in its bar.
  for (const auto& [name, page] : pages) EXPECT_EQ(page.Count("//header[@class='topbar']//form[@action='find.html']"), 1u) << name;
  // The find page: its own form filled in, the results' keep buttons, the page's one keep form.
  const Page& find = pages.at("find");
  EXPECT_EQ(find.All("//input[@id='find-w']/@value"), Strings{"ガソリン"});
  EXPECT_EQ(find.All("//select[@id='find-u']/option[@selected]/@value"), Strings{"sample.opml"});
  EXPECT_EQ(find.All("//button[@class='keep']/@name"), (Strings{"drop", "keep"}));
  EXPECT_EQ(find.All("//button[@class='keep']/@aria-pressed"), (Strings{"true", "false"}));
  EXPECT_EQ(find.All("(//button[@class='keep'])[1]/@value"), Strings{"0123456789abcdef http://127.0.0.1/feed.rdf"});
  EXPECT_EQ(find.All("//form[@id='keep']//input[@name='token']/@value"), Strings{"0f1e2d"});
  EXPECT_EQ(find.All("//form[@id='keep']//input[@name='back']/@value"),
            Strings{"find.html?ue=on&_charset_=Shift_JIS&w=%83K&p=2"});
  EXPECT_EQ(find.All("//a[@rel='next']/@href"), Strings{"find.html?ue=on&_charset_=Shift_JIS&w=%83K&p=3"});
  EXPECT_EQ(find.Count("//*[@role='status']"), 1u) << "the index being made";
  EXPECT_EQ(find.Count("//*[contains(@class, 'source')]//a[@href='rss.html?u=http://127.0.0.1/feed.rdf/']"), 1u);
  EXPECT_EQ(pages.at("find-refused").Count("//*[@role='alert'][contains(., '左括弧')]"), 1u);
  EXPECT_EQ(pages.at("channels").All("//form[@id='keep']//input[@name='back']/@value"), Strings{"ch.html?u=sample.opml/"});
  // Before the blocks: their place is the frame's last "%s", and a group's name may hold one.
  EXPECT_EQ(pages.at("channels").Count("//form[@id='keep'][following::div[@class='channels']]"), 1u);
  EXPECT_GE(pages.at("add").Count("//form//input[@name='_charset_']"), 1u);
}

TEST(Styles, CompactDiffersFromDefault) {
  std::string doc = Rss10Log("<p>絵 <img src=\"http://127.0.0.1/i.png\"></p>");
  Page def = Render("Default", "rss.xsl", doc);
  Page compact = Render("Compact", "rss.xsl", doc);
  EXPECT_EQ(def.Count("//img"), 1u);
  EXPECT_EQ(compact.Count("//img"), 0u) << "text only";
  EXPECT_NE(ReadBytes(StylePath("Default", "norvane.css")), ReadBytes(StylePath("Compact", "norvane.css")));
}

TEST(Styles, AStyleFolderOfTheUsersOwnWorksWithNoOtherBeside) {
  // Compact builds on Default; a style of the user's own may hold everything itself.
  test::TempDir home;
  test::CopyTree(DataPath("xsls/Default"), home / "xsls/Mine");
  for (const char* name : {"rss.xsl", "ch.xsl", "chs.xsl", "gp.xsl", "add.xsl", "import.xsl"})
    EXPECT_NO_THROW(LoadSheet(home / (std::string("xsls/Mine/") + name))) << name;
  Page page(Transform(LoadSheet(home / "xsls/Mine/rss.xsl").get(), SjisDoc(Rss10Log())));
  EXPECT_GE(page.Count("//link[@rel='stylesheet']"), 1u);
  EXPECT_NE(ReadBytes(home / "xsls/Mine/norvane.css").find("prefers-color-scheme: dark"),
            std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Shipped, StyleFolder, ::testing::Values("Default", "Compact"));

TEST(HomePage, OffersGroupsAddingSearchAndTheFilterInJapanese) {
  std::string bytes = ReadBytes(DataPath("www/index.html"));
  EXPECT_TRUE(IsCleanSjis(bytes));
  Page p(bytes);
  EXPECT_EQ(p.One("//html/@lang"), "ja");
  EXPECT_EQ(p.Count("//meta[@charset or @http-equiv]"), 1u);
  EXPECT_NE(p.One("//meta[@http-equiv]/@content").find("charset=Shift_JIS"), std::string::npos);
  Strings links = p.All("//a/@href");
  for (const char* l : {"gp.html", "add.html", "gp.html?u=sample.opml/", "ch.html?u=sample.opml/&r=on"})
    EXPECT_NE(std::find(links.begin(), links.end(), l), links.end()) << l;

  EXPECT_EQ(p.Count("//form[@action='filter']//input[@name='w']"), 1u);
  EXPECT_EQ(p.One("//form[@action='add.html']//input[@name='ue']/@value"), "on");
  EXPECT_EQ(p.Count("//form[@action='add.html']//input[@name='u']"), 1u);
  EXPECT_EQ(p.One("//form[@action='search']//input[@name='ue']/@value"), "on");
  EXPECT_EQ(p.Count("//form[@action='search']//input[@name='w']"), 1u);

  // The engines offered are exactly the catalogue's, in its order.
  XmlDocPtr search = ReadXml(DataPath("search.xml"));
  EXPECT_EQ(p.All("//form[@action='search']//select[@name='u']/option"), Select(search.get(), "/search/item/title"));
}

TEST(SearchCatalogue, EnginesAnswerWithFeedsAndTakeUtf8Phrases) {
  std::string bytes = ReadBytes(DataPath("search.xml"));
  EXPECT_TRUE(IsCleanSjis(bytes));
  XmlDocPtr doc = ReadXml(DataPath("search.xml"));
  Strings titles = Select(doc.get(), "/search/item/title");
  Strings urls = Select(doc.get(), "/search/item/searchUrl");
  ASSERT_GE(titles.size(), 3u);
  ASSERT_EQ(titles.size(), urls.size());
  EXPECT_EQ(std::set<std::string>(titles.begin(), titles.end()).size(), titles.size()) << "titles are keys";
  for (const std::string& url : urls) {
    EXPECT_EQ(url.rfind("https://", 0), 0u) << url;
    size_t marker = url.find("$SEARCH_PHRASE$");
    ASSERT_NE(marker, std::string::npos) << url;
    EXPECT_EQ(url.find("$SEARCH_PHRASE$", marker + 1), std::string::npos) << "phrase goes in once";
  }
  EXPECT_EQ(Select(doc.get(), "/search/item/searchUrl[@encoding='UTF-8']").size(), urls.size());
}

TEST(SynonymDictionary, EveryLineIsAClassOfDistinctMembers) {
  std::string bytes = ReadBytes(DataPath("dic.csv"));
  EXPECT_TRUE(IsCleanSjis(bytes));
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  std::map<std::string, int> seen;
  int lineNo = 0;
  for (size_t at = 0; at < bytes.size();) {
    size_t end = bytes.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    std::string line = bytes.substr(at, end - at);
    at = end + 2;
    ++lineNo;
    const std::string shown = SjisToUtf8(line);
    EXPECT_EQ(line.find('\n'), std::string::npos) << "CR LF only, line " << lineNo;
    // Read as the matcher reads it. The line is what the program would write for its
    // members: a space outside quotes, which would split a member, shows as a difference.
    Strings members = ParseCommaText(line);
    EXPECT_EQ(WriteCommaText(members), line) << "line " << lineNo << ": " << shown;
    EXPECT_GE(members.size(), 2u) << "line " << lineNo << ": " << shown;
    for (const std::string& m : members) {
      EXPECT_FALSE(m.empty()) << "line " << lineNo << ": an empty member makes the class match nothing";
      // Only the first class holding a member is ever used; a second one would be dead.
      EXPECT_EQ(seen.count(m), 0u) << SjisToUtf8(m) << " in lines " << seen[m] << " and " << lineNo;
      seen[m] = lineNo;
    }
  }
  EXPECT_GE(lineNo, 40);
}

TEST(SampleGroup, FeedsAreServedFromTheProgramFolderItself) {
  XmlDocPtr opml = ReadXml(DataPath("opmls/sample.opml"));
  EXPECT_FALSE(Select(opml.get(), "/opml/head/title").at(0).empty());
  Strings urls = Select(opml.get(), "/opml/body//outline[not(node())]/@xmlUrl");
  ASSERT_EQ(urls.size(), 3u);
  std::set<std::string> kinds;
  for (const std::string& url : urls) {
    if (url.rfind("htr.xml?u=", 0) == 0) {
      // The script feed: its descriptor ships too, and the value ends with "/".
      EXPECT_EQ(url.back(), '/') << url;
      EXPECT_FALSE(ReadBytes(DataPath("scripts/" + url.substr(10, url.size() - 11))).empty()) << url;
      continue;
    }
    // No "://": the gateway completes a relative address naming htr.xml to itself, on
    // its own port; the static route then answers with the file under www.
    EXPECT_EQ(url.find("://"), std::string::npos) << url;
    EXPECT_NE(url.find("htr.xml"), std::string::npos) << url;
    EXPECT_NE(url.find('/'), std::string::npos) << "inside a sub-folder, so the router serves it as a file";
    std::string path = DataPath("www/" + url);
    EXPECT_TRUE(IsCleanSjis(ReadBytes(path))) << url;
    XmlDocPtr feed = ReadXml(path);
    Strings items = Select(feed.get(), "/rdf:RDF/r:item | /rss[@version]/channel/item");
    EXPECT_GE(items.size(), 3u) << url;
    Strings links = Select(feed.get(), "/rdf:RDF/r:item/r:link | /rss/channel/item/link");
    EXPECT_EQ(links.size(), items.size()) << "one link per item, the item's identity";
    EXPECT_EQ(std::set<std::string>(links.begin(), links.end()).size(), links.size());
    EXPECT_FALSE(Select(feed.get(), "/rdf:RDF/r:channel/r:title | /rss/channel/title").at(0).empty());
    kinds.insert(Select(feed.get(), "/rdf:RDF").empty() ? "2.0" : "1.0");

    // Shown as a raw feed (as before its first log) it already reads well.
    XsltSheetPtr rss = LoadSheet(StylePath("Default", "rss.xsl"));
    Page page(Transform(rss.get(), ReadBytes(path)));
    EXPECT_EQ(page.Count("//ol[@class='items']/li"), items.size()) << url;
  }
  EXPECT_EQ(kinds, (std::set<std::string>{"1.0", "2.0"}));
}

}  // namespace
}  // namespace norvane::test
