// The router's own share of a request, in process and without the network: one
// rss.html request as a browser sends it (Host, Sec-Fetch-*), routed to a builder that
// does nothing, so what is left is access control, parameter normalisation and the
// answer's headers. rss_page_bench gives the whole page for comparison.
#include <benchmark/benchmark.h>

#include "core/settings.h"
#include "gateway/server.h"

namespace norvane {
namespace {

HttpRequest BrowserRequest(const std::string& target, const std::string& host) {
  return MakeHttpRequest("127.0.0.1", "GET", "HTTP/1.1", target,
                         {{"Host", host},
                          {"User-Agent", "Mozilla/5.0 (X11; Linux x86_64) Chrome/120.0 Safari/537.36"},
                          {"Accept", "text/html,application/xhtml+xml"},
                          {"Sec-Fetch-Site", "same-origin"},
                          {"Sec-Fetch-Mode", "navigate"},
                          {"Sec-Fetch-Dest", "document"},
                          {"Accept-Language", "ja,en;q=0.8"}},
                         "");
}

void Route(benchmark::State& state, const std::string& target) {
  ResetSettings();
  TServer server;
  server.SetRoute("rss.html", [](RouteContext&, HttpResponse& res) { TServer::Respond(res, "page", "text/html"); });
  server.SetRoute("add.html", [](RouteContext&, HttpResponse& res) { TServer::Respond(res, "page", "text/html"); });
  const HttpRequest req = BrowserRequest(target, "127.0.0.1:4565");
  for (auto _ : state) {
    HttpResponse res;
    server.CommandGet(req, res);
    benchmark::DoNotOptimize(res.body.data());
  }
}

void BM_RouteFeedPage(benchmark::State& state) {
  Route(state, "/rss.html?u=http://127.0.0.1:8080/feeds/news.rdf/&r=on");
}
BENCHMARK(BM_RouteFeedPage);

void BM_RouteAddition(benchmark::State& state) {
  Route(state, "/add.html?u=http://127.0.0.1:8080/feeds/news.rdf/&opml=sample.opml");
}
BENCHMARK(BM_RouteAddition);

}  // namespace
}  // namespace norvane

BENCHMARK_MAIN();
