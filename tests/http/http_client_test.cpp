#include "http/http_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/settings.h"
#include "feeds/fetch_options.h"
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

  FetchResponse plain = HttpGet(server.Url("/feed"), "", {});
  EXPECT_EQ(plain.kind, FetchKind::Ok);
  EXPECT_EQ(plain.status, 200);
  EXPECT_EQ(plain.body, body);
  EXPECT_EQ(plain.lastModified, r.lastModified);
  EXPECT_EQ(plain.statusLine.substr(0, 12), "HTTP/1.1 200");

  FetchOptions other;
  other.userAgent = "probe/1";
  EXPECT_EQ(HttpGet(server.Url("/feed"), "Mon, 31 Mar 2025 00:00:00 GMT", other).body, body);

  auto seen = server.Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].Header("User-Agent"), kUserAgent);
  EXPECT_FALSE(seen[0].HasHeader("If-Modified-Since"));
  EXPECT_EQ(seen[1].Header("User-Agent"), "probe/1");
  EXPECT_EQ(seen[1].Header("If-Modified-Since"), "Mon, 31 Mar 2025 00:00:00 GMT");
}

TEST_F(HttpClientTest, EveryFailureComesBackWithItsKindAndMessage) {
  FeedRoute r;
  r.body = "<rss/>";
  r.lastModified = "Tue, 01 Apr 2025 10:00:00 GMT";
  server.Route("/feed", r);
  server.Redirect("/moved", 302, server.Url("/feed"));
  server.Redirect("/moved-to-slow", 301, server.Url("/slow"));
  FeedRoute gone;
  gone.status = 500;
  gone.body = "broken";
  server.Route("/broken", gone);
  FeedRoute slow;
  slow.body = "<rss/>";
  slow.delay = std::chrono::milliseconds(5000);
  server.Route("/slow", slow);
  FeedRoute big;
  big.generatedBytes = kMaxResponseBytes + 1;
  server.Route("/big", big);
  FeedRoute bigChunked = big;
  bigChunked.chunked = true;
  server.Route("/big-chunked", bigChunked);

  struct Case {
    std::string url, ifModifiedSince;
    FetchKind kind;
    long status;
    std::string errorStart;
  };
  const Case cases[] = {
      {server.Url("/feed"), r.lastModified, FetchKind::NotModified, 304, "HTTP/1.1 304"},
      {server.Url("/moved"), r.lastModified, FetchKind::NotModified, 304, "HTTP/1.1 304"},
      {server.Url("/moved-to-slow"), "", FetchKind::Timeout, 0, "Fetch timed out after 0.2 s"},
      {server.Url("/broken"), "", FetchKind::Status, 500, "HTTP/1.1 500"},
      {server.Url("/nothing-here"), "", FetchKind::Status, 404, "HTTP/1.1 404"},
      {server.Url("/slow"), "", FetchKind::Timeout, 0, "Fetch timed out after 0.2 s"},
      {server.Url("/big"), "", FetchKind::TooLarge, 0, "Response too large"},
      {server.Url("/big-chunked"), "", FetchKind::TooLarge, 0, "Response too large"},
      {"http://127.0.0.1:1/x", "", FetchKind::Transport, 0, ""},
      {"file:///etc/hostname", "", FetchKind::NotAllowedScheme, 0, ""},
      {"ftp://127.0.0.1:1/x", "", FetchKind::NotAllowedScheme, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    FetchOptions options;  // a short time-out only where it is the point: big bodies take long
    if (c.kind == FetchKind::Timeout) options.readTimeout = std::chrono::milliseconds(200);
    FetchResponse got = HttpGet(c.url, c.ifModifiedSince, options);
    EXPECT_EQ(got.kind, c.kind);
    EXPECT_EQ(got.status, c.status);
    EXPECT_FALSE(got.error.empty());
    EXPECT_EQ(got.error.substr(0, c.errorStart.size()), c.errorStart);
  }
  EXPECT_EQ(server.RequestCount("/feed"), 2u) << "asked for directly and through the redirect";

  FeedRoute fits;
  fits.generatedBytes = 1 << 20;
  server.Route("/fits", fits);
  EXPECT_EQ(HttpGet(server.Url("/fits"), "", {}).body.size(), size_t{1} << 20);
}

// A chain of hops /<name>1 ... /<name>n, each redirecting with the given status to the
// next, the last to target.
void Chain(FeedServer& server, const std::string& name, int hops, int status, const std::string& target) {
  for (int i = 1; i <= hops; ++i)
    server.Redirect("/" + name + std::to_string(i), status,
                    i == hops ? target : server.Url("/" + name + std::to_string(i + 1)));
}

TEST_F(HttpClientTest, RedirectsAreFollowedUpToFiveHopsAndOnlyToHttp) {
  FeedRoute r;
  r.body = "<rss version=\"2.0\"/>";
  r.lastModified = "Tue, 01 Apr 2025 10:00:00 GMT";
  server.Route("/feed", r);
  for (int status : {301, 302, 303, 307, 308})
    server.Redirect("/s" + std::to_string(status), status, server.Url("/feed"));
  server.Redirect("/relative", 301, "/feed?from=relative");
  Chain(server, "five", 5, 302, server.Url("/feed"));
  Chain(server, "six", 6, 302, server.Url("/six-end"));
  server.Route("/six-end", r);
  server.Redirect("/loop", 302, server.Url("/loop"));
  server.Redirect("/ping", 301, server.Url("/pong"));
  server.Redirect("/pong", 308, server.Url("/ping"));
  server.Redirect("/to-file", 301, "file:///etc/hostname");
  server.Redirect("/to-ftp", 302, "ftp://127.0.0.1:1/feed");
  server.Redirect("/to-gopher", 307, "gopher://127.0.0.1:1/");
  server.Redirect("/nowhere", 301, server.Url("/missing"));
  FeedRoute noLocation;
  noLocation.status = 302;
  server.Route("/no-location", noLocation);

  struct Case {
    std::string path;
    FetchKind kind;
    long redirects;
    std::string finalPath;  // where the answer came from; for a failure the message's start
  };
  const Case cases[] = {
      {"/s301", FetchKind::Ok, 1, "/feed"},
      {"/s302", FetchKind::Ok, 1, "/feed"},
      {"/s303", FetchKind::Ok, 1, "/feed"},
      {"/s307", FetchKind::Ok, 1, "/feed"},
      {"/s308", FetchKind::Ok, 1, "/feed"},
      {"/relative", FetchKind::Ok, 1, "/feed?from=relative"},
      {"/five1", FetchKind::Ok, 5, "/feed"},
      {"/feed", FetchKind::Ok, 0, "/feed"},
      {"/six1", FetchKind::TooManyRedirects, 0, "Too many redirects: more than 5"},
      {"/loop", FetchKind::TooManyRedirects, 0, "Redirect loop: " + server.Url("/loop") + " redirects back"},
      {"/ping", FetchKind::TooManyRedirects, 0, "Redirect loop: " + server.Url("/ping") + " redirects back"},
      {"/to-file", FetchKind::NotAllowedScheme, 0,
       "Redirected to an address that is neither http nor https: file:///etc/hostname"},
      {"/to-ftp", FetchKind::NotAllowedScheme, 0,
       "Redirected to an address that is neither http nor https: ftp://127.0.0.1:1/feed"},
      {"/to-gopher", FetchKind::NotAllowedScheme, 0, "Redirected to an address that is neither"},
      {"/nowhere", FetchKind::Status, 0, "HTTP/1.1 404"},
      {"/no-location", FetchKind::Status, 0, "HTTP/1.1 302"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    FetchResponse got = HttpGet(server.Url(c.path), "", {});
    EXPECT_EQ(got.kind, c.kind) << got.error;
    if (c.kind == FetchKind::Ok) {
      EXPECT_EQ(got.body, r.body);
      EXPECT_EQ(got.redirects, c.redirects);
      EXPECT_EQ(got.url, server.Url(c.finalPath));
      EXPECT_EQ(got.lastModified, r.lastModified) << "the last hop's header";
      EXPECT_EQ(got.statusLine.substr(0, 12), "HTTP/1.1 200");
    } else {
      EXPECT_EQ(got.error.substr(0, c.finalPath.size()), c.finalPath);
    }
  }
  EXPECT_EQ(server.RequestCount("/six6"), 1u) << "the fifth hop is taken";
  EXPECT_EQ(server.RequestCount("/six-end"), 0u) << "the sixth is not";
}

TEST_F(HttpClientTest, EveryHopCarriesTheValidatorsAndGoesThroughTheProxy) {
  FeedRoute r;
  r.body = "<rss version=\"2.0\"/>";
  r.lastModified = "Tue, 01 Apr 2025 10:00:00 GMT";
  r.etag = "\"v1\"";
  FeedServer proxy;
  proxy.Route("/new", r);
  proxy.Redirect("/old", 301, server.Url("/new"));
  server.Route("/new", r);

  FetchOptions viaProxy;
  viaProxy.proxy = "127.0.0.1";
  viaProxy.proxyPort = proxy.port();
  FetchResponse got = HttpGet(server.Url("/old"), r.lastModified, viaProxy, "\"v1\"");
  EXPECT_EQ(got.kind, FetchKind::NotModified);
  auto seen = proxy.Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].target, server.Url("/old"));
  EXPECT_EQ(seen[1].target, server.Url("/new"));
  for (const auto& request : seen) {
    EXPECT_EQ(request.Header("If-Modified-Since"), r.lastModified);
    EXPECT_EQ(request.Header("If-None-Match"), "\"v1\"");
    EXPECT_EQ(request.Header("User-Agent"), kUserAgent);
  }
  EXPECT_EQ(server.RequestCount(), 0u) << "no hop went direct";
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
  EXPECT_EQ(HttpGet(server.Url("/gz"), "", {}).body, body);
  EXPECT_EQ(HttpGet(server.Url("/df"), "", {}).body, body);
  for (const char* coding : {"gzip", "deflate"})
    EXPECT_NE(server.Requests()[0].Header("Accept-Encoding").find(coding), std::string::npos) << coding;
}

