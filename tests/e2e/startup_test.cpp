#include <arpa/inet.h>
#include <cstdio>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <regex>
#include <sys/socket.h>
#include <unistd.h>

#include "support/feed_server.h"
#include "support/norvane_process.h"

namespace norvane::test {
namespace {

TEST(Startup, ServesTheHomePageAndEndsInOrderOnSignals) {
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    NorvaneProcess app(true, {{"LASTOPML", "sample.opml"}});
    ASSERT_TRUE(app.Start()) << app.StderrText();
    auto r = app.Get("/");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.Header("Server"), "Norvane/0.9");
    EXPECT_NE(r.body.find("<html"), std::string::npos);
    // Every folder the program writes into, though the shipped folder has only some.
    for (const char* folder : {"channels", "opmls", "scrap"})
      EXPECT_TRUE(app.home().Exists(folder)) << folder;
    EXPECT_EQ(app.Stop(sig), 0) << "signal " << sig << ": " << app.StderrText();
    // The last group is written back at the end; nothing else is added.
    std::string ini = app.home().Read("norvane.ini");
    EXPECT_NE(ini.find("LASTOPML=sample.opml"), std::string::npos);
    EXPECT_EQ(ini.find("READTIMEOUT"), std::string::npos);
  }
}

TEST(Startup, OutsideClientsNeedTheCredentialsFromTheEnvironment) {
  NorvaneProcess open;
  ASSERT_TRUE(open.Start());
  EXPECT_EQ(open.Get("/", {.fromAddress = "127.0.0.2"}).status, 403);
  EXPECT_EQ(open.Get("/").status, 200);
  open.Stop();

  NorvaneProcess guarded;
  ASSERT_TRUE(guarded.Start({}, {{"NORVANE_WEB_USER", "reader"}, {"NORVANE_WEB_PASSWORD", "pw"}}));
  EXPECT_EQ(guarded.Get("/", {.fromAddress = "127.0.0.2"}).status, 401);
  EXPECT_EQ(guarded.Get("/", {.fromAddress = "127.0.0.2", .user = "reader", .password = "pw"}).status,
            200);
  // Never stored.
  guarded.Stop();
  EXPECT_EQ(guarded.home().Read("norvane.ini").find("reader"), std::string::npos);
}

TEST(Startup, ASecondCopyForwardsItsUrlToTheFirstAndEnds) {
  NorvaneProcess app(true, {{"OPEN", "1"}});
  ASSERT_TRUE(app.Start({"http://example.com/first.rdf"}));
  std::string prefix = "http://localhost:" + std::to_string(app.port()) + "/";
  // The first copy's own pages come once it listens.
  ASSERT_EQ(app.WaitForBrowserLog(2).size(), 2u);

  std::string err;
  EXPECT_EQ(app.RunSecondCopy({"http://example.com/feed?a=1&b=2"}, &err), 0) << err;
  EXPECT_EQ(app.RunSecondCopy({}, &err), 0) << err;  // nothing to forward, nothing seen

  auto log = app.BrowserLog();
  ASSERT_EQ(log.size(), 3u) << ::testing::PrintToString(log);
  EXPECT_EQ(log[0], prefix);  // the home page first, then the add page
  EXPECT_EQ(log[1], prefix + "add.html?u=http://example.com/first.rdf/");
  EXPECT_EQ(log[2], prefix + "add.html?u=http://example.com/feed?a=1&b=2/");
  EXPECT_EQ(app.Get("/").status, 200);  // the first copy still runs
  EXPECT_EQ(app.Stop(), 0);
}

TEST(Startup, APortInUseEndsTheStartWithAMessageNamingIt) {
  NorvaneProcess app;
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  a.sin_port = htons(static_cast<uint16_t>(app.port()));
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(fd, 1), 0);
  ASSERT_TRUE(app.Start({}, {}, false));
  EXPECT_EQ(app.Wait(), 1);
  std::string err = app.StderrText();
  EXPECT_NE(err.find(std::to_string(app.port())), std::string::npos) << err;
  EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
  close(fd);
}

