#pragma once

namespace norvane {

// Makes the program's own functions callable from every stylesheet, in the rg namespace
// (the one of the channel logs' marks):
//   rg:safe-html(string)  the publisher's HTML made safe, as nodes to copy (safe_html.h)
//   rg:safe-markup(string) the same as markup, for disable-output-escaping="yes"; the
//                         results are cached, so a log shown again costs no parse
//   rg:html-text(string)  its text alone, for styles that show plain text
//   rg:iso-date(string)   an ISO 8601 or RFC 822 date as ISO 8601, empty when it is none
// and the element rg:memo, whose output is kept per item (style_memo.h).
// Once per process, before any transformation.
void RegisterStyleFunctions();

// Drops every cached description and kept item markup: for a program no one has read
// for a while, whose next pages are made afresh.
void ClearStyleCaches();

// Drops the cached descriptions and kept item markup that no page asked for since the
// last call. Called as a group refresh begins, so the caches hold what the pages of about
// one refresh showed, not the most their bounds allow; what a page still shows after it
// is made again once.
void AgeStyleCaches();

}  // namespace norvane
