#pragma once
#include <string>

#include "feeds/rss2.h"
#include "feeds/rxml.h"

namespace norvane {

// The items of a feed just fetched, made fit for the merge (which pairs items by link)
// and for pages served from the gateway's own address:
// - relative addresses become absolute: the item's link, a permalink guid, enclosure
//   urls, and href and src attributes inside the description and content:encoded
//   (HTML, parsed only when it holds such an attribute). They resolve against xml:base
//   where one is in scope, else the channel link (when it is a web address), else
//   feedUrl, the address the feed came from;
// - an item without a link takes its guid as the link when the guid is a permalink
//   (isPermaLink absent or "true") and an http or https address.
// Addresses that are absolute already stay exactly as they came. Never throws.
void PrepareArrivedItems(TRXML& doc, const FeedPaths& paths, const std::string& feedUrl);

}  // namespace norvane
