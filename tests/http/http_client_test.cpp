#include "http/http_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/settings.h"
#include "feeds/rxml.h"
#include "http/user_agent.h"
#include "support/feed_server.h"

namespace norvane {
namespace {

using test::FeedRoute;
using test::FeedServer;

class HttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSettings(); }
  void TearDown() override { ResetSettings(); }
  FeedServer server;
};

TEST_F(HttpClientTest, SendsUserAgentAndConditionalHeaderAndReturnsBodyBytes) {
  std::string body("<rss>\x82\xA0\r\n\0tail</rss>", 20);
  FeedRoute r;
  r.body = body;
  r.lastModified = "Tue, 01 Apr 2025 10:00:00 GMT";
  server.Route("/feed", r);

  HttpResponse plain = HttpGet(server.Url("/feed"), "");
  EXPECT_EQ(plain.status, 200);
  EXPECT_EQ(plain.body, body);
  EXPECT_EQ(plain.lastModified, r.lastModified);
  EXPECT_EQ(plain.statusLine.substr(0, 12), "HTTP/1.1 200");

  HttpResponse other = HttpGet(server.Url("/feed"), "Mon, 31 Mar 2025 00:00:00 GMT");
  EXPECT_EQ(other.body, body);

  auto seen = server.Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].Header("User-Agent"), kUserAgent);
  EXPECT_FALSE(seen[0].HasHeader("If-Modified-Since"));
  EXPECT_EQ(seen[1].Header("If-Modified-Since"), "Mon, 31 Mar 2025 00:00:00 GMT");
}

TEST_F(HttpClientTest, StatusesOutside2xxFailWithTheStatusLine) {
  FeedRoute r;
  r.body = "<rss/>";
  r.lastModified = "Tue, 01 Apr 2025 10:00:00 GMT";
  server.Route("/feed", r);
  server.Redirect("/moved", 302, server.Url("/feed"));
  FeedRoute gone;
  gone.status = 500;
  gone.body = "broken";
  server.Route("/broken", gone);

  try {
    HttpGet(server.Url("/feed"), r.lastModified);
    FAIL() << "304 must fail";
  } catch (const HttpError& e) {
    EXPECT_EQ(std::string(e.what()).substr(0, 12), "HTTP/1.1 304");
  }
  try {
    HttpGet(server.Url("/moved"), "");
    FAIL() << "a redirect must fail";
  } catch (const HttpError& e) {
    EXPECT_EQ(std::string(e.what()).substr(0, 12), "HTTP/1.1 302");
  }
  EXPECT_EQ(server.RequestCount("/feed"), 1u) << "the redirect target is not fetched";
  EXPECT_THROW(HttpGet(server.Url("/broken"), ""), HttpError);
  EXPECT_THROW(HttpGet(server.Url("/nothing-here"), ""), HttpError);
}

