#pragma once
#include <string>
#include <string_view>

namespace norvane {

// The address the quick search's 表示 opens: "http://localhost:<port>/search?u=" + the
// engine title + "/&w=" + the phrase, each as it is, so far as that reaches the router
// unchanged:
// - the phrase, which the router decodes, has percent-encoded (as UTF-8, what browsers
//   send) every byte a URL may not hold and '%', '&', '+' and '/' (the router cuts `u`
//   at the last '/');
// - a title the router can take from the raw query (URL-safe ASCII without '%') goes in
//   unchanged. Any other title (a space, Japanese) would reach the raw query
//   percent-encoded by the browser and match no engine, so the address then asks the
//   router for the decoded `u` ("ue=on") and carries the title's Shift_JIS bytes
//   encoded: "/search?ue=on&u=%83...&w=...".
// engine is Shift_JIS (the catalogue's), phrase UTF-8 (the window's). Empty when the
// phrase is empty: nothing opens.
std::string QuickSearchUrl(int port, std::string_view engine, std::string_view phrase);

}  // namespace norvane