// Publishers ask readers for no cookies and no referrers: a cookie a server sets is never
// sent back, on the next request or on a redirect's hop, and no hop names the last.
TEST_F(HttpClientTest, NoCookieAndNoRefererGoOutEvenWhenAServerSetsOne) {
  FeedRoute tasty;
  tasty.body = "<rss version=\"2.0\"><channel><title>t</title></channel></rss>";
  tasty.headers = {{"Set-Cookie", "session=abc; Path=/"}};
  server.Route("/feed", tasty);
  server.Redirect("/moved", 302, server.Url("/feed"));
  ASSERT_EQ(HttpGet(server.Url("/feed"), "", {}).kind, FetchKind::Ok);
  ASSERT_EQ(HttpGet(server.Url("/moved"), "", {}).kind, FetchKind::Ok);
  ASSERT_EQ(server.Requests().size(), 3u);
  for (const auto& request : server.Requests()) {
    EXPECT_FALSE(request.HasHeader("Cookie"));
    EXPECT_FALSE(request.HasHeader("Referer"));
  }
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

  auto get = [](const std::string& url) { HttpGet(url, "", FetchOptionsFor(url, GetSettings())); };
  // Holds "localhost" in its query: direct.
  get(server.Url("/direct?from=localhost"));
  // Holds the host's own address: direct.
  get(server.Url("/direct?via=10.255.255.1"));
  // Anything else: through the proxy, with the absolute URL as target.
  get(server.Url("/proxied"));

  EXPECT_EQ(server.RequestCount("/direct"), 2u);
  ASSERT_EQ(proxy.RequestCount(), 1u);
  EXPECT_EQ(proxy.Requests()[0].target, server.Url("/proxied"));
  EXPECT_EQ(server.RequestCount("/proxied"), 0u);

  // With no local address known, only "localhost" keeps a URL direct.
  UpdateSettings([](Settings& s) { s.LocalAddress.clear(); });
  Settings s = GetSettings();
  EXPECT_TRUE(UsesProxy("http://10.255.255.1/x", s));
  EXPECT_FALSE(UsesProxy("http://localhost:4565/htr.xml", s));
  s.READTIMEOUT = 1234;
  FetchOptions viaProxy = FetchOptionsFor("http://10.255.255.1/x", s);
  EXPECT_EQ(viaProxy.proxy, "127.0.0.1");
  EXPECT_EQ(viaProxy.readTimeout, std::chrono::milliseconds(1234));
  s.PROXYSERVER.clear();  // on, but no proxy named: direct
  EXPECT_EQ(FetchOptionsFor("http://10.255.255.1/x", s).proxy, "");
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
  try {
    z.GET(server.Url("/missing"));
    FAIL() << "a 404 must raise";
  } catch (const HttpError& e) {
    EXPECT_EQ(e.kind(), FetchKind::Status);
    EXPECT_EQ(e.status(), 404);
  }
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
        if (HttpGet(server.Url("/p"), "", {}).body == r.body) ++ok;
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(ok.load(), 18);
  EXPECT_GT(server.MaxInFlight(), 1);
}

}  // namespace
}  // namespace norvane
