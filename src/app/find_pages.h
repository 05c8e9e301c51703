#pragma once
#include <string>
#include <vector>

#include "core/params.h"
#include "gateway/server.h"

namespace norvane {

class ArchiveIndexer;
class Keeper;
class TGP;
class TRSerch;

// What the search and keep pages use of the data module.
struct FindServices {
  ArchiveIndexer& indexer;
  Keeper& keeper;
  const TRSerch& lender;  // the synonyms
  TGP& groups;
};

// The feed URLs of a group file's outlines, completed as a group refresh completes them;
// empty when the file cannot be read.
std::vector<std::string> GroupFeedUrls(const std::string& file);

// find.html (html) and find.xml: w the phrase, p the page, u a group file to narrow to.
// The page is the style's rss.xsl over the search's document (BuildFindDocument), its
// items with their keep buttons; the feed is that document itself. A phrase that is
// too long is answered 400, with the page saying so.
void AnswerFind(RouteContext& ctx, HttpResponse& res, bool html, FindServices& services);

// keep: a POST with keep=<digest> <feed URL> or drop=<digest>, b a book (the kept book
// when none), back where to return. A request without the form token, or not a POST,
// changes nothing and shows the form to confirm. With js=on the answer is a small XML
// document for the page's script (<keep state="kept"/> and the like); without, a keep
// that went well returns to back (a page of the gateway), anything else is a short page.
void AnswerKeep(RouteContext& ctx, HttpResponse& res, Keeper& keeper);

}  // namespace norvane
