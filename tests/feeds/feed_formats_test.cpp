// What everyday feeds look like on arrival, through a real fetch: each becomes the RSS
// the rest of the program reads.
#include "feeds/feed_formats.h"

#include <gtest/gtest.h>

#include "core/sjis.h"
#include "feeds/rss2.h"
#include "feeds/xml_node.h"
#include "support/feed_server.h"

namespace norvane {
namespace {

struct Fetched {
  TRSS2 feed;
  std::string Text(const std::string& path) { return SjisToUtf8(NodeText(feed.SelectSingleNode(path))); }
  std::string Attr(const std::string& path, const char* name) {
    return GetAttribute(feed.SelectSingleNode(path), name);
  }
};

class FeedFormats : public ::testing::Test {
 protected:
  // Fetches body as the program does and opens it as a feed.
  void Open(const std::string& body, const std::string& type = "application/xml") {
    server_.Serve("/blog/feed", body, type);
    got_.feed.LoadFrom(server_.Url("/blog/feed"));
    got_.feed.ReadVersion();
  }
  test::FeedServer server_;
  Fetched got_;
};

TEST_F(FeedFormats, AtomBecomesRss20WithEveryField) {
  Open(R"(<?xml version="1.0" encoding="utf-8"?>
<feed xmlns="http://www.w3.org/2005/Atom" xml:base="/blog/">
  <title type="html">Dev &amp;lt;log&amp;gt;</title><subtitle>Notes</subtitle>
  <link rel="self" href="feed"/><link href="index.html"/>
  <author><name>Ann</name></author>
  <entry><title>First</title><id>tag:e,2025:1</id><link rel="alternate" href="posts/1"/>
    <link rel="enclosure" href="http://cdn.example/a.mp3" type="audio/mpeg" length="1234"/>
    <published>2025-04-01T09:00:00+09:00</published><updated>2025-04-02T00:00:00Z</updated>
    <summary>plain &lt;text&gt;</summary><content type="html">&lt;p&gt;Body &lt;b&gt;bold&lt;/b&gt;&lt;/p&gt;</content></entry>
  <entry><title type="xhtml"><div xmlns="http://www.w3.org/1999/xhtml">X <b>title</b></div></title>
    <updated>2025-04-02T10:20:30.5Z</updated><author><name>Bob</name></author>
    <content type="xhtml"><div xmlns="http://www.w3.org/1999/xhtml"><p>Para</p></div></content></entry>
</feed>)");
  ASSERT_EQ(got_.feed.Version, "2.0");
  EXPECT_EQ(got_.Text("rss/channel/title"), "Dev <log>");
  EXPECT_EQ(got_.Text("rss/channel/link"), server_.Url("/blog/index.html"));
  EXPECT_EQ(got_.Text("rss/channel/description"), "Notes");
  auto items = got_.feed.SelectNodes("rss/channel/item");
  ASSERT_EQ(items.Length(), 2u);
  EXPECT_EQ(got_.Text("rss/channel/item[0]/title"), "First");
  EXPECT_EQ(got_.Text("rss/channel/item[0]/link"), server_.Url("/blog/posts/1"));
  EXPECT_EQ(got_.Text("rss/channel/item[0]/description"), "<p>Body <b>bold</b></p>");
  EXPECT_EQ(got_.Text("rss/channel/item[0]/pubDate"), "Tue, 01 Apr 2025 09:00:00 +0900");
  EXPECT_EQ(got_.Text("rss/channel/item[0]/guid"), "tag:e,2025:1");
  EXPECT_EQ(got_.Attr("rss/channel/item[0]/guid", "isPermaLink"), "false");
  EXPECT_EQ(got_.Text("rss/channel/item[0]/dc:creator"), "Ann");
  EXPECT_EQ(got_.Attr("rss/channel/item[0]/enclosure", "url"), "http://cdn.example/a.mp3");
  EXPECT_EQ(got_.Attr("rss/channel/item[0]/enclosure", "length"), "1234");
  EXPECT_EQ(got_.Text("rss/channel/item[1]/title"), "X title");
  EXPECT_NE(got_.Text("rss/channel/item[1]/description").find("<p"), std::string::npos);
  EXPECT_EQ(got_.Text("rss/channel/item[1]/pubDate"), "Wed, 02 Apr 2025 10:20:30 GMT");
  EXPECT_EQ(got_.Text("rss/channel/item[1]/dc:creator"), "Bob");
}

TEST_F(FeedFormats, JsonFeedBecomesRss20) {
  Open(R"({"version": "https://jsonfeed.org/version/1.1", "title": "J", "home_page_url": "https://e.example/",
    "authors": [{"name": "Cy"}],
    "items": [{"id": "1", "url": "/p/1", "title": "One", "content_text": "a < b",
               "date_published": "2025-12-01T08:00:00-05:00",
               "attachments": [{"url": "https://e.example/x.mp4", "mime_type": "video/mp4", "size_in_bytes": 99}]},
              {"id": 2, "content_html": "<p>Untitled</p>"}]})",
       "application/feed+json");
  ASSERT_EQ(got_.feed.Version, "2.0");
  EXPECT_EQ(got_.Text("rss/channel/title"), "J");
  EXPECT_EQ(got_.Text("rss/channel/item[0]/link"), server_.Url("/p/1"));
  EXPECT_EQ(got_.Text("rss/channel/item[0]/description"), "a &lt; b");
  EXPECT_EQ(got_.Text("rss/channel/item[0]/pubDate"), "Mon, 01 Dec 2025 08:00:00 -0500");
  EXPECT_EQ(got_.Text("rss/channel/item[0]/dc:creator"), "Cy");
  EXPECT_EQ(got_.Attr("rss/channel/item[0]/enclosure", "type"), "video/mp4");
  EXPECT_EQ(got_.Text("rss/channel/item[1]/guid"), "2");
  EXPECT_EQ(got_.Text("rss/channel/item[1]/description"), "<p>Untitled</p>");
}

