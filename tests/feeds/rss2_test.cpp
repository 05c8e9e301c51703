#include "feeds/rss2.h"

#include <gtest/gtest.h>

#include "core/texts.h"
#include "support/feed_server.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using test::Sjis;

const char* kRdfHead =
    "<rdf:RDF xmlns=\"http://purl.org/rss/1.0/\" xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">";

TEST(Rss2, VersionDecidesThePaths) {
  test::TempDir dir;
  struct Case {
    const char* name;
    std::string text;
    std::string version;
    size_t items;
  } cases[] = {
      {"rss10", std::string(kRdfHead) +
                    "<channel><title>R</title><link>l</link><description>d</description></channel>"
                    "<item><link>1</link></item><item><link>2</link></item></rdf:RDF>",
       "1.0", 2},
      {"rss091", "<rss version=\"0.91\"><channel><title>R</title><link>l</link><description>d</description>"
                 "<item><link>1</link></item></channel></rss>",
       "0.91", 1},
      {"rss20", "<rss version=\"2.0\"><channel><title>R</title><link>l</link><description>d</description>"
                "<item><link>1</link></item><item><link>2</link></item><item><link>3</link></item>"
                "</channel></rss>",
       "2.0", 3},
      {"nested10", std::string(kRdfHead) +
                       "<channel><title>R</title><link>l</link><description>d</description>"
                       "<item><link>1</link></item></channel></rdf:RDF>",
       "1.0", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.Write(std::string(c.name) + ".xml", c.text);
    TRSS2 feed;
    feed.Open(path);
    EXPECT_EQ(feed.URL, path);
    EXPECT_EQ(feed.Version, c.version);
    EXPECT_EQ(feed.GetTitle(), "R");
    EXPECT_EQ(feed.GetLink(), "l");
    EXPECT_EQ(feed.GetDescription(), "d");
    ASSERT_TRUE(feed.GetItems().has_value());
    EXPECT_EQ(feed.GetItems()->Length(), c.items);
  }
}

TEST(Rss2, DocumentsThatAreNoFeedRaise) {
  test::TempDir dir;
  const char* notFeeds[] = {
      "<rss><channel><title>no version</title></channel></rss>",
      "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>atom</title></feed>",
      "<x:RDF xmlns:x=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><channel/></x:RDF>",
      "not xml at all",
  };
  int n = 0;
  for (const char* text : notFeeds) {
    std::string path = dir.Write("f" + std::to_string(n++) + ".xml", text);
    TRSS2 feed;
    try {
      feed.Open(path);
      ADD_FAILURE() << text;
    } catch (const XmlError& e) {
      EXPECT_EQ(e.what(), T().notRss) << text;
    }
    EXPECT_EQ(feed.Version, "");
    EXPECT_EQ(feed.GetTitle(), "");
    EXPECT_FALSE(feed.GetItems().has_value());
  }
  TRSS2 missing;
  EXPECT_THROW(missing.Open(dir / "absent.xml"), XmlError);
}

TEST(Rss2, AMissingChannelElementReadsEmptyAndAssignedDocumentsAreRead) {
  TRXML loaded;
  ASSERT_TRUE(loaded.LoadFromString("<rss version=\"2.0\"><channel><title>t</title></channel></rss>", "s"));
  TRSS2 view;
  view.Assign(loaded);
  EXPECT_EQ(view.ReadVersion(), "2.0");
  EXPECT_EQ(view.GetTitle(), "t");
  EXPECT_EQ(view.GetLink(), "");  // the feed was read fine: no error for a missing field
  EXPECT_EQ(view.GetItems()->Length(), 0u);
}

TEST(Rss2, UrlsAreFetchedWithoutConditionAndFailuresPropagate) {
  test::FeedServer server;
  test::FeedRoute r;
  r.body = test::EncodeBody("<rss version=\"2.0\"><channel><title>取得</title></channel></rss>",
                            test::BodyCode::Utf8);
  r.lastModified = "Tue, 01 Apr 2025 10:00:00 GMT";
  server.Route("/feed.xml", r);
  TRSS2 feed;
  feed.Open(server.Url("/feed.xml"));
  EXPECT_EQ(feed.GetTitle(), Sjis("取得"));
  EXPECT_FALSE(server.Requests()[0].HasHeader("If-Modified-Since"));

  TRSS2 failed;
  EXPECT_THROW(failed.Open(server.Url("/gone.xml")), std::exception);
  EXPECT_EQ(failed.ErrorText.find(server.Url("/gone.xml")), 0u);
}

}  // namespace
}  // namespace norvane
