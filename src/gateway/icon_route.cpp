#include "gateway/icon_route.h"

#include "feeds/feed_discovery.h"

namespace norvane {

namespace {

void Refuse(HttpResponse& res, int status, std::string text) {
  res.status = status;
  res.contentType = "text/plain; charset=UTF-8";
  res.body = std::move(text);
}

}  // namespace

void AnswerIcon(const RouteContext& ctx, HttpResponse& res, const IconStore& icons) {
  std::string u = ParamValue(ctx.params, "u");
  if (u.ends_with('/')) u.pop_back();  // as a typed address may still carry it
  const std::string site = SiteOf(u);
  // Only a site's address exactly as the pages write it: a path, a query or another
  // spelling names nothing kept.
  if (site.empty() || site != u) return Refuse(res, 400, "Not a site address.\n");
  const std::optional<KeptIcon> icon = icons.Kept(site);
  if (!icon) return Refuse(res, 404, "No icon is kept for this site.\n");
  res.status = 200;
  res.contentType = std::string(IconContentType(icon->format));
  res.body = icon->bytes;
  // Kept for a month at most; the browser asks the gateway again after a day.
  res.headers.emplace_back("Cache-Control", "private, max-age=86400");
}

}  // namespace norvane
