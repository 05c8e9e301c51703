#pragma once
#include <span>
#include <string_view>

#include "core/params.h"
#include "core/route_names.h"

namespace norvane {

// What a request to a route may change, and so which write checks it passes.
enum class RouteWrites {
  Nothing,
  Remembers,  // a setting of the user's (gp.html keeps the last group shown)
  Files,      // a group file or any other file: the form token where a page asks
};

// Which requests a route answers.
enum class RouteMatch {
  Name,         // the root-level name, without regard to ASCII letter case
  StyleSheets,  // any path holding ".css": a file of the current style
};

// One route of the gateway. The router answers a request with the first route of the
// table that matches it; a request no route takes is a file of www/.
struct RouteSpec {
  std::string_view name;
  RouteMatch match = RouteMatch::Name;
  RouteWrites writes = RouteWrites::Nothing;
  // With writes: whether this request writes; nullptr for every request.
  bool (*writesWhen)(const ParamList&) = nullptr;
  // Web mode (PORT 80) passes the request on to www/ instead.
  bool refusedInWebMode = false;
  // Of the answer a builder gives with TServer::Respond(ctx, ...).
  std::string_view contentType = "text/html";
};

// add.html and add.xml write only when they have both a URL and a group (the last shown
// one with last=on).
bool AddsAFeed(const ParamList& params);
// health.html writes when it is asked to do something (do=move, remove or retry).
bool ActsOnAFeed(const ParamList& params);
// keep writes only when it names an item to keep or to drop.
bool KeepsAnItem(const ParamList& params);

// Every route, in the order of precedence. A new route is one entry here and one
// handler given to TServer::SetRoute.
inline constexpr RouteSpec kRouteTable[] = {
    {.name = routes::kRssHtml},
    {.name = routes::kAddXml, .writes = RouteWrites::Files, .writesWhen = AddsAFeed, .contentType = "text/XML"},
    {.name = routes::kAddHtml, .writes = RouteWrites::Files, .writesWhen = AddsAFeed},
    {.name = routes::kGpHtml, .writes = RouteWrites::Remembers},
    {.name = routes::kChHtml},
    {.name = "*.css", .match = RouteMatch::StyleSheets, .contentType = ""},  // by the file's name
    {.name = routes::kOpmlXml, .contentType = "text/XML"},
    {.name = routes::kExportOpml, .contentType = "text/x-opml; charset=UTF-8"},
    // Every request: its page is the upload form, and a POST imports.
    {.name = routes::kImportHtml, .writes = RouteWrites::Files},
    {.name = routes::kSearch},
    {.name = routes::kScrapXml, .contentType = "text/XML"},
    {.name = routes::kFilter},
    {.name = routes::kHtrXml, .refusedInWebMode = true, .contentType = "text/XML"},
    {.name = routes::kHealthHtml, .writes = RouteWrites::Files, .writesWhen = ActsOnAFeed},
    {.name = routes::kFindHtml},
    {.name = routes::kFindXml, .contentType = "text/XML"},
    {.name = routes::kKeep, .writes = RouteWrites::Files, .writesWhen = KeepsAnItem},
    {.name = routes::kIcon, .contentType = ""},  // by the kept icon's bytes
};

// The entry of a root-level name (any letter case); nullptr when none has it.
const RouteSpec* FindRoute(std::string_view name);

}  // namespace norvane
