// Feeds as real sites serve them, through the channel log: moved feeds, entity tags.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/disk_path.h"
#include "core/header_value.h"
#include "core/sjis.h"
#include "feeds/channel_home.h"
#include "feeds/chlist.h"
#include "feeds/rss.h"
#include "feeds/xml_node.h"
#include "support/feed_server.h"
#include "support/program_home.h"

namespace norvane {
namespace {

std::string ChannelFeed(const std::string& items, const std::string& channelLink = "http://example.com/") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>C</title><link>" +
         channelLink + "</link><description>d</description>" + items + "</channel></rss>";
}

class ChannelFetch : public test::ChannelHome {
 protected:
  // One request for the feed at path; the answer parsed (the error feed too).
  std::unique_ptr<TRXML> Request(const std::string& path, bool reload = true) {
    TRSS rss(Params(path, reload), Context());
    answer_ = SjisToUtf8(rss.Excute());
    logPath_ = rss.LogPath;
    auto doc = std::make_unique<TRXML>();
    doc->LoadFromXML(Utf8ToSjis(answer_));
    return doc;
  }

  // The texts of one child of every item of the answer.
  static std::vector<std::string> ItemTexts(const TRXML& doc, const std::string& child) {
    std::vector<std::string> out;
    for (xmlNodePtr item : doc.SelectNodes("rss/channel/item")) {
      xmlNodePtr c = SelectSingleNode(item, child);
      out.push_back(c ? SjisToUtf8(NodeText(c)) : "-");
    }
    return out;
  }
  static std::vector<std::string> Types(const TRXML& doc) {
    std::vector<std::string> out;
    for (xmlNodePtr item : doc.SelectNodes("rss/channel/item"))
      out.push_back(GetAttribute(SelectSingleNode(item, "rg:log"), "type"));
    return out;
  }