TEST(Startup, AMissingSearchCatalogueEndsTheStartWithItsMessage) {
  NorvaneProcess app;
  std::remove((app.home().path() + "/search.xml").c_str());
  ASSERT_TRUE(app.Start({}, {}, false));
  EXPECT_EQ(app.Wait(), 1);
  std::string err = app.StderrText();
  EXPECT_NE(err.find("ファイル search.xml は開けません"), std::string::npos) << err;
}

TEST(Startup, FailuresLeaveOneTraceLineEachOnlyInTheAreasNorvaneTraceNames) {
  // Nothing listens on port 1: the first fetch fails, the feed page says so, and the
  // merge area records where.
  const struct {
    const char* value;  // nullptr: unset
    bool traced;
  } cases[] = {{nullptr, false}, {"1", true}, {"merge", true}, {"fetch, merge", true},
               {"script,patrol", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "(unset)");
    NorvaneProcess app;
    ASSERT_TRUE(app.Start({}, c.value ? std::map<std::string, std::string>{{"NORVANE_TRACE", c.value}}
                                      : std::map<std::string, std::string>{}));
    EXPECT_EQ(app.Get("/rss.html?u=http://127.0.0.1:1/feed/").status, 200);
    EXPECT_EQ(app.Stop(), 0);
    std::string err = app.StderrText();
    size_t at = err.find("norvane trace ");
    if (!c.traced) {
      EXPECT_EQ(err.find(" merge TRSS::"), std::string::npos) << err;
      continue;
    }
    at = err.find(" merge TRSS::");
    ASSERT_NE(at, std::string::npos) << err;
    at = err.rfind("norvane trace ", at);
    std::string line = err.substr(at, err.find('\n', at) - at);
    // The time, the thread, the area and the place the call was written in, on one line.
    const std::regex form(R"(^norvane trace \d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z )"
                          R"(thread \d+ merge TRSS::\w+ \(rss\.cpp:\d+\) Exception: .+$)");
    EXPECT_TRUE(std::regex_search(line, form)) << line;
    // How the fetch failed, in the same line.
    EXPECT_NE(line.find("(http://127.0.0.1:1/feed: transport: "), std::string::npos) << line;
  }
}

// A reload that brings no feed still shows the stored items; the trace says why.
TEST(Startup, AReloadThatBringsNoFeedSaysWhyInTheTrace) {
  test::FeedServer feeds;
  feeds.Serve("/feed", "<rss version=\"2.0\"><channel><title>C</title><item><title>A</title>"
                       "<link>http://e/a</link></item></channel></rss>");
  const std::string url = feeds.Url("/feed");
  NorvaneProcess app;
  ASSERT_TRUE(app.Start({}, {{"NORVANE_TRACE", "fetch"}}));
  EXPECT_EQ(app.Get("/rss.html?u=" + url + "/").status, 200);
  test::FeedRoute gone;
  gone.status = 404;
  gone.body = "gone";
  feeds.Route("/feed", gone);
  EXPECT_EQ(app.Get("/rss.html?u=" + url + "/&r=on").status, 200);
  EXPECT_EQ(app.Stop(), 0);
  const std::string err = app.StderrText();
  const size_t at = err.find(" fetch TRSS::ReloadRss (rss.cpp:");
  ASSERT_NE(at, std::string::npos) << err;
  EXPECT_NE(err.find(") http-status: " + url + ": http-status 404: HTTP/1.1 404 Not Found\n", at),
            std::string::npos)
      << err;
}

TEST(Startup, HelpPrintsTheUsage) {
  NorvaneProcess app(false);
  ASSERT_TRUE(app.Start({"--help"}, {}, false));
  EXPECT_EQ(app.Wait(), 0);
  std::string out = app.StdoutText();
  EXPECT_EQ(out.rfind("usage: norvane [--headless] [--home DIR] [URL]\n", 0), 0u) << out;
  for (const char* word : {"--home DIR", "NORVANE_WEB_USER", "NORVANE_BROWSER", "NORVANE_TRACE"})
    EXPECT_NE(out.find(word), std::string::npos) << word << " in " << out;
  EXPECT_EQ(app.StderrText(), "");
  EXPECT_FALSE(app.home().Exists("channels")) << "help starts nothing";
}

}  // namespace
}  // namespace norvane::test
