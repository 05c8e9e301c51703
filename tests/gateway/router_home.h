#pragma once
// A TServer over a small program folder (the current directory), with a recording builder
// on the builder routes. Requests go to the router in process; Listen() puts it on a
// port for the tests of what the engine adds.

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "core/settings.h"
#include "gateway/server.h"
#include "support/held_port.h"
#include "support/http_fetch.h"
#include "support/program_home.h"
#include "support/routed_request.h"

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
    // Every builder route of the table records what reached it; the router serves the
    // style sheets and group files itself.
    for (const RouteSpec& spec : kRouteTable) {
      if (spec.match != RouteMatch::Name || spec.name == routes::kOpmlXml) continue;
      const std::string r(spec.name);
      server_.SetRoute(r, [this, r](RouteContext& ctx, HttpResponse& res) {
        route_ = r;
        params_ = ctx.params;
        editsAllowed_ = ctx.editsAllowed;
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
  }
  // The router's answer to a request from curl, in process.
  FetchResult Get(const std::string& target, const FetchOptions& o = {}) {
    return Route(server_, target, o);
  }
  // Puts the server on a port of its own; Fetch then asks it over the network.
  void Listen() {
    heldPort_ = std::make_unique<HeldPort>();
    port_ = heldPort_->port();
    UpdateSettings([&](Settings& s) { s.PORT = port_; });
    server_.Restart();
  }
  FetchResult Fetch(const std::string& target, const FetchOptions& o = {}) {
    return test::Fetch("http://127.0.0.1:" + std::to_string(port_) + target, o);
  }
  // Lets outside clients in with these credentials.
  static void OpenWebMode(const std::string& user, const std::string& password) {
    UpdateSettings([&](Settings& s) {
      s.WebUserName = user;
      s.WebPassWord = password;
    });
  }
  bool Has(const std::string& line) const {
    for (const auto& p : params_)
      if (p == line) return true;
    return false;
  }
  // The route the last request reached (empty: none), and forgets it.
  std::string TakeRoute() { return std::exchange(route_, std::string()); }

  ProgramHome home_;
  std::unique_ptr<HeldPort> heldPort_;
  int port_ = 4565;  // what the settings say; nothing listens unless Listen()
  std::string route_;
  ParamList params_;
  bool editsAllowed_ = true;
  TServer server_;  // last: stopped before what its builders write into is freed
};

}  // namespace norvane::test
