// The routes, the parameters and the admission of outside clients, asked in process.
#include <gtest/gtest.h>

#include "core/settings.h"
#include "core/sjis.h"
#include "gateway/router_home.h"

namespace norvane {
namespace {

using Router = test::RouterHome;

TEST_F(Router, ServesStaticFilesStylesAndGroups) {
  auto root = Get("/");
  EXPECT_EQ(root.status, 200);
  EXPECT_EQ(root.body, "<p>home</p>");
  EXPECT_EQ(root.Header("Content-Type"), "text/html");

  EXPECT_EQ(Get("/sub/").body, "<p>sub</p>");
  EXPECT_EQ(Get("/a.txt").Header("Content-Type"), "text/plain");
  EXPECT_EQ(Get("/missing.txt").status, 404);

  auto css = Get("/style.css");
  EXPECT_EQ(css.body, "body{}");
  EXPECT_EQ(css.Header("Content-Type"), "text/css");
  EXPECT_EQ(Get("/sub/deep.css").body, "p{}");  // keeps the sub-folder under the style

  // A style built on Default reaches Default's sheets as "/Default/<file>"; its own come
  // first, and a plain name never leaves the style.
  home_.Write("xsls/Built/style.css", "@import url(\"/Default/style.css\");");
  UpdateSettings([](Settings& s) { s.XSL_STYLE = "Built"; });
  EXPECT_EQ(Get("/style.css").body, "@import url(\"/Default/style.css\");");
  EXPECT_EQ(Get("/Default/style.css").body, "body{}");
  EXPECT_EQ(Get("/Default/style.css").Header("Content-Type"), "text/css");
  EXPECT_EQ(Get("/Default/sub/deep.css").body, "p{}");
  EXPECT_EQ(Get("/sub/deep.css").status, 404);
  EXPECT_EQ(Get("/Default/missing.css").status, 404);
  UpdateSettings([](Settings& s) { s.XSL_STYLE = "Default"; });

  auto opml = Get("/OPML.XML?u=g.opml/");  // routes ignore letter case
  EXPECT_EQ(opml.status, 200);
  EXPECT_EQ(opml.body, "<opml/>");
  EXPECT_EQ(opml.Header("Content-Type"), "text/XML");
  EXPECT_EQ(Get("/opml.xml?u=g.opml/anything").body, "<opml/>");  // cut at the last "/"
  EXPECT_EQ(Get("/opml.xml?u=g.opml").status, 404);               // no "/": no u

  EXPECT_EQ(Get("/a.txt", {.method = "HEAD"}).status, 200);

  EXPECT_EQ(Get("/RSS.HTML").body, "built");
  EXPECT_EQ(route_, "rss.html");
  EXPECT_EQ(Get("/sub/rss.html").status, 404);  // only root-level names are routes
}

TEST_F(Router, PathsAndGroupNamesThatLeaveTheirFolderAnswer404) {
  for (const char* target :
       {"/../secret.txt", "/%2e%2e/secret.txt", "/%252e%252e/secret.txt", "/sub/../../secret.txt",
        "/opml.xml?u=../secret.txt/", "/opml.xml?u=/etc/passwd/", "/..%2fsecret.txt",
        "/../../xsls/Default/style.css", "/a.txt%00.html"}) {
    auto r = Get(target);
    EXPECT_EQ(r.status, 404) << target;
    EXPECT_EQ(r.body.find("secret"), std::string::npos) << target;
  }
}

TEST_F(Router, TheRawQueryGivesUExactlyAsSent) {
  Get("/rss.html?u=http://example.com/feed?x=1&y=2/");
  EXPECT_TRUE(Has("u=http://example.com/feed?x=1&y=2"));
  EXPECT_TRUE(Has("y=2/"));  // the piece the split made stays as an entry

  Get("/rss.html?u=http://example.com/dir/feed.xml");
  EXPECT_TRUE(Has("u=http://example.com/dir"));

  Get("/rss.html?u=http%3A%2F%2Fexample.com%2Ff.xml&ue=on");
  EXPECT_TRUE(Has("u=http://example.com/f.xml"));

  Get("/gp.html?r=on");  // no "/" at all: the cut text is empty
  EXPECT_EQ(route_, "gp.html");
  EXPECT_EQ(ParamValue(params_, "u"), "");

  UpdateSettings([](Settings& s) { s.LocalAddress = "192.0.2.9"; });
  Get("/rss.html?u=scrap.xml?u=news/");
  EXPECT_TRUE(Has("u=http://192.0.2.9:" + std::to_string(port_) + "/scrap.xml?u=news"));
}

// The shipped forms send _charset_, filled in by the browser with the code it used.
TEST_F(Router, WIsDecodedByTheCharsetTheFormReports) {
  struct Case {
    const char* query;
    std::string w;
  } cases[] = {
      // Half-width ﾃｽ in Shift_JIS is well-formed UTF-8 (ý): only _charset_ tells.
      {"w=%C3%BD&_charset_=Shift_JIS", "\xC3\xBD"},
      {"_charset_=shift_jis&w=%C3%BD", "\xC3\xBD"},
      {"w=%C3%BD&_charset_=UTF-8", "?"},
      {"w=%C3%BD", "?"},  // without it, today's guess
      {"w=%E6%A4%9C%E7%B4%A2&_charset_=UTF-8", "\x8C\x9F\x8D\xF5"},
      {"w=%B8%A1%BA%F7&_charset_=EUC-JP", "\x8C\x9F\x8D\xF5"},
      {"w=%1B%24B8%21%3Aw%1B%28B&_charset_=ISO-2022-JP", "\x8C\x9F\x8D\xF5"},
      {"w=caf%E9+%80&_charset_=windows-1252", "caf? ?"},
      {"w=a%0Ab&_charset_=Shift_JIS", "a\r\nb"},
      {"w=%C3%BD&_charset_=x-no-such-code", "?"},  // an unknown name: the guess
      {"w=%C3%BD&_charset_=..%2F..%2Fetc", "?"},
  };
  for (const Case& c : cases) {
    Get(std::string("/filter?") + c.query);
    EXPECT_EQ(ParamValue(params_, "w"), c.w) << c.query;
  }
  Get("/search", {.method = "POST", .body = "_charset_=Shift_JIS&w=%C3%BD"});
  EXPECT_EQ(ParamValue(params_, "w"), "\xC3\xBD");
}

TEST_F(Router, WBecomesShiftJisAndFormBodiesJoinTheList) {
  // "検索" sent as percent-encoded UTF-8, as a browser does.
  Get("/filter?w=%E6%A4%9C%E7%B4%A2&r=on");
  EXPECT_TRUE(Has("w=\x8C\x9F\x8D\xF5")) << ::testing::PrintToString(params_);
  EXPECT_TRUE(Has("r=on"));

  Get("/filter?w=");
  EXPECT_EQ(ParamIndex(params_, "w"), -1);  // an empty w is removed

  // One Japanese character from a browser: three bytes of UTF-8, too short for the
  // code detector, still arrive as Shift_JIS.
  Get("/filter?w=%E6%9C%AC");
  EXPECT_TRUE(Has("w=\x96\x7B")) << ::testing::PrintToString(params_);
  Get("/filter?w=%96%7B");  // already Shift_JIS: unchanged
  EXPECT_TRUE(Has("w=\x96\x7B"));

  Get("/search?sel=new", {.method = "POST", .body = "w=a+b&d=off"});
  ASSERT_GE(params_.size(), 3u);
  EXPECT_EQ(params_[0], "w=a b");
  EXPECT_EQ(params_[1], "d=off");
  EXPECT_EQ(params_[2], "sel=new");
}

TEST_F(Router, HtrIsAScriptRouteExceptInWebMode) {
  EXPECT_EQ(Get("/htr.xml?u=x/").body, "built");
  UpdateSettings([](Settings& s) { s.PORT = 80; });
  EXPECT_EQ(Get("/htr.xml?u=x/").body, "<static/>");
}

TEST_F(Router, OutsideClientsAreLoggedThenRefusedOrAskedForCredentials) {
  EXPECT_EQ(Get("/a.txt").status, 200);  // 127.0.0.1 is local
  auto refused = Get("/a.txt?q=1", {.fromAddress = "127.0.0.2"});
  EXPECT_EQ(refused.status, 403);

  OpenWebMode("me", "Secret");
  EXPECT_EQ(Get("/a.txt", {.fromAddress = "127.0.0.2"}).status, 401);  // the challenge: router_engine_test
  EXPECT_EQ(Get("/a.txt", {.fromAddress = "127.0.0.2", .user = "me", .password = "secret"}).status,
            401);  // exact, case-sensitive
  auto ok = Get("/a.txt", {.fromAddress = "127.0.0.2", .user = "me", .password = "Secret"});
  EXPECT_EQ(ok.status, 200);
  EXPECT_EQ(ok.body, "plain");

  // The host's own address counts as local too.
  UpdateSettings([](Settings& s) { s.LocalAddress = "127.0.0.3"; });
  EXPECT_EQ(Get("/a.txt", {.fromAddress = "127.0.0.3"}).status, 200);

  auto log = server_.accessLog().Snapshot();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(SjisToUtf8(log[0]), "外部からのアクセスログ");
  EXPECT_EQ(log[1], "GET /a.txt?q=1 HTTP/1.1 : 127.0.0.2");
  EXPECT_EQ(log[4], "GET /a.txt HTTP/1.1 : 127.0.0.2");
}

}  // namespace
}  // namespace norvane
