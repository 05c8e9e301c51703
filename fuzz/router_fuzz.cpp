// The router on hostile requests: one byte chooses the route and GET or a POSTed form;
// the rest is the raw query (and body). The split, the decoding, the keyword conversion
// and the `u` rule must hold up under the sanitizers.
#include <cstdint>
#include <string>
#include <string_view>

#include "gateway/server.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static norvane::TServer* server = [] {
    auto* s = new norvane::TServer();  // never listens; kept for the whole run
    for (const char* route : {"rss.html", "search", "filter", "scrap.xml"})
      s->SetRoute(route, [](norvane::RouteContext& ctx, norvane::HttpResponse& res) {
        for (const std::string& p : ctx.params) res.body += p + "\n";
      });
    return s;
  }();
  std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  norvane::HttpRequest req;
  req.clientAddress = "127.0.0.1";
  req.version = "HTTP/1.1";
  const char* paths[] = {"/rss.html", "/search", "/filter", "/scrap.xml"};
  req.path = paths[data[0] % 4];
  if (data[0] & 4) {
    req.method = "POST";
    req.headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
    size_t amp = input.find('#');
    req.body = std::string(input.substr(0, amp));
    if (amp != std::string_view::npos) req.rawQuery = std::string(input.substr(amp + 1));
  } else {
    req.method = "GET";
    req.rawQuery = std::string(input);
  }
  req.rawTarget = req.path + (req.rawQuery.empty() ? "" : "?" + req.rawQuery);
  norvane::HttpResponse res;
  server->CommandGet(req, res);
  return 0;
}
