#include "gateway/route_table.h"

#include "core/url_helpers.h"

namespace norvane {

bool AddsAFeed(const ParamList& params) {
  const bool group = !ParamValue(params, "opml").empty() || ParamValue(params, "last") == "on";
  return !ParamValue(params, "u").empty() && group;
}

bool ActsOnAFeed(const ParamList& params) { return !ParamValue(params, "do").empty(); }
bool KeepsAnItem(const ParamList& params) {
  return !ParamValue(params, "keep").empty() || !ParamValue(params, "drop").empty();
}

const RouteSpec* FindRoute(std::string_view name) {
  const std::string lower = AsciiLower(std::string(name));
  for (const RouteSpec& spec : kRouteTable)
    if (spec.match == RouteMatch::Name && spec.name == lower) return &spec;
  return nullptr;
}

}  // namespace norvane
