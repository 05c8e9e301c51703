#pragma once
#include <cstdint>
#include <string>
#include <unordered_set>

#include "feeds/rxml.h"

namespace norvane {

class TChList;
class TScrapSerch;
class Tword;

// Keeping items: copying one from its channel log (or a scrapbook) into a scrapbook,
// DOM to DOM, and dropping it again. The kept book, "保存した記事" unless another book is
// named, is a scrapbook without keywords, made on the first keep; the feeds never add to
// it and it is never trimmed. An item already in the book is not kept twice.
//
// Locking: books are read and changed under GateLock, which each call takes; a log is
// read under its ChannelLogLock. The book file is written before the call returns
// (atomically); a book that cannot be written gets its item back out, and the call fails.
class Keeper {
 public:
  Keeper(TScrapSerch& books, TChList& channels) : books_(books), channels_(channels) {}

  struct Outcome {
    enum class Kind {
      Kept,         // copied into the book
      AlreadyKept,  // the book holds it: nothing changed
      Dropped,      // taken out of the book
      NotKept,      // the book does not hold it: nothing changed
      NoItem,       // the feed, or the item in it, is not there (any more)
      NoBook,       // no scrapbook of that name
      Failed,       // the book could not be written: nothing changed
    };
    Kind kind = Kind::NoItem;
    std::string book;     // its name, Shift_JIS
    std::string message;  // Failed: why (Shift_JIS)
  };

  // The default book's name (Shift_JIS).
  static std::string KeptBookName();

  // Keeps the item of digest (ItemDigest) found in the feed feedUrl: a channel log, or the
  // program's own scrap.xml address of a book. An empty book names the kept book.
  Outcome Keep(const std::string& feedUrl, uint64_t digest, std::string book = {});
  // Drops the item of digest from the book.
  Outcome Drop(uint64_t digest, std::string book = {});

  // Gives every item of a page's document an rg:keep element with what its keep button
  // needs, so a stylesheet reads nothing but the item for it: u (its feed), k (its
  // digest) and kept ("1" when the kept book holds it); and the root an rg:token with the
  // form token, for the page's one keep form, and rg:books, an rg:book per scrapbook an
  // item may be kept in (the kept book first). itemsPath selects the items; with feedUrl
  // empty an item's own source element names its feed.
  void MarkItems(TRXML& doc, const std::string& itemsPath, const std::string& feedUrl);

 private:
  // Under GateLock: the kept digests of the kept book, brought up to date.
  const std::unordered_set<uint64_t>& KeptDigests();
  Tword* FindOrMakeBook(const std::string& name, Outcome& outcome);

  TScrapSerch& books_;
  TChList& channels_;
  // The kept book's digests, and the book and item count they were taken from.
  std::unordered_set<uint64_t> kept_;
  const void* keptOf_ = nullptr;
  size_t keptCount_ = static_cast<size_t>(-1);
};

}  // namespace norvane
