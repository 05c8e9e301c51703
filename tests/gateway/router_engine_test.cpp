// The router on a port of its own: what the engine adds to every answer the router makes,
// how much of it outside clients may hold, and a port that cannot be taken. Everything
// else about routing is asked in process (router_test, router_security_test).
#include <gtest/gtest.h>

#include <vector>

#include "core/settings.h"
#include "gateway/router_home.h"
#include "support/bounded_wait.h"
#include "support/raw_socket.h"

namespace norvane {
namespace {

using OnItsPort = test::RouterHome;

TEST_F(OnItsPort, EveryAnswerCarriesTheServerHeaderAndForbidsSniffingAndForeignCode) {
  Listen();
  OpenWebMode("me", "Secret");
  const std::vector<std::pair<std::string, test::FetchOptions>> answers = {
      {"/", {}},                                                 // a static file
      {"/a.txt", {.method = "HEAD"}},                            // its head only
      {"/missing.txt", {}},                                      // 404
      {"/rss.html?u=x/", {}},                                    // a page
      {"/rss.html?u=x/", {.method = "PUT"}},                     // 405
      {"/gp.html", {.headers = {"Sec-Fetch-Site: cross-site"}}}, // 403
      {"/a.txt", {.headers = {"Host: evil.example"}}},           // 403
      {"/a.txt", {.fromAddress = "127.0.0.2"}},                  // 401
  };
  for (const auto& [target, options] : answers) {
    auto r = Fetch(target, options);
    EXPECT_EQ(r.Header("Server"), "Norvane/0.9") << target << " " << r.status;
    EXPECT_EQ(r.Header("X-Content-Type-Options"), "nosniff") << target << " " << r.status;
    const std::string csp = r.Header("Content-Security-Policy");
    for (const char* part : {"script-src 'self'", "frame-ancestors 'self'", "base-uri 'none'", "form-action 'self'"})
      EXPECT_NE(csp.find(part), std::string::npos) << target << " " << r.status << ": " << part;
  }
  EXPECT_EQ(Fetch("/").body, "<p>home</p>");
  EXPECT_EQ(Fetch("/").Header("Content-Type"), "text/html");
  auto head = Fetch("/a.txt", {.method = "HEAD"});
  EXPECT_EQ(head.status, 200);
  EXPECT_TRUE(head.body.empty());
  EXPECT_EQ(Fetch("/a.txt", {.fromAddress = "127.0.0.2"}).Header("WWW-Authenticate"), "Basic realm=\"Norvane\"");
  EXPECT_EQ(Fetch("/a.txt", {.fromAddress = "127.0.0.2", .user = "me", .password = "Secret"}).body, "plain");
  // A builder that raises: 500 with its message as plain text, still not to be sniffed.
  auto failed = Fetch("/scrap.xml?u=x/");
  EXPECT_EQ(failed.status, 500);
  EXPECT_EQ(failed.body, "<b>x</b>");
  EXPECT_EQ(failed.Header("Content-Type"), "text/plain");
  EXPECT_EQ(failed.Header("X-Content-Type-Options"), "nosniff");
  // Header values lose their control characters: percent-encoded CR LF, a bare CR, a
  // TAB and DEL in a value a builder sends.
  auto r = Fetch("/rss.html?ue=on&lm=Tue,%2001%0D%0AX-Injected:%20yes%0Dz%09%7F!");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.Header("Last-Modified"), "Tue, 01X-Injected: yesz!");
  EXPECT_EQ(r.Header("X-Injected"), "");
}

TEST_F(OnItsPort, HalfOpenRequestsFromOneAddressLeaveRoomForEveryoneElse) {
  Listen();
  // More connections from one outside address than it may hold, none finishing its header.
  std::vector<test::RawConnection> open;
  for (int i = 0; i < 20; ++i) {
    test::RawConnection c(port_, "127.0.0.2");
    if (c.valid() && c.Send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n")) open.push_back(std::move(c));
  }
  // Until the engine has taken (and refused) them all.
  size_t kept = open.size();
  test::Within(std::chrono::seconds(5), [&] {
    kept = 0;
    for (auto& c : open) kept += c.ClosedByServer(0) ? 0 : 1;
    return kept <= ConnectionLimits{}.perOutsideAddress;
  });
  EXPECT_EQ(kept, ConnectionLimits{}.perOutsideAddress);
  auto local = Fetch("/a.txt", {.timeoutMs = 3000});
  EXPECT_EQ(local.status, 200) << local.error;
  EXPECT_EQ(Fetch("/a.txt", {.fromAddress = "127.0.0.3", .timeoutMs = 3000}).status, 403);
}

TEST_F(OnItsPort, RestartOnAPortInUseFailsWithAMessageNamingIt) {
  Listen();
  TServer other;
  try {
    other.Restart();
    ADD_FAILURE() << "listening on a port in use succeeded";
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find(std::to_string(port_)), std::string::npos);
  }
}

}  // namespace
}  // namespace norvane
