#include "htr/htr_route.h"

#include <string>

#include "core/params.h"
#include "htr/rdms.h"
#include "http/user_agent.h"

namespace norvane {

void HtrRoute(RouteContext& ctx, HttpResponse& res) {
  const std::string name = ParamValue(ctx.params, "u");
  if (!ScriptNameStaysInside(name)) {
    res.status = 404;
    return;
  }
  const bool own = ctx.request.Header("User-Agent") == kUserAgent;
  const std::string ifModifiedSince = ctx.request.Header("If-Modified-Since");

  TRDMS::Result result;
  {
    TRDMS gateway(name, own ? ifModifiedSince : std::string());
    result = gateway.Run();
  }

  // The page is fetched and the script run every time; only the answer can be short.
  if (!result.lastModified.empty() && ifModifiedSince == result.lastModified) {
    res.status = 304;
    return;
  }
  if (own && !result.lastModified.empty()) res.headers.emplace_back("Last-Modified", result.lastModified);
  TServer::Respond(res, std::move(result.text), "text/XML");
}

}  // namespace norvane
