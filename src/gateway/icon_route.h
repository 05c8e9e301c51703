#pragma once
#include "feeds/icon_store.h"
#include "gateway/server.h"

namespace norvane {

// The icon route: u names a site as IconRoute writes it ("icon?u=https://example.com/").
// Answers the kept icon with the media type of its bytes and a day's Cache-Control; 400
// for a u that is not a site's address, 404 when no icon is kept. Only ever reads what
// the icons folder holds: the site itself is never asked, so the browser never reaches it.
void AnswerIcon(const RouteContext& ctx, HttpResponse& res, const IconStore& icons);

}  // namespace norvane
