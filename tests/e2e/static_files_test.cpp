// Static files, style sheets and group files carry validators, and a browser that holds
// them is answered 304 without the body; pages made per request carry none.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <set>

#include <nlohmann/json.hpp>

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
      {"/manifest.webmanifest", "www/manifest.webmanifest", "application/manifest+json"},
      {"/icon-512.png", "www/icon-512.png", "image/png"},
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

// The width and height a PNG file's header gives; zero when it is no PNG.
std::pair<unsigned, unsigned> PngBytesSize(const std::string& bytes) {
  if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0)
    return {0, 0};
  auto at = [&](size_t i) {
    return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])) << 24 |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 16 |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 2])) << 8 |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 3]));
  };
  return {at(16), at(20)};
}

TEST(StaticFiles, TheAppManifestNamesItsIconsAndStartsAtTheLastGroup) {
  NorvaneProcess app;
  app.home().Write("opmls/second.opml", "<opml version=\"1.0\"><head><title>Second group</title></head><body/></opml>");
  ASSERT_TRUE(app.Start()) << app.StderrText();
  FetchResult got = app.Get("/manifest.webmanifest");
  ASSERT_EQ(got.status, 200);
  const nlohmann::json manifest = nlohmann::json::parse(got.body);
  EXPECT_EQ(manifest.at("display"), "standalone");
  std::set<std::string> sizes;
  for (const auto& icon : manifest.at("icons")) {
    FetchResult png = app.Get(icon.at("src").get<std::string>());
    EXPECT_EQ(png.Header("Content-Type"), "image/png");
    const auto [w, h] = PngBytesSize(png.body);
    EXPECT_EQ(std::to_string(w) + "x" + std::to_string(h), icon.at("sizes").get<std::string>());
    sizes.insert(icon.at("sizes").get<std::string>());
  }
  EXPECT_EQ(sizes, (std::set<std::string>{"192x192", "512x512"}));
  // The app opens on the group shown last, as launched from a home screen.
  const std::string start = manifest.at("start_url");
  EXPECT_EQ(app.Get("/gp.html?u=second.opml/").status, 200);
  FetchResult opened = app.Get(start, With("Sec-Fetch-Site: none"));
  EXPECT_EQ(opened.status, 200);
  EXPECT_NE(opened.body.find("Second group"), std::string::npos);
  EXPECT_NE(opened.body.find("rel=\"manifest\""), std::string::npos);
  EXPECT_EQ(app.Stop(), 0);
}

}  // namespace
}  // namespace norvane::test