  std::string answer_;
  std::string logPath_;
};

TEST_F(ChannelFetch, AMovedFeedStaysUnderTheAddressSubscribedTo) {
  test::FeedRoute feed;
  feed.body = ChannelFeed("<item><title>A</title><link>http://e/a</link></item>");
  feed.lastModified = "Mon, 01 Dec 2025 10:00:00 GMT";
  server_.Route("/new/feed", feed);
  server_.Redirect("/old/feed", 301, server_.Url("/new/feed"));

  auto first = Request("/old/feed");
  EXPECT_EQ(ItemTexts(*first, "title"), std::vector<std::string>{"A"}) << answer_;
  EXPECT_EQ(logPath_, "channels/" + ChannelFileName(server_.Url("/old/feed")) + ".xml");
  EXPECT_TRUE(FileExists(DiskPath(logPath_)));
  EXPECT_EQ(NodeText(first->SelectSingleNode("rss/channel/rg:link")), server_.Url("/old/feed"));
  const std::string list = SjisToUtf8(list_->GetXML());
  EXPECT_NE(list.find("<xmlUrl>" + server_.Url("/old/feed") + "</xmlUrl>"), std::string::npos) << list;
  EXPECT_EQ(list.find("<xmlUrl>" + server_.Url("/new/feed")), std::string::npos)
      << "the new address is no entry of its own";
  EXPECT_NE(list.find("<movedTo>" + server_.Url("/new/feed") + "</movedTo>"), std::string::npos)
      << "the health record tells where it moved";
  EXPECT_EQ(list_->Count(), 1u);

  // The reload asks the old address again, with the date, and the new one answers 304.
  auto second = Request("/old/feed");
  EXPECT_EQ(Types(*second), std::vector<std::string>{"today"});
  EXPECT_EQ(server_.Requests().back().path, "/new/feed");
  EXPECT_EQ(server_.Requests().back().Header("If-Modified-Since"), feed.lastModified);
}

TEST_F(ChannelFetch, ARefusedRedirectSaysWhyInTheErrorFeed) {
  for (int i = 1; i <= 6; ++i)
    server_.Redirect("/hop" + std::to_string(i), 302, server_.Url("/hop" + std::to_string(i + 1)));
  server_.Serve("/hop7", ChannelFeed(""));
  server_.Redirect("/local", 301, "file:///etc/passwd");
  const struct {
    std::string path, reason;
  } cases[] = {
      {"/hop1", "Too many redirects: more than 5"},
      {"/local", "Redirected to an address that is neither http nor https: file:///etc/passwd"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    Request(c.path);
    EXPECT_NE(answer_.find("取得できませんでした"), std::string::npos) << answer_;
    EXPECT_NE(answer_.find(server_.Url(c.path) + "\r\n" + c.reason), std::string::npos) << answer_;
    EXPECT_FALSE(FileExists(DiskPath(logPath_)));
  }
  EXPECT_EQ(server_.RequestCount("/hop7"), 0u);
}

TEST_F(ChannelFetch, AFeedWithAnAddressTooLongForAFileNameIsStoredAndReloaded) {
  const std::string path = "/search?q=" + std::string(400, 'k') + "&lang=ja";
  test::FeedRoute feed;
  feed.body = ChannelFeed("<item><title>A</title><link>http://e/a</link></item>");
  feed.lastModified = "Mon, 01 Dec 2025 10:00:00 GMT";
  server_.Route(path, feed);
  EXPECT_EQ(Types(*Request(path)), std::vector<std::string>{"new"}) << answer_;
  EXPECT_TRUE(FileExists(DiskPath(logPath_))) << logPath_;
  EXPECT_EQ(Types(*Request(path)), std::vector<std::string>{"today"}) << "read back and refreshed";
  EXPECT_EQ(server_.Requests().back().Header("If-Modified-Since"), feed.lastModified);
}

TEST_F(ChannelFetch, AnItemWithoutLinkTakesItsPermalinkGuidAndStopsShowingAsNew) {
  const struct {
    std::string item, link;
  } cases[] = {
      {"<guid>http://e/1</guid>", "http://e/1"},
      {"<guid isPermaLink=\"true\">https://e/2</guid>", "https://e/2"},
      {"<guid>\n  HTTPS://e/3 </guid>", "HTTPS://e/3"},
      {"<link></link><guid>http://e/4</guid>", "http://e/4"},
      {"<link>http://e/own</link><guid>http://e/5</guid>", "http://e/own"},
      {"<guid isPermaLink=\"false\">http://e/6</guid>", "-"},
      {"<guid>tag:e,2025:7</guid>", "-"},
      {"<guid>urn:uuid:8</guid>", "-"},
      {"", "-"},
  };
  std::string items;
  std::vector<std::string> links;
  for (const auto& c : cases) {
    items += "<item><title>t</title>" + c.item + "</item>";
    links.push_back(c.link);
  }
  test::FeedRoute feed;
  feed.body = ChannelFeed(items);
  feed.lastModified = "Mon, 01 Dec 2025 10:00:00 GMT";
  server_.Route("/feed", feed);
  auto first = Request("/feed");
  EXPECT_EQ(ItemTexts(*first, "link"), links) << answer_;

  // The same feed again, changed in its date only: every item with a link is known.
  feed.lastModified = "Tue, 02 Dec 2025 10:00:00 GMT";
  server_.Route("/feed", feed);
  const std::vector<std::string> types = Types(*Request("/feed"));
  ASSERT_EQ(types.size(), links.size());
  for (size_t i = 0; i < links.size(); ++i) {
    if (links[i] == "-") continue;  // linkless items pair among themselves
    EXPECT_EQ(types[i], "today") << links[i];
  }

  // A new guid-only item on top is the one that is new, and no other.
  feed.body = ChannelFeed("<item><title>N</title><guid>http://e/n</guid></item>"
                   "<item><title>O</title><guid>http://e/o</guid></item>");
  feed.lastModified = "Wed, 03 Dec 2025 10:00:00 GMT";
  server_.Route("/guids", feed);
  Request("/guids");
  feed.body = ChannelFeed("<item><title>P</title><guid>http://e/p</guid></item>"
                   "<item><title>N</title><guid>http://e/n</guid></item>"
                   "<item><title>O</title><guid>http://e/o</guid></item>");
  feed.lastModified = "Thu, 04 Dec 2025 10:00:00 GMT";
  server_.Route("/guids", feed);
  auto next = Request("/guids");
  EXPECT_EQ(ItemTexts(*next, "title"), (std::vector<std::string>{"P", "N", "O"}));
  EXPECT_EQ(Types(*next), (std::vector<std::string>{"new", "today", "today"}));
}

// The text of one element or attribute of the n-th item of the answer.
std::string ItemValue(const TRXML& doc, size_t n, const std::string& child, const char* attribute = nullptr) {
  NodeList items = doc.SelectNodes("rss/channel/item");
  if (n >= items.Length()) return "(no item)";
  xmlNodePtr c = SelectSingleNode(items[n], child);
  if (!c) return "-";
  // As the DOM holds it (UTF-8): characters Shift_JIS lacks are part of the point.
  xmlChar* v = attribute ? xmlGetProp(c, BAD_CAST attribute) : xmlNodeGetContent(c);
  std::string text = v ? reinterpret_cast<const char*>(v) : "";
  xmlFree(v);
  return text;
}

TEST_F(ChannelFetch, RelativeAddressesResolveAgainstXmlBaseThenTheChannelLinkThenTheFeed) {
  const struct {
    std::string item, child;
    const char* attribute;
    std::string expected;
  } cases[] = {
      {"<link>/a</link>", "link", nullptr, "http://example.com/a"},
      {"<link> b </link>", "link", nullptr, "http://example.com/blog/b"},
      {"<link xml:base=\"http://base.example/x/\">c</link>", "link", nullptr, "http://base.example/x/c"},
      {"<link xml:base=\"sub/\">d</link>", "link", nullptr, "http://example.com/blog/sub/d"},
      {"<link>\n HTTP://Other/x </link>", "link", nullptr, "\n HTTP://Other/x "},
      {"<link>javascript:alert(1)</link>", "link", nullptr, "javascript:alert(1)"},
      {"<link>#top</link>", "link", nullptr, "http://example.com/blog/#top"},
      {"<link>//cdn.example/z</link>", "link", nullptr, "http://cdn.example/z"},
      {"<guid>/g</guid>", "link", nullptr, "http://example.com/g"},
      {"<link>/l</link><guid isPermaLink=\"false\">e</guid>", "guid", nullptr, "e"},
      {"<enclosure url=\"media/ep1.mp3\" length=\"1\" type=\"audio/mpeg\"/>", "enclosure", "url",
       "http://example.com/blog/media/ep1.mp3"},
      {"<enclosure url=\"https://m.example/ep2.mp3\" length=\"1\" type=\"audio/mpeg\"/>", "enclosure", "url",
       "https://m.example/ep2.mp3"},
      {"<description>&lt;a href=\"/p?a=1&amp;amp;b=2\"&gt;x&lt;/a&gt; and &lt;img SRC='i.png'&gt; caf\xC3\xA9</description>",
       "description", nullptr,
       "<a href=\"http://example.com/p?a=1&amp;b=2\">x</a> and <img src=\"http://example.com/blog/i.png\"> caf\xC3\xA9"},
      {"<description><![CDATA[text first <a href=\"q\">q</a>]]></description>", "description", nullptr,
       "text first <a href=\"http://example.com/blog/q\">q</a>"},
      {"<description>plain &amp; &lt;b&gt;bold&lt;/b&gt;</description>", "description", nullptr, "plain & <b>bold</b>"},
      {"<description>&lt;a  href = 'http://abs/' &gt;kept&lt;/a&gt;</description>", "description", nullptr,
       "<a  href = 'http://abs/' >kept</a>"},
  };
  std::string items;
  for (const auto& c : cases) items += "<item><title>t</title>" + c.item + "</item>";
  server_.Serve("/feed", ChannelFeed(items, "http://example.com/blog/"));
  auto doc = Request("/feed");
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].item);
    EXPECT_EQ(ItemValue(*doc, i, cases[i].child, cases[i].attribute), cases[i].expected);
  }

  // Without a channel link, where the feed is now: the end of its redirects.
  server_.Serve("/moved/to/feed.xml",
                "<rss version=\"2.0\"><channel><title>C</title><item><link>next.html</link></item>"
                "<item><link>../up.html</link></item></channel></rss>");
  server_.Redirect("/old", 301, server_.Url("/moved/to/feed.xml"));
  auto moved = Request("/old");
  EXPECT_EQ(ItemTexts(*moved, "link"),
            (std::vector<std::string>{server_.Url("/moved/to/next.html"), server_.Url("/moved/up.html")}));
}

