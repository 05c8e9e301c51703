// rss.xsl and chs.xsl of both shipped styles over channel logs, search answers and the
// error feed: what a reader sees, and that publisher HTML stays harmless.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "feeds/error_feed.h"
#include "style/style_documents.h"
#include "style/style_page.h"

namespace norvane::test {
namespace {

using Strings = std::vector<std::string>;

bool Contains(const Strings& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

class FeedPages : public ::testing::TestWithParam<std::string> {
 protected:
  Page Rss(const std::string& doc) const { return Render(GetParam(), "rss.xsl", doc); }
  Page Block(const std::string& doc) const { return Render(GetParam(), "chs.xsl", doc); }
};

TEST_P(FeedPages, ChannelLogShowsItemsInOrderWithMarksDatesAndLinks) {
  Page p = Rss(Rss10Log());
  EXPECT_EQ(p.sjis().rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_EQ(p.Count("//meta[@charset or @http-equiv]"), 1u) << "one charset declaration";
  EXPECT_NE(p.One("//meta[@http-equiv]/@content").find("charset=Shift_JIS"), std::string::npos);
  EXPECT_NE(p.One("//title").find("テスト通信"), std::string::npos);
  EXPECT_EQ(p.One("//h1//a/@href"), "http://127.0.0.1/site/");

  EXPECT_EQ(p.All("//ol[@class='items']/li//*[@class='item-title']"),
            (Strings{"一番目の記事", "二番目の記事", "三番目の記事"}));
  EXPECT_EQ(p.All("//ol[@class='items']/li//span[contains(@class,'mark')]"),
            (Strings{"新着", "今日", "過去"}));
  EXPECT_EQ(p.All("//ol[@class='items']/li/@class"),
            (Strings{"item item-new", "item item-today", "item item-log"}));
  EXPECT_EQ(p.All("//ol[@class='items']/li//*[@class='item-title']/a/@href"),
            (Strings{"http://127.0.0.1/a1", "http://127.0.0.1/a2", "http://127.0.0.1/a3"}));

  Strings dates = p.All("//li[1]//time/@datetime");
  EXPECT_TRUE(Contains(dates, "2025-12-09T10:00:00+09:00")) << "dc:date";
  EXPECT_TRUE(Contains(dates, "2025-12-09T03:04:05Z")) << "first seen (rg:revday)";
  EXPECT_NE(p.One("//li[1]//*[@class='item-meta']").find("書き手"), std::string::npos);
  EXPECT_EQ(p.Count("//li[3]//*[@class='published']"), 0u) << "no date, no published date";

  // u first, its value followed by "/", so "?" and "&" of the feed URL survive.
  Strings links = p.All("//a/@href");
  EXPECT_TRUE(Contains(links, "rss.html?u=http://127.0.0.1:4565/feed.cgi?a=1&b=2/&r=on"));
  EXPECT_TRUE(Contains(links, "rss.html?u=http://127.0.0.1:4565/feed.cgi?a=1&b=2/&sel=today"));
  EXPECT_TRUE(Contains(links, "rss.html?u=http://127.0.0.1:4565/feed.cgi?a=1&b=2/&sel=new"));
  EXPECT_TRUE(Contains(links, "rss.html?u=http://127.0.0.1:4565/feed.cgi?a=1&b=2/&d=off"));
  EXPECT_TRUE(Contains(links, "add.html?u=http://127.0.0.1:4565/feed.cgi?a=1&b=2/"));
}

TEST_P(FeedPages, Rss20LogReadsPubDateAndEscapedHtml) {
  Page p = Rss(Rss20Log());
  EXPECT_EQ(p.All("//*[@class='item-title']"), (Strings{"新しい話", "続く話"}));
  Strings dates = p.All("//time/@datetime");
  EXPECT_TRUE(Contains(dates, "2025-12-09T08:15:00+09:00"));
  EXPECT_TRUE(Contains(dates, "2025-12-08T20:00:00Z"));
  EXPECT_TRUE(Contains(p.All("//a/@href"), "rss.html?u=http://127.0.0.1:8080/rss?q=a&n=10/&r=on"));
  // The escaped paragraph becomes markup in Default and plain text in Compact.
  if (GetParam() == "Default") {
    EXPECT_EQ(p.One("//li[1]//td[@class='desc']/p"), "段落");
  } else {
    EXPECT_EQ(p.Count("//li[1]//*[contains(@class,'desc')]/*"), 0u);
    EXPECT_NE(p.One("//li[1]//*[contains(@class,'desc')]").find("段落"), std::string::npos);
  }
}

TEST_P(FeedPages, UnparsableDatesAreShownAsTheyCame) {
  std::string doc = Rss20Log();
  doc.replace(doc.find("Tue, 09 Dec 2025 08:15:00 +0900"), 31, "9 December, sometime");
  doc.replace(doc.find("Mon, 08 Dec 2025 20:00:00 GMT"), 29, "Mon, 08 Foo 2025 20:00:00 GMT");
  Page p = Rss(doc);
  EXPECT_EQ(p.One("//li[1]//*[@class='published']"), "9 December, sometime");
  EXPECT_EQ(p.One("//li[2]//*[@class='published']"), "Mon, 08 Foo 2025 20:00:00 GMT");
}

TEST_P(FeedPages, ErrorFeedIsShownAsAnError) {
  const std::string message = "http://127.0.0.1:9/feed.rdf\r\n取得できませんでした <b>";
  Page page = Rss(ErrorFeed(message));
  EXPECT_NE(page.One("//title").find("エラーメッセージ"), std::string::npos);
  std::string shown = page.One("//*[@role='alert']//pre");
  EXPECT_NE(shown.find("取得できませんでした <b>"), std::string::npos) << "message as text";
  EXPECT_EQ(page.Count("//ol[@class='items']"), 0u);

  // The program's own error feed, exactly as the builders answer with it.
  XsltSheetPtr chs = LoadSheet(StylePath(GetParam(), "chs.xsl"));
  Page block(Transform(chs.get(), norvane::ErrorFeed(Utf8ToSjis(message))));
  EXPECT_EQ(block.Count("//section[contains(@class,'channel-error')]"), 1u);
  EXPECT_NE(block.One("//section//pre").find("http://127.0.0.1:9/feed.rdf"), std::string::npos);
}

TEST_P(FeedPages, SearchAnswerWithoutMarksOffersToAddItself) {
  Page p = Rss(R"(<rss version="2.0" xmlns:atom="http://www.w3.org/2005/Atom"><channel>
<title>検索: 自作</title><link>http://127.0.0.1/search?q=x</link><description>d</description>
<atom:link href="http://127.0.0.1/rss?q=%E8%87%AA&amp;f=1" rel="self" type="application/rss+xml"/>
<item><title>結果一</title><link>http://127.0.0.1/r1</link></item></channel></rss>)");
  EXPECT_EQ(p.All("//*[@class='item-title']"), Strings{"結果一"});
  EXPECT_EQ(p.Count("//span[starts-with(@class,'mark ')]"), 0u);
  Strings links = p.All("//a/@href");
  EXPECT_TRUE(Contains(links, "add.html?u=http://127.0.0.1/rss?q=%E8%87%AA&f=1/"));
  EXPECT_EQ(std::count_if(links.begin(), links.end(),
                          [](const std::string& l) { return l.rfind("rss.html", 0) == 0; }),
            0) << "no reload of a feed that has no log";

  Page rdf = Rss(R"(<rdf:RDF xmlns="http://purl.org/rss/1.0/" xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">
<channel rdf:about="http://127.0.0.1/search.rdf?q=a"><title>t</title><link>http://127.0.0.1/</link><description/></channel>
<item rdf:about="http://127.0.0.1/i"><title>一件</title><link>http://127.0.0.1/i</link></item></rdf:RDF>)");
  EXPECT_TRUE(Contains(rdf.All("//a/@href"), "add.html?u=http://127.0.0.1/search.rdf?q=a/"));
}

TEST_P(FeedPages, ChannelBlockIsAFragmentLinkingSiteAndOwnPage) {
  Page p = Block(Rss10Log());
  EXPECT_EQ(p.sjis().find("<html"), std::string::npos);
  EXPECT_EQ(p.sjis().find("<!DOCTYPE"), std::string::npos);
  EXPECT_EQ(p.One("//section[contains(@class,'channel')]//h2/a/@href"), "http://127.0.0.1/site/");
  EXPECT_EQ(p.One("//section//h2"), "テスト通信");
  EXPECT_TRUE(Contains(p.All("//a/@href"), "rss.html?u=http://127.0.0.1:4565/feed.cgi?a=1&b=2/"));
  EXPECT_EQ(p.All("//span[contains(@class,'count')][not(@class='counts')]"),
            (Strings{"新着 1", "今日 1", "過去 1"}));
  EXPECT_EQ(p.All("//ol/li//h3"), (Strings{"一番目の記事", "二番目の記事", "三番目の記事"}));
}

TEST_P(FeedPages, TitlesHaveTheGatewaysIconOrADecorativeLetterBadge) {
  auto channel = [](const std::string& title, const std::string& icon) {
    return "<rss version=\"2.0\" xmlns:rg=\"http://norvane/rg\"><channel><title>" + title +
           "</title><link>http://127.0.0.1/</link><description/>" + icon +
           "<item><title>i</title><link>http://127.0.0.1/i</link></item></channel></rss>";
  };
  struct Case {
    const char* name;
    std::string title, icon;
    Strings src, letter;
  } cases[] = {
      {"kept", "news", "<rg:icon>icon?u=http://127.0.0.1/</rg:icon>", {"icon?u=http://127.0.0.1/"}, {}},
      {"none", "news", "", {}, {"N"}},
      {"japanese title", "日本語", "", {}, {"日"}},
      // Only the gateway's own address is shown: a feed's own element would let a site know.
      {"elsewhere", "news", "<rg:icon>http://tracker.example/p.png</rg:icon>", {}, {"N"}},
      {"untitled", "", "", {}, {}},
  };
  for (const Case& c : cases) {
    for (const bool block : {false, true}) {
      const Page p = block ? Block(channel(c.title, c.icon)) : Rss(channel(c.title, c.icon));
      const std::string heading = "//*[self::h1 or self::h2][contains(@class,'name') or contains(@class,'title')]";
      EXPECT_EQ(p.All(heading + "/img[@class='feed-icon'][@alt=''][@width='16']/@src"), c.src) << c.name;
      EXPECT_EQ(p.All(heading + "/span[@class='feed-badge'][@aria-hidden='true']/@data-letter"), c.letter) << c.name;
      EXPECT_EQ(p.Count("//img[contains(@src,'tracker')]"), 0u) << c.name;
      if (!c.title.empty()) {
        EXPECT_EQ(p.One(heading), c.title) << c.name << ": the heading says the title alone";
      }
    }
  }
}

TEST_P(FeedPages, FilteredAnswersRenderWithoutDescriptionsOrItems) {
  // d=off removes description and content:encoded; sel=new may leave no item at all.
  std::string titlesOnly = Rss20Log();
  for (size_t at; (at = titlesOnly.find("<description>", titlesOnly.find("<item>"))) != std::string::npos;)
    titlesOnly.erase(at, titlesOnly.find("</description>", at) + 14 - at);
  Page t = Rss(titlesOnly);
  EXPECT_EQ(t.Count("//ol/li"), 2u);
  EXPECT_EQ(t.Count("//*[contains(@class,'desc')]"), 0u);

  Page empty = Block(R"(<rss version="2.0" xmlns:rg="http://norvane/rg"><channel><rg:revday>x</rg:revday>
<rg:link>http://127.0.0.1/e.xml</rg:link><title>空っぽ</title><link>http://127.0.0.1/</link><description/></channel></rss>)");
  EXPECT_EQ(empty.One("//section/@class"), "channel channel-empty");
  EXPECT_EQ(empty.One("//p[@class='empty']"), "表示する記事はありません。");
}

TEST_P(FeedPages, DescriptionsNeverBringCodeRedirectsOrForms) {
  Page p = Rss(Rss10Log(
      "<p>前</p><script>alert('x')</script><meta http-equiv=\"refresh\" content=\"0;url=http://127.0.0.1:9/\">"
      "<style>body{display:none}</style><iframe src=\"http://127.0.0.1:9/\">枠</iframe>"
      "<form action=\"http://127.0.0.1:9/\"><input name=\"q\"><button>送る</button></form>"
      "<base href=\"http://127.0.0.1:9/\"><object data=\"x.swf\"></object><embed src=\"x.swf\">"
      "<!-- <meta http-equiv=\"refresh\" content=\"0\"> --><SCRIPT type=x>evil()</SCRIPT >"
      "<svg><script>svg()</script></svg><link rel=\"stylesheet\" href=\"http://127.0.0.1:9/s.css\">"
      "<p title=\"a>b\">後 a &lt; b, 3 < 4</p><img src=\"http://127.0.0.1/i.png\" alt=\"絵\">"));
  const std::string desc = "//li[1]//*[contains(@class,'desc')]";
  for (const char* tag : {"script", "meta", "style", "iframe", "form", "input", "button", "base",
                          "object", "embed", "svg", "link"})
    EXPECT_EQ(p.Count(desc + "//" + tag), 0u) << tag;
  EXPECT_EQ(p.Count("//meta[@http-equiv='refresh']"), 0u);
  EXPECT_EQ(p.Count("//script"), 1u) << "only the page's own script";
  EXPECT_EQ(p.Count("//base"), 0u);
  std::string text = p.One(desc);
  for (const char* gone : {"alert", "display:none", "evil", "svg()", "枠"})
    EXPECT_EQ(text.find(gone), std::string::npos) << gone;
  EXPECT_NE(text.find("前"), std::string::npos);
  EXPECT_NE(text.find("後 a < b, 3 < 4"), std::string::npos);
  if (GetParam() == "Default") {
    EXPECT_EQ(p.Count(desc + "//p"), 2u);
    EXPECT_EQ(p.One(desc + "//img/@src"), "http://127.0.0.1/i.png");
  } else {
    EXPECT_EQ(p.Count(desc + "/*"), 0u) << "Compact shows text only";
  }
}

TEST_P(FeedPages, BrokenDescriptionsStayInsideTheirItem) {
  // A tag cut off at the end is dropped, as a browser drops it, and makes no link; what
  // <plaintext> holds is dropped; the items after them are all still there.
  Page p = Rss(Rss10Log("見える <b>太く <a href=\"http://127.0.0.1/cut"));
  std::string first = p.One("//li[1]//*[contains(@class,'desc')]");
  EXPECT_NE(first.find("見える 太く"), std::string::npos) << first;
  EXPECT_EQ(p.Count("//li[1]//*[contains(@class,'desc')]//a"), 0u);
  EXPECT_EQ(p.Count("//ol[@class='items']/li"), 3u);

  Page q = Rss(Rss10Log("見える<PlainText>隠す</plaintext>後"));
  std::string shown = q.One("//li[1]//*[contains(@class,'desc')]");
  EXPECT_NE(shown.find("見える"), std::string::npos);
  EXPECT_EQ(shown.find("隠す"), std::string::npos);
  EXPECT_EQ(q.Count("//ol[@class='items']/li"), 3u);
}

TEST_P(FeedPages, VeryLongDescriptionsAreRenderedWhole) {
  // Thousands of tags would exceed the transform's recursion limit if scanned in one run.
  std::string html;
  for (int i = 0; i < 4000; ++i) html += "<b>x</b> ";
  html += "<p>終わり</p>";
  Page p = Rss(Rss10Log(html));
  std::string desc = "//li[1]//*[contains(@class,'desc')]";
  if (GetParam() == "Default") {
    EXPECT_EQ(p.Count(desc + "//b"), 4000u);
    EXPECT_EQ(p.One(desc + "//p"), "終わり");
  } else {
    EXPECT_NE(p.One(desc).find("終わり"), std::string::npos);
  }
}

TEST_P(FeedPages, UntitledItemsAreNamedByTheirTextAndEnclosuresCanBePlayed) {
  const std::string longText(100, 'x');
  const std::string doc = R"x(<rss version="2.0" xmlns:rg="http://norvane/rg"><channel>
<rg:link>http://127.0.0.1/pod.xml</rg:link><title>Pod</title><link>http://127.0.0.1/</link><description>d</description>
<item><link>http://127.0.0.1/1</link><description>&lt;p&gt;Hello &lt;b&gt;world&lt;/b&gt;&lt;/p&gt;</description>
<enclosure url="http://127.0.0.1/e1.mp3" type="audio/mpeg" length="3145728"/></item>
<item><title>Video</title><description>)x" + longText + R"x(</description>
<enclosure url="https://127.0.0.1/e2.mp4" type="Video/MP4" length="2048"/>
<enclosure url="javascript:alert(1)" type="audio/mpeg"/></item>
<item><title/><description>)x" + longText + R"x(</description><enclosure url="http://127.0.0.1/e3.pdf"/></item>
<item><description> </description></item>
</channel></rss>)x";
  Page p = Rss(doc);
  EXPECT_EQ(p.All("//*[@class='item-title']"),
            (Strings{"Hello world", "Video", longText.substr(0, 80) + "…", "(無題)"}));
  EXPECT_EQ(p.All("//*[@class='enclosure-link']/@href"),
            (Strings{"http://127.0.0.1/e1.mp3", "https://127.0.0.1/e2.mp4", "http://127.0.0.1/e3.pdf"}))
      << "only web addresses";
  EXPECT_EQ(p.All("//*[@class='enclosure-link']"),
            (Strings{"添付ファイル (audio/mpeg, 3.0 MB)", "添付ファイル (video/mp4, 2 KB)", "添付ファイル"}));
  const bool players = GetParam() == "Default";
  EXPECT_EQ(p.All("//audio[@controls][@preload='none']/@src"),
            players ? Strings{"http://127.0.0.1/e1.mp3"} : Strings{});
  EXPECT_EQ(p.All("//video[@controls][@preload='none']/@src"),
            players ? Strings{"https://127.0.0.1/e2.mp4"} : Strings{});
  EXPECT_EQ(p.All("//li/@class"), (Strings{"item", "item", "item", "item"})) << "no marks, no empty class";
  // The group page's blocks name and play them the same way.
  Page block = Block(doc);
  EXPECT_EQ(block.All("//*[@class='item-title']")[0], "Hello world");
  EXPECT_EQ(block.Count("//audio"), players ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Styles, FeedPages, ::testing::Values("Default", "Compact"));

}  // namespace
}  // namespace norvane::test
