// How a feed's fetch ended, as TRSS tells it after a request: one case per way a fetch
// ends, each against a real local server.
#include "feeds/fetch_outcome.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/settings.h"
#include "feeds/channel_home.h"
#include "feeds/chlist.h"
#include "feeds/rss.h"
#include "feeds/xml_node.h"
#include "support/feed_server.h"
#include "support/program_home.h"

namespace norvane {
namespace {

using OutcomeKind = FetchOutcomeKind;

const char* kOutcomeDay1 = "Mon, 01 Dec 2025 10:00:00 GMT";
const char* kOutcomeDay2 = "Tue, 02 Dec 2025 10:00:00 GMT";

std::string OutcomeFeed(const std::string& item) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>C</title>"
         "<link>http://example.com/</link><description>d</description><item><title>" +
         item + "</title><link>http://e/" + item + "</link></item></channel></rss>";
}

class FetchOutcomeOfReload : public test::ChannelHome {
 protected:
  // One request; the outcome it left and the types of the answer's items.
  std::optional<FetchOutcome> Request(const std::string& path, bool reload) {
    TRSS rss(Params(path, reload), Context());
    answer_ = rss.Excute();
    types_.clear();
    TRXML doc;
    doc.LoadFromXML(answer_);
    for (xmlNodePtr item : doc.SelectNodes("rss/channel/item"))
      types_.push_back(GetAttribute(SelectSingleNode(item, "rg:log"), "type"));
    return rss.LastFetch();
  }

