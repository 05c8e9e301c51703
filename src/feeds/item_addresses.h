#pragma once
#include <string>

#include "feeds/rss2.h"
#include "feeds/rxml.h"

namespace norvane {

// The items of a feed just fetched, made fit for the merge, which pairs items by link:
// an item without a link takes its guid as the link when the guid is a permalink
// (isPermaLink absent or "true") and an http or https address. Never throws.
void PrepareArrivedItems(TRXML& doc, const FeedPaths& paths, const std::string& feedUrl);

}  // namespace norvane