TEST_F(HttpClientTest, ReadTimeOutAndOversizedAnswersFail) {
  UpdateSettings([](Settings& s) { s.READTIMEOUT = 200; });
  FeedRoute slow;
  slow.body = "<rss/>";
  slow.delay = std::chrono::milliseconds(5000);
  server.Route("/slow", slow);
  try {
    HttpGet(server.Url("/slow"), "");
    FAIL() << "a silent server must time out";
  } catch (const HttpError& e) {
    EXPECT_NE(std::string(e.what()).find("timed out"), std::string::npos) << e.what();
  }

  UpdateSettings([](Settings& s) { s.READTIMEOUT = 45000; });
  FeedRoute big;
  big.generatedBytes = kMaxResponseBytes + 1;
  server.Route("/big", big);
  FeedRoute bigChunked = big;
  bigChunked.chunked = true;
  server.Route("/big-chunked", bigChunked);
  FeedRoute fits;
  fits.generatedBytes = 1 << 20;
  server.Route("/fits", fits);
  for (const char* path : {"/big", "/big-chunked"}) {
    try {
      HttpGet(server.Url(path), "");
      FAIL() << path << " must be refused";
    } catch (const HttpError& e) {
      EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(HttpGet(server.Url("/fits"), "").body.size(), size_t{1} << 20);
}

TEST_F(HttpClientTest, CompressedAnswersArriveDecoded) {
  std::string body = "<rss version=\"2.0\"><channel><title>t</title></channel></rss>";
  FeedRoute gz;
  gz.body = body;
  gz.coding = FeedRoute::Coding::Gzip;
  server.Route("/gz", gz);
  FeedRoute df = gz;
  df.coding = FeedRoute::Coding::Deflate;
  server.Route("/df", df);
  EXPECT_EQ(HttpGet(server.Url("/gz"), "").body, body);
  EXPECT_EQ(HttpGet(server.Url("/df"), "").body, body);
  EXPECT_NE(server.Requests()[0].Header("Accept-Encoding").find("gzip"), std::string::npos);
}

TEST_F(HttpClientTest, OnlyHttpAndHttpsAreFetched) {
  EXPECT_THROW(HttpGet("file:///etc/hostname", ""), HttpError);
  EXPECT_THROW(HttpGet("ftp://127.0.0.1:1/x", ""), HttpError);
}

TEST_F(HttpClientTest, ProxyRuleSendsOnlyForeignUrlsThroughTheProxy) {
  FeedServer proxy;
  proxy.Serve("/proxied", "<rss/>");
  server.Serve("/direct", "<rss/>");
  // The proxy answers every target it is asked for with its own route for the path.
  UpdateSettings([&](Settings& s) {
    s.USEPROXY = true;
    s.PROXYSERVER = "127.0.0.1";
    s.PROXYPORT = proxy.port();
    s.LocalAddress = "10.255.255.1";
  });

  // Holds "localhost" in its query: direct.
  HttpGet(server.Url("/direct?from=localhost"), "");
  // Holds the host's own address: direct.
  HttpGet(server.Url("/direct?via=10.255.255.1"), "");
  // Anything else: through the proxy, with the absolute URL as target.
  HttpGet(server.Url("/proxied"), "");

  EXPECT_EQ(server.RequestCount("/direct"), 2u);
  ASSERT_EQ(proxy.RequestCount(), 1u);
  EXPECT_EQ(proxy.Requests()[0].target, server.Url("/proxied"));
  EXPECT_EQ(server.RequestCount("/proxied"), 0u);

  // With no local address known, only "localhost" keeps a URL direct.
  UpdateSettings([](Settings& s) { s.LocalAddress.clear(); });
  Settings s = GetSettings();
  EXPECT_TRUE(UsesProxy("http://10.255.255.1/x", s));
  EXPECT_FALSE(UsesProxy("http://localhost:4565/htr.xml", s));
  s.USEPROXY = false;
  EXPECT_FALSE(UsesProxy("http://example.invalid/", s));
}

// The TRXML side: error lines, the date handed back, the swallowed failures.
TEST_F(HttpClientTest, ConditionalFetchReportsOutcomesAsTheChannelLogExpects) {
  FeedRoute r;
  r.body = "<rss version=\"2.0\"><channel><title>t</title></channel></rss>";
  r.lastModified = "Tue, 01 Apr 2025 10:00:00 GMT";
  server.Route("/feed", r);
  server.Serve("/no-date", r.body);

  TRXML x;
  std::string date;
  EXPECT_EQ(x.GetIfModified(server.Url("/feed"), "", date), r.body);
  EXPECT_EQ(date, r.lastModified);
  EXPECT_TRUE(x.LastModified.empty());

  EXPECT_EQ(x.GetIfModified(server.Url("/no-date"), "old", date), r.body);
  EXPECT_EQ(date, "");

  TRXML y;
  std::string url = server.Url("/feed?q=%E3%81%82");
  EXPECT_FALSE(y.LoadFromHTTPIfModified(url, r.lastModified, date));
  EXPECT_EQ(date, r.lastModified);
  EXPECT_EQ(y.ErrorText.substr(0, url.size() + 2), url + "\r\n") << "URL copied as it stands";
  EXPECT_NE(y.ErrorText.find("304"), std::string::npos);
  EXPECT_TRUE(y.LastModified.empty());

  TRXML z;
  EXPECT_THROW(z.GET(server.Url("/missing")), HttpError);
  EXPECT_EQ(z.ErrorText.find(server.Url("/missing")), 0u);
}

TEST_F(HttpClientTest, ParallelRequestsShareNothingButTheCaches) {
  FeedRoute r;
  r.body = std::string(50000, 'a');
  r.delay = std::chrono::milliseconds(50);
  server.Route("/p", r);
  std::vector<std::thread> threads;
  std::atomic<int> ok{0};
  for (int i = 0; i < 6; ++i)
    threads.emplace_back([&] {
      for (int k = 0; k < 3; ++k)
        if (HttpGet(server.Url("/p"), "").body == r.body) ++ok;
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(ok.load(), 18);
  EXPECT_GT(server.MaxInFlight(), 1);
}

}  // namespace
}  // namespace norvane