TEST_F(FeedFormats, PrefixedRss10AndVersionlessRssAreRead) {
  Open(R"(<rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#" xmlns:rss="http://purl.org/rss/1.0/">
    <rss:channel><rss:title>Prefixed</rss:title><rss:link>http://e/</rss:link></rss:channel>
    <rss:item><rss:title>It</rss:title><rss:link>http://e/1</rss:link></rss:item></rdf:RDF>)");
  ASSERT_EQ(got_.feed.Version, "1.0");
  EXPECT_EQ(got_.feed.GetTitle(), "Prefixed");
  EXPECT_EQ(got_.feed.GetDescription(), "") << "a missing element reads as empty";
  EXPECT_EQ(got_.feed.GetItems()->Length(), 1u);

  Open("<rss><channel><title>No version</title><item><title>i</title></item></channel></rss>");
  EXPECT_EQ(got_.feed.Version, "2.0");
  EXPECT_EQ(got_.feed.GetItems()->Length(), 1u);
}

TEST_F(FeedFormats, HtmlEntitiesAreReadAndPagesAndBrokenXmlSayWhy) {
  Open("<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>A&nbsp;B &mdash; C&hellip; &amp; D</title>"
       "</channel></rss>");
  ASSERT_EQ(got_.feed.Version, "2.0") << got_.feed.ErrorText;
  EXPECT_NE(got_.feed.GetXML().find("<title>A&#160;B "), std::string::npos) << got_.feed.GetXML();
  EXPECT_NE(got_.Text("rss/channel/title").find("C… & D"), std::string::npos);

  TRSS2 page;
  server_.Serve("/page", "<!DOCTYPE html><html><head><link rel=\"alternate\" type=\"application/atom+xml\" "
                         "href=\"/feed.atom\"></head><body><p>Hi<br></body></html>",
                "text/html");
  page.LoadFrom(server_.Url("/page"));
  EXPECT_NE(page.ErrorText.find("an HTML page, not a feed; its feed: " + server_.Url("/feed.atom")),
            std::string::npos)
      << page.ErrorText;

  TRSS2 broken;
  server_.Serve("/broken", "<rss version=\"2.0\"><channel>\n<title>x</titel></channel></rss>");
  broken.LoadFrom(server_.Url("/broken"));
  EXPECT_NE(broken.ErrorText.find("XML error at line 2: "), std::string::npos) << broken.ErrorText;
}

}  // namespace
}  // namespace norvane
