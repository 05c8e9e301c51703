#pragma once
#include <libxml/tree.h>

#include <memory>
#include <string>

#include "feeds/rss.h"
#include "pattern/rserch.h"

namespace norvane {

class Tword;
class TScrapSerch;

// The channel whose items a feeder offers.
struct RSSINFO {
  std::string Title;  // the channel's title
  std::string Url;    // the channel's feed URL
  std::string Spare;  // kept for the record's shape; nothing sets or reads it
};

// Offers the new items of one channel to the scrapbooks. One per channel-log run.
//
// Locking: the matcher and the books are used only under GateLock(); AddIfMatch and
// ScrapItem take it themselves (it is reentrant, so a caller may already hold it).
class TScrap {
 public:
  // Borrows the synonym dictionary of lender (the data module's shared matcher), under
  // GateLock. The lender's dictionary is shared, so the two may go in any order.
  explicit TScrap(const TRSerch& lender);

  RSSINFO Source;
  TRSerch Matcher;
  bool Enabled = false;  // false until SetSource

  // Records the channel. Items of the program's own scrapbook and search feeds
  // ("scrap.xml" and "find.xml" on localhost or the local address) are never scrapped;
  // those of other hosts are.
  void SetSource(const RSSINFO& info);

  // Copies item into book, newest first, when its title or else its description
  // matches the book's keywords (a book without keywords takes nothing). item may belong
  // to any document; it is only read.
  void AddIfMatch(xmlNodePtr item, Tword& book);

  // AddIfMatch for every book of books, in order, all under one hold of GateLock.
  void ScrapItem(xmlNodePtr item, TScrapSerch& books);
};

// The feeder of one channel-log run (FeedContext::makeScrapper): the channel's items go
// to every book of books. books and lender must outlive it (the data module's).
std::unique_ptr<ItemScrapper> MakeBookScrapper(TScrapSerch& books, const TRSerch& lender);

}  // namespace norvane
