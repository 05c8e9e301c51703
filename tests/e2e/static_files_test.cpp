// Static files, style sheets and group files carry validators, and a browser that holds
// them is answered 304 without the body; pages made per request carry none.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include "support/norvane_process.h"

namespace norvane::test {
namespace {

// Dates a file an hour back, as a file that has lain unchanged for a while.
void AgeFile(const std::string& path) {
  timespec times[2];
  times[0].tv_sec = times[1].tv_sec = std::time(nullptr) - 3600;
  times[0].tv_nsec = times[1].tv_nsec = 0;
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

FetchOptions With(const std::string& header, const std::string& method = "GET") {
  FetchOptions o;
  o.method = method;
  o.headers.push_back(header);
  return o;
}

TEST(StaticFiles, EveryStaticRouteSendsValidatorsAndAnswers304) {
  NorvaneProcess app;
  struct Route {
    const char* target;
    const char* file;  // in the home
    const char* type;
  };
  const Route routes[] = {
      {"/norvane.js", "www/norvane.js", "text/javascript"},
      {"/", "www/index.html", "text/html"},
      {"/favicon.ico", "www/favicon.ico", "image/x-icon"},
      {"/norvane.svg", "www/norvane.svg", "image/svg+xml"},
      {"/norvane.css", "xsls/Default/norvane.css", "text/css"},
      {"/opml.xml?u=sample.opml/", "opmls/sample.opml", "text/XML"},
  };
  for (const Route& r : routes) AgeFile(app.home() / r.file);
  ASSERT_TRUE(app.Start()) << app.StderrText();

  for (const Route& r : routes) {
    SCOPED_TRACE(r.target);
    FetchResult full = app.Get(r.target);
    ASSERT_EQ(full.status, 200);
    EXPECT_EQ(full.Header("Content-Type"), r.type);
    EXPECT_EQ(full.body, app.home().Read(r.file));
    const std::string tag = full.Header("ETag");
    const std::string date = full.Header("Last-Modified");
    EXPECT_EQ(tag.size(), 18u) << tag;
    EXPECT_FALSE(date.empty());
    EXPECT_EQ(full.Header("Cache-Control"), "no-cache");

    // What a browser sends back, and what the program's own fetcher sends.
    for (const FetchOptions& held : {With("If-None-Match: " + tag), With("If-Modified-Since: " + date),
                                     With("If-None-Match: " + tag, "HEAD")}) {
      FetchResult again = app.Get(r.target, held);
      EXPECT_EQ(again.status, 304) << held.headers[0];
      EXPECT_EQ(again.body, "");
      EXPECT_EQ(again.Header("ETag"), tag);
      EXPECT_EQ(again.Header("Last-Modified"), date);
    }
    // A stale tag decides over the right date: the file is sent.
    FetchOptions stale = With("If-None-Match: \"0000000000000000\"");
    stale.headers.push_back("If-Modified-Since: " + date);
    EXPECT_EQ(app.Get(r.target, stale).status, 200);
  }

  // A changed file is sent whole again, under a new tag. Just written, it has no date yet.
  FetchResult before = app.Get("/norvane.js");
  app.home().Write("www/norvane.js", "// changed\n");
  FetchResult changed = app.Get("/norvane.js", With("If-None-Match: " + before.Header("ETag")));
  EXPECT_EQ(changed.status, 200);
  EXPECT_EQ(changed.body, "// changed\n");
  EXPECT_NE(changed.Header("ETag"), before.Header("ETag"));
  EXPECT_EQ(app.Get("/norvane.js", With("If-Modified-Since: " + before.Header("Last-Modified"))).status, 200);

  // A page made per request is never answered from a stored copy.
  FetchResult page = app.Get("/gp.html?u=sample.opml/");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.Header("ETag"), "");
  EXPECT_EQ(app.Get("/gp.html?u=sample.opml/", With("If-None-Match: *")).status, 200);
  EXPECT_EQ(app.Stop(), 0);
}

}  // namespace
}  // namespace norvane::test