  std::string answer_;
  std::vector<std::string> types_;
};

TEST_F(FetchOutcomeOfReload, EveryWayAReloadEndsIsToldApart) {
  UpdateSettings([](Settings& s) { s.READTIMEOUT = 300; });
  test::FeedRoute stored;
  stored.body = OutcomeFeed("A");
  stored.lastModified = kOutcomeDay1;

  test::FeedRoute changed;
  changed.body = OutcomeFeed("B");
  changed.lastModified = kOutcomeDay2;
  changed.etag = "\"v2\"";
  changed.headers = {{"Cache-Control", "public, max-age=600"}};
  test::FeedRoute missing;
  missing.status = 404;
  missing.body = "gone";
  test::FeedRoute busy;
  busy.status = 503;
  busy.body = "later";
  busy.headers = {{"Retry-After", "120"}};
  test::FeedRoute page;
  page.body = "<!DOCTYPE html><html><head><title>Home</title></head><body><p>hello</p></body></html>";
  page.contentType = "text/html";
  test::FeedRoute broken;
  broken.body = "<rss version=\"2.0\"><channel><title>C</title><item></channel>";
  test::FeedRoute empty;
  test::FeedRoute other;
  other.body = "<opml version=\"1.0\"><head><title>C</title></head><body/></opml>";
  test::FeedRoute slow = changed;
  slow.delay = std::chrono::milliseconds(1500);

  const struct {
    const char* what;
    std::optional<test::FeedRoute> reloadRoute;  // none: the stored route again
    OutcomeKind kind;
    long status;
    std::string detailHas;
    std::vector<std::string> types;
  } cases[] = {
      {"unchanged", std::nullopt, OutcomeKind::Unchanged, 304, "", {"today"}},
      {"changed", changed, OutcomeKind::Ok, 200, "", {"new", "log"}},
      {"not found", missing, OutcomeKind::HttpStatus, 404, "404", {"today"}},
      {"busy", busy, OutcomeKind::HttpStatus, 503, "503", {"today"}},
      {"a web page", page, OutcomeKind::NotAFeed, 200, "", {"today"}},
      {"broken xml", broken, OutcomeKind::XmlError, 200, "XML", {"today"}},
      {"an empty answer", empty, OutcomeKind::NotAFeed, 200, "empty", {"today"}},
      {"another XML document", other, OutcomeKind::NotAFeed, 200, "", {"today"}},
      {"silent too long", slow, OutcomeKind::Timeout, 0, "timed out", {"today"}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = "/feed" + std::to_string(n++);
    server_.Route(path, stored);
    std::optional<FetchOutcome> first = Request(path, false);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->kind, OutcomeKind::Ok);
    EXPECT_FALSE(Request(path, false).has_value()) << "the stored log read: nothing fetched";

    if (c.reloadRoute) server_.Route(path, *c.reloadRoute);
    std::optional<FetchOutcome> got = Request(path, true);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(FetchOutcomeKindName(got->kind), FetchOutcomeKindName(c.kind)) << DescribeOutcome(*got);
    EXPECT_EQ(got->status, c.status);
    if (c.kind == OutcomeKind::Ok || c.kind == OutcomeKind::Unchanged)
      EXPECT_EQ(got->detail, "");
    else
      EXPECT_FALSE(got->detail.empty());
    EXPECT_NE(got->detail.find(c.detailHas), std::string::npos) << got->detail;
    EXPECT_EQ(got->finalUrl, server_.Url(path));
    EXPECT_EQ(types_, c.types) << "what the page shows stays as before";
  }
}

TEST_F(FetchOutcomeOfReload, TheValidatorsAndWhenToAskAgainCome) {
  test::FeedRoute feed;
  feed.body = OutcomeFeed("A");
  feed.lastModified = kOutcomeDay1;
  feed.etag = "W/\"v1\"";
  feed.headers = {{"Cache-Control", "no-transform"}, {"Cache-Control", "Max-Age=900"}};
  server_.Route("/new/feed", feed);
  server_.Redirect("/old/feed", 301, server_.Url("/new/feed"));
  std::optional<FetchOutcome> got = Request("/old/feed", true);
  ASSERT_TRUE(got.has_value());
  EXPECT_TRUE(got->ok()) << DescribeOutcome(*got);
  EXPECT_EQ(got->validators.lastModified, kOutcomeDay1);
  EXPECT_EQ(got->validators.etag, "W/\"v1\"");
  EXPECT_EQ(got->finalUrl, server_.Url("/new/feed"));
  EXPECT_EQ(got->maxAgeSeconds, 900);
  EXPECT_EQ(got->retryAfter, "");

  // A 503 that says when to come back, on a reload: the date of a Retry-After kept as sent.
  test::FeedRoute busy;
  busy.status = 503;
  busy.headers = {{"Retry-After", "Wed, 03 Dec 2025 10:00:00 GMT"}};
  server_.Route("/new/feed", busy);
  got = Request("/old/feed", true);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(got->kind, OutcomeKind::HttpStatus);
  EXPECT_EQ(got->retryAfter, "Wed, 03 Dec 2025 10:00:00 GMT");
  EXPECT_EQ(got->maxAgeSeconds, -1);
  EXPECT_EQ(types_, std::vector<std::string>{"today"});
}

TEST_F(FetchOutcomeOfReload, AFirstFetchWithNoServerIsATransportFailureAndTheErrorFeed) {
  RPARAMS p;
  p.URL = "http://127.0.0.1:1/feed";
  TRSS rss(p, FeedContext{*list_, {}, nullptr});
  const std::string answer = rss.Excute();
  EXPECT_NE(answer.find("127.0.0.1:1/feed"), std::string::npos) << answer;
  ASSERT_TRUE(rss.LastFetch().has_value());
  EXPECT_EQ(rss.LastFetch()->kind, OutcomeKind::Transport);
  EXPECT_EQ(rss.LastFetch()->status, 0);
  EXPECT_FALSE(rss.LastFetch()->detail.empty());
}

TEST(FetchOutcome, EachAnswerOfTheClientHasItsKind) {
  const struct {
    FetchKind client;
    OutcomeKind kind;
    bool keepsDetail;
  } cases[] = {
      {FetchKind::Ok, OutcomeKind::Ok, false},
      {FetchKind::NotModified, OutcomeKind::Unchanged, false},
      {FetchKind::Status, OutcomeKind::HttpStatus, true},
      {FetchKind::Timeout, OutcomeKind::Timeout, true},
      {FetchKind::Cancelled, OutcomeKind::Cancelled, true},
      {FetchKind::TooLarge, OutcomeKind::TooLarge, true},
      {FetchKind::Transport, OutcomeKind::Transport, true},
      {FetchKind::NotAllowedScheme, OutcomeKind::Transport, true},
      {FetchKind::TooManyRedirects, OutcomeKind::Transport, true},
  };
  for (const auto& c : cases) {
    FetchResponse r;
    r.kind = c.client;
    r.error = "why";
    r.status = 418;
    r.lastModified = "Mon,\r\n 01 Dec";
    r.etag = "\"caf\xC3\xA9\"";
    r.retryAfter = "30";
    r.cacheControl = "max-age=5";
    FetchOutcome o = OutcomeOfResponse(r, "http://asked/");
    SCOPED_TRACE(std::string(FetchOutcomeKindName(c.kind)));
    EXPECT_EQ(o.kind, c.kind);
    EXPECT_EQ(o.status, 418);
    EXPECT_EQ(o.detail, c.keepsDetail ? "why" : "");
    EXPECT_EQ(o.validators.lastModified, "Mon, 01 Dec") << "cleaned as stored";
    EXPECT_EQ(o.validators.etag, "") << "a tag that cannot go back is none";
    EXPECT_EQ(o.finalUrl, "http://asked/");
    EXPECT_EQ(o.retryAfter, "30");
    EXPECT_EQ(o.maxAgeSeconds, 5);
  }
  FetchResponse moved;
  moved.url = "http://there/";
  EXPECT_EQ(OutcomeOfResponse(moved, "http://asked/").finalUrl, "http://there/");
  EXPECT_EQ(DescribeOutcome({OutcomeKind::HttpStatus, 404, "HTTP/1.1 404 Not Found"}),
            "http-status 404: HTTP/1.1 404 Not Found");
  EXPECT_EQ(DescribeOutcome({OutcomeKind::Timeout, 0, "Read timed out"}), "timeout: Read timed out");
  EXPECT_EQ(DescribeOutcome({OutcomeKind::Unchanged, 304, ""}), "unchanged 304");
}

TEST(FetchOutcome, MaxAgeIsReadFromCacheControl) {
  const struct {
    const char* header;
    long seconds;
  } cases[] = {
      {"", -1},
      {"max-age=0", 0},
      {"max-age=3600", 3600},
      {"public, max-age=60, must-revalidate", 60},
      {"MAX-AGE=7", 7},
      {"  max-age=8  ", 8},
      {"max-age=\"9\"", 9},
      {"s-maxage=10", -1},
      {"s-maxage=10, max-age=11", 11},
      {"max-age=", -1},
      {"max-age=12x", -1},
      {"max-age=-1", -1},
      {"max-age", -1},
      {"no-cache", -1},
      {"max-age=99999999999999999999999", std::numeric_limits<long>::max()},
  };
  for (const auto& c : cases) EXPECT_EQ(MaxAgeSeconds(c.header), c.seconds) << c.header;
}

}  // namespace
}  // namespace norvane
