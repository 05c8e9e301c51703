#pragma once
// A real TServer listening on a free port, with a small program folder as the current
// directory and a recording builder on the builder routes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <mutex>
#include <stdexcept>
#include <string>

#include "core/settings.h"
#include "gateway/server.h"
#include "support/held_port.h"
#include "support/http_fetch.h"
#include "support/temp_dir.h"

namespace norvane::test {

class RouterHome : public ::testing::Test {
 protected:
  void SetUp() override {
    home_.Write("www/index.html", "<p>home</p>");
    home_.Write("www/sub/index.html", "<p>sub</p>");
    home_.Write("www/a.txt", "plain");
    home_.Write("www/htr.xml", "<static/>");
    home_.Write("xsls/Default/style.css", "body{}");
    home_.Write("xsls/Default/sub/deep.css", "p{}");
    home_.Write("opmls/g.opml", "<opml/>");
    home_.Write("secret.txt", "secret");
    ASSERT_EQ(getcwd(oldCwd_, sizeof oldCwd_), oldCwd_);
    ASSERT_EQ(chdir(home_.path().c_str()), 0);
    ResetSettings();
    port_ = heldPort_.port();
    UpdateSettings([&](Settings& s) {
      s.PORT = port_;
      s.LocalAddress = "";
    });
    // Every builder route of the table records what reached it; the router serves the
    // style sheets and group files itself.
    for (const RouteSpec& spec : kRouteTable) {
      if (spec.match != RouteMatch::Name || spec.name == routes::kOpmlXml) continue;
      const std::string r(spec.name);
      server_.SetRoute(r, [this, r](RouteContext& ctx, HttpResponse& res) {
        {
          std::lock_guard lock(seen_);
          route_ = r;
          params_ = ctx.params;
          editsAllowed_ = ctx.editsAllowed;
        }
        // lm= asks for a header of the builder's own, as the script gateway sends one.
        std::string lm = ParamValue(ctx.params, "lm");
        if (!lm.empty()) res.headers.emplace_back("Last-Modified", lm);
        TServer::Respond(res, "built", "text/html");
      });
    }
    // A builder that raises.
    server_.SetRoute("scrap.xml", [](RouteContext& ctx, HttpResponse&) {
      throw std::runtime_error("<b>" + ParamValue(ctx.params, "u") + "</b>");
    });
    server_.Restart();
  }
  void TearDown() override {
    server_.Stop();
    ResetSettings();
    ASSERT_EQ(chdir(oldCwd_), 0);
  }
  test::FetchResult Get(const std::string& target, const test::FetchOptions& o = {}) {
    return test::Fetch("http://127.0.0.1:" + std::to_string(port_) + target, o);
  }
  bool Has(const std::string& line) const {
    for (const auto& p : params_)
      if (p == line) return true;
    return false;
  }
  // The route the last request reached (empty: none), and forgets it.
  std::string TakeRoute() {
    std::lock_guard lock(seen_);
    std::string r = route_;
    route_.clear();
    return r;
  }
  bool EditsAllowed() {
    std::lock_guard lock(seen_);
    return editsAllowed_;
  }

  test::TempDir home_;
  char oldCwd_[4096];
  test::HeldPort heldPort_;
  int port_ = 0;
  TServer server_;
  std::mutex seen_;
  std::string route_;
  ParamList params_;
  bool editsAllowed_ = true;
};

}  // namespace norvane::test
