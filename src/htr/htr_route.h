#pragma once
#include "gateway/server.h"

namespace norvane {

// The router's script gateway (htr.xml): runs the descriptor named by `u` and answers
// its feed as "text/XML". The program's own fetcher (recognised by its exact user
// agent) gets the page's Last-Modified back; any request whose If-Modified-Since equals
// that non-empty stamp gets 304 without a body, after the script has run. A name that
// leaves the scripts folder answers 404; a missing or incomplete descriptor raises, which
// the engine answers with 500 and the message.
void HtrRoute(RouteContext& ctx, HttpResponse& res);

}  // namespace norvane