std::string StoredETag(const std::string& listText) {
  if (listText.find("<httpETag/>") != std::string::npos) return "";
  size_t b = listText.find("<httpETag>");
  if (b == std::string::npos) return "(none)";
  b += 10;
  return listText.substr(b, listText.find("</httpETag>", b) - b);
}

TEST_F(ChannelFetch, AServerWithOnlyAnEntityTagAnswers304AndTheLogIsKept) {
  test::FeedRoute feed;
  feed.body = ChannelFeed("<item><title>A</title><link>http://e/a</link></item>");
  feed.etag = "\"v1\"";
  server_.Route("/feed", feed);

  EXPECT_EQ(Types(*Request("/feed")), std::vector<std::string>{"new"});
  EXPECT_FALSE(server_.Requests().back().HasHeader("If-None-Match")) << "nothing to send yet";
  EXPECT_EQ(StoredETag(SjisToUtf8(list_->GetXML())), "\"v1\"");

  // The server gave no date: the one the log shows is the program's own, kept as such.
  EXPECT_NE(SjisToUtf8(list_->GetXML()).find("<httpLastModified source=\"own\">"), std::string::npos);

  // Unchanged: the tag goes back, the server answers 304, the items stay.
  auto unchanged = Request("/feed");
  EXPECT_EQ(server_.Requests().back().Header("If-None-Match"), "\"v1\"");
  EXPECT_FALSE(server_.Requests().back().HasHeader("If-Modified-Since")) << "a date the server never gave";
  EXPECT_EQ(Types(*unchanged), std::vector<std::string>{"today"});
  EXPECT_EQ(ItemTexts(*unchanged, "title"), std::vector<std::string>{"A"});
  EXPECT_NE(home_.Read(DiskPath(logPath_)).find("<title>A</title>"), std::string::npos);

  // Changed: a new tag, the new item, the old one kept behind it.
  feed.body = ChannelFeed("<item><title>B</title><link>http://e/b</link></item>");
  feed.etag = "W/\"v2\"";
  server_.Route("/feed", feed);
  auto changed = Request("/feed");
  EXPECT_EQ(ItemTexts(*changed, "title"), (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(Types(*changed), (std::vector<std::string>{"new", "log"}));
  EXPECT_EQ(StoredETag(SjisToUtf8(list_->GetXML())), "W/\"v2\"");
  Request("/feed");
  EXPECT_EQ(server_.Requests().back().Header("If-None-Match"), "W/\"v2\"");
  EXPECT_EQ(Types(*Request("/feed")), (std::vector<std::string>{"today", "log"}));

  // A server that stops sending a tag: the stored one goes, none is sent after.
  feed.body = ChannelFeed("<item><title>C</title><link>http://e/c</link></item>");
  feed.etag.clear();
  server_.Route("/feed", feed);
  Request("/feed");
  EXPECT_EQ(StoredETag(SjisToUtf8(list_->GetXML())), "");
  Request("/feed");
  EXPECT_FALSE(server_.Requests().back().HasHeader("If-None-Match"));
  EXPECT_FALSE(server_.Requests().back().HasHeader("If-Modified-Since"));

  // Once the server gives a date, it is the server's, and it goes back.
  feed.lastModified = "Wed, 03 Dec 2025 10:00:00 GMT";
  server_.Route("/feed", feed);
  Request("/feed");
  EXPECT_NE(SjisToUtf8(list_->GetXML()).find("<httpLastModified>Wed, 03 Dec 2025 10:00:00 GMT<"),
            std::string::npos);
  Request("/feed");
  EXPECT_EQ(server_.Requests().back().Header("If-Modified-Since"), feed.lastModified);
}

// Tags a server should not send: each is kept out of the list and never sent back.
TEST_F(ChannelFetch, EntityTagsThatCannotGoBackAsTheyCameAreNotKept) {
  const struct {
    const char* what;
    std::string etag;
  } cases[] = {
      {"longer than the bound", "\"" + std::string(kMaxValidatorBytes, 'x') + "\""},
      {"bytes outside ASCII", "\"caf\xC3\xA9\""},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = "/feed" + std::to_string(n++);
    test::FeedRoute feed;
    feed.body = ChannelFeed("<item><title>A</title><link>http://e/a</link></item>");
    feed.etag = c.etag;
    server_.Route(path, feed);
    Request(path);
    Request(path);
    EXPECT_FALSE(server_.Requests().back().HasHeader("If-None-Match"));
    EXPECT_EQ(StoredETag(SjisToUtf8(list_->GetXML())), "(none)");
  }
  EXPECT_EQ(CleanEntityTag("\"a\r\nSet-Cookie: x\""), "\"aSet-Cookie: x\"") << "no line breaks";
  EXPECT_EQ(CleanValidator(std::string(kMaxValidatorBytes + 1, 'd')), "");
  EXPECT_EQ(CleanValidator(std::string(kMaxValidatorBytes, 'd')).size(), kMaxValidatorBytes);
}

}  // namespace
}  // namespace norvane
