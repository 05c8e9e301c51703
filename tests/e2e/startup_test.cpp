#include <arpa/inet.h>
#include <cstdio>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <regex>
#include <sys/socket.h>
#include <unistd.h>

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

TEST(Startup, FailuresLeaveOneTraceLineEachOnlyWithNorvaneTrace) {
  for (bool traced : {false, true}) {
    SCOPED_TRACE(traced);
    NorvaneProcess app;
    ASSERT_TRUE(app.Start({}, traced ? std::map<std::string, std::string>{{"NORVANE_TRACE", "1"}}
                                     : std::map<std::string, std::string>{}));
    // Nothing listens on port 1: the first fetch fails and the feed page says so.
    EXPECT_EQ(app.Get("/rss.html?u=http://127.0.0.1:1/feed/").status, 200);
    EXPECT_EQ(app.Stop(), 0);
    std::string err = app.StderrText();
    size_t at = err.find("norvane trace ");
    if (!traced) {
      EXPECT_EQ(at, std::string::npos) << err;
      continue;
    }
    ASSERT_NE(at, std::string::npos) << err;
    std::string line = err.substr(at, err.find('\n', at) - at);
    // The time, the thread and the place, on one line.
    const std::regex form(R"(^norvane trace \d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z )"
                          R"(thread \d+ TRSS\.Excute Exception: .+$)");
    EXPECT_TRUE(std::regex_search(line, form)) << line;
  }
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
