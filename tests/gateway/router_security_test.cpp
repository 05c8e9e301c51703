// What the router refuses, and how: foreign Host names, methods it does not route,
// changes asked for from elsewhere, malformed credentials, links out of a folder, and
// how a request's target is bounded in the log; asked in process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

#include "core/access_log.h"
#include "core/form_token.h"
#include "core/sjis.h"
#include "core/texts.h"
#include "gateway/router_home.h"

namespace norvane {
namespace {

using Security = test::RouterHome;

std::string HostName() {
  char h[256] = {};
  gethostname(h, sizeof h - 1);
  return h;
}

TEST_F(Security, LocalClientsMustNameThisMachineInTheirHost) {
  const std::string port = ":" + std::to_string(port_);
  UpdateSettings([](Settings& s) { s.LocalAddress = "192.0.2.9"; });
  for (const std::string& host :
       {"127.0.0.1" + port, std::string("127.0.0.1"), "localhost" + port, std::string("LocalHost."),
        "[::1]" + port, "127.0.1.1" + port, "192.0.2.9" + port, HostName() + port}) {
    auto r = Get("/rss.html?u=x/", {.headers = {"Host: " + host}});
    EXPECT_EQ(r.status, 200) << host;
    EXPECT_EQ(TakeRoute(), "rss.html") << host;
  }
  for (const std::string& host :
       {"evil.example" + port, std::string("evil.example"), "localhost.evil.example" + port,
        "127.0.0.1.nip.example" + port, "[::1" + port, std::string("localhost:http"), "localhost" + port + ":1",
        "192.0.2.10" + port}) {
    auto r = Get("/rss.html?u=x/", {.headers = {"Host: " + host}});
    EXPECT_EQ(r.status, 403) << host;
    EXPECT_NE(r.body.find(T().refusedHost), std::string::npos) << host;
    EXPECT_EQ(TakeRoute(), "") << host;
    EXPECT_EQ(Get("/a.txt", {.headers = {"Host: " + host}}).status, 403) << "static files too: " << host;
  }
  // Web mode: an outside client with the right credentials may use any name.
  OpenWebMode("me", "Secret");
  EXPECT_EQ(Get("/a.txt", {.fromAddress = "127.0.0.2", .user = "me", .password = "Secret",
                           .headers = {"Host: feeds.example.org"}})
                .status,
            200);
}

TEST_F(Security, OnlyGetHeadAndPostReachTheRouter) {
  for (const char* method : {"PUT", "DELETE", "OPTIONS", "PATCH", "PROPFIND"}) {
    auto r = Get("/rss.html?u=http://127.0.0.1:9/feed/&r=on", {.method = method, .body = "x"});
    EXPECT_EQ(r.status, 405) << method;
    EXPECT_EQ(r.Header("Allow"), "GET, HEAD, POST") << method;
    EXPECT_EQ(TakeRoute(), "") << method << " reached the builder";
  }
  for (const char* method : {"GET", "HEAD", "POST"}) {
    EXPECT_EQ(Get("/rss.html?u=x/", {.method = method}).status, 200) << method;
    EXPECT_EQ(TakeRoute(), "rss.html") << method;
  }
  // From another machine the request is listed and refused before its method matters.
  EXPECT_EQ(Get("/a.txt", {.method = "PUT", .fromAddress = "127.0.0.2"}).status, 403);
  EXPECT_EQ(server_.accessLog().Snapshot().back(), "PUT /a.txt HTTP/1.1 : 127.0.0.2");
}

struct ChangeCase {
  const char* what;
  std::string target;
  std::vector<std::string> headers;
  long status;        // expected answer
  bool editsAllowed;  // with 200 from an add route: whether it may write
};

TEST_F(Security, ChangesMustComeFromTheGatewaysOwnPages) {
  const std::string add = "/add.html?u=http://127.0.0.1:9/f.rdf/&opml=g.opml";
  const std::string token = "&token=" + FormToken();
  const std::string self = "Origin: http://127.0.0.1:" + std::to_string(port_);
  const std::vector<std::string> page = {"Sec-Fetch-Site: same-origin", "Sec-Fetch-Dest: document"};
  auto with = [](std::vector<std::string> h, const std::string& more) {
    h.push_back(more);
    return h;
  };
  const std::vector<ChangeCase> cases = {
      {"curl, no metadata", add, {}, 200, true},
      {"typed or bookmarked", add, {"Sec-Fetch-Site: none", "Sec-Fetch-Dest: document"}, 200, true},
      {"own page, no token", add, page, 200, false},
      {"own page, wrong token", add + "&token=0123", page, 200, false},
      {"own page, the form's token", add + token, page, 200, true},
      {"own frame, no token", add, {"Sec-Fetch-Site: same-origin", "Sec-Fetch-Dest: iframe"}, 200, false},
      {"own page, fetch with token", add + token, {"Sec-Fetch-Site: same-origin", "Sec-Fetch-Dest: empty"}, 200, true},
      {"own page, same origin stated", add + token, with(page, self), 200, true},
      {"image in an item", add + token, {"Sec-Fetch-Site: same-origin", "Sec-Fetch-Dest: image"}, 403, false},
      {"style sheet", add, {"Sec-Fetch-Site: same-origin", "Sec-Fetch-Dest: style"}, 403, false},
      {"script", add, {"Sec-Fetch-Site: same-origin", "Sec-Fetch-Dest: script"}, 403, false},
      {"another site's link", add + token, {"Sec-Fetch-Site: cross-site", "Sec-Fetch-Dest: document"}, 403, false},
      {"a sibling site", add, {"Sec-Fetch-Site: same-site", "Sec-Fetch-Dest: document"}, 403, false},
      {"foreign origin", add + token, {"Origin: http://evil.example"}, 403, false},
      {"opaque origin", add + token, with(page, "Origin: null"), 403, false},
      {"add.xml from an image", "/add.xml?u=http://127.0.0.1:9/f.rdf/&opml=g.opml",
       {"Sec-Fetch-Site: same-origin", "Sec-Fetch-Dest: image"}, 403, false},
      {"add.xml from a page", "/add.xml?u=http://127.0.0.1:9/f.rdf/&opml=g.opml", page, 200, false},
      {"last group, no token", "/add.html?u=http://127.0.0.1:9/f.rdf/&last=on", page, 200, false},
      // Nothing to write: the form is open to any site and any kind of request.
      {"the form from another site", "/add.html?u=http://127.0.0.1:9/f.rdf/",
       {"Sec-Fetch-Site: cross-site", "Sec-Fetch-Dest: image"}, 200, true},
      // Reading pages, refreshes included, stays open.
      {"feed refresh from another site", "/rss.html?u=http://127.0.0.1:9/f.rdf/&r=on",
       {"Sec-Fetch-Site: cross-site", "Sec-Fetch-Dest: image"}, 200, true},
      {"group refresh from another site", "/ch.html?u=g.opml/&r=on", {"Sec-Fetch-Site: cross-site"}, 200, true},
      // The group page remembers the last group: only the first check.
      {"group page from another site", "/gp.html?u=g.opml/", {"Sec-Fetch-Site: cross-site", "Sec-Fetch-Dest: document"}, 403, false},
      {"group page as an image", "/gp.html", {"Sec-Fetch-Site: same-origin", "Sec-Fetch-Dest: image"}, 403, false},
      {"group page from its own link", "/gp.html?u=g.opml/", page, 200, true},
  };
  for (const ChangeCase& c : cases) {
    auto r = Get(c.target, {.headers = c.headers});
    EXPECT_EQ(r.status, c.status) << c.what;
    if (c.status == 403) {
      EXPECT_NE(r.body.find(T().refusedForeign), std::string::npos) << c.what;
      EXPECT_EQ(TakeRoute(), "") << c.what;
    } else {
      EXPECT_NE(TakeRoute(), "") << c.what;
      EXPECT_EQ(editsAllowed_, c.editsAllowed) << c.what;
    }
  }
}

TEST_F(Security, FromOtherMachinesOnlyTheTokenOrATypedAddressMayEdit) {
  // A browser sends no fetch metadata to a plain-http address that is not this machine,
  // so there its absence proves nothing.
  OpenWebMode("me", "Secret");
  const std::string add = "/add.html?u=http://127.0.0.1:9/f.rdf/&opml=g.opml";
  test::FetchOptions outside{.fromAddress = "127.0.0.2", .user = "me", .password = "Secret"};
  EXPECT_EQ(Get(add, outside).status, 200);
  EXPECT_FALSE(editsAllowed_);
  EXPECT_EQ(Get(add + "&token=" + FormToken(), outside).status, 200);
  EXPECT_TRUE(editsAllowed_);
  outside.headers = {"Sec-Fetch-Site: none"};
  EXPECT_EQ(Get(add, outside).status, 200);
  EXPECT_TRUE(editsAllowed_);
}

TEST_F(Security, MalformedBasicCredentialsAreWrongCredentials) {
  OpenWebMode("me", "Secre");
  struct Case {
    const char* header;
    long status;
  };
  for (const Case& c : std::vector<Case>{
           {"Basic bWU6U2VjcmU=", 200},
           {"basic bWU6U2VjcmU=", 200},     // the scheme's letter case is free
           {"Basic bWU6U2VjcmU", 401},      // padding missing
           {"Basic bWU6U2Vj*cmU=", 401},    // a stray character
           {"Basic bWU6 U2VjcmU=", 401},    // a space inside
           {"Basic bWU6U2VjcmU=x", 401},    // something after the padding
           {"Basic bWU=6U2VjcmU", 401},     // padding in the middle
           {"Basic bWU6U2VjcmV=", 401},     // stray bits in the last digit
           {"Basic bWU6U2VjcmU===", 401},
           {"Basic", 401},
           {"Basic ", 401},
           {"Basicb WU6U2VjcmU=", 401},
           {"Bearer bWU6U2VjcmU=", 401},
       }) {
    auto r = Get("/a.txt", {.fromAddress = "127.0.0.2", .headers = {std::string("Authorization: ") + c.header}});
    EXPECT_EQ(r.status, c.status) << c.header;
  }
}

TEST_F(Security, LinksThatLeadOutOfTheirFolderAreNotServed) {
  home_.Write("elsewhere/g.opml", "<opml>outside</opml>");
  ASSERT_EQ(symlink("../secret.txt", "www/pw.txt"), 0);
  ASSERT_EQ(symlink("a.txt", "www/same.txt"), 0);
  ASSERT_EQ(symlink("../elsewhere", "www/linked"), 0);
  ASSERT_EQ(symlink("../../secret.txt", "xsls/Default/leak.css"), 0);
  ASSERT_EQ(symlink("style.css", "xsls/Default/alias.css"), 0);
  ASSERT_EQ(symlink("../secret.txt", "opmls/leak.opml"), 0);
  for (const char* target : {"/pw.txt", "/linked/g.opml", "/leak.css", "/opml.xml?u=leak.opml/"}) {
    auto r = Get(target);
    EXPECT_EQ(r.status, 404) << target;
    EXPECT_EQ(r.body.find("secret"), std::string::npos) << target;
    EXPECT_EQ(r.body.find("outside"), std::string::npos) << target;
  }
  EXPECT_EQ(Get("/same.txt").body, "plain");  // a link that stays inside is fine
  EXPECT_EQ(Get("/alias.css").body, "body{}");
  // The folder itself may be a link.
  ASSERT_EQ(rename("www", "www-real"), 0);
  ASSERT_EQ(symlink("www-real", "www"), 0);
  EXPECT_EQ(Get("/a.txt").body, "plain");
  EXPECT_EQ(Get("/pw.txt").status, 404);
}

TEST_F(Security, OutsideRequestsWithHugeTargetsTakeOneBoundedLine) {
  const std::string target = "/a.txt?q=" + std::string(6000, 'x');
  EXPECT_EQ(Get(target, {.fromAddress = "127.0.0.2"}).status, 403);
  const std::string line = server_.accessLog().Snapshot().back();
  EXPECT_EQ(line.size(), AccessLog::kMaxLineBytes);
  EXPECT_EQ(line.rfind("GET /a.txt?q=xxx", 0), 0u);
  EXPECT_EQ(line.substr(line.size() - 15), "... : 127.0.0.2");
}

}  // namespace
}  // namespace norvane
