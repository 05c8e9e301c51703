#pragma once
#include <libxml/tree.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "feeds/chlist.h"
#include "feeds/feed_health.h"
#include "feeds/fetch_outcome.h"
#include "feeds/rss2.h"
#include "feeds/rxml.h"

namespace norvane {

class TRSerch;

// One feed request.
struct RPARAMS {
  std::string URL;
  bool Reload = false;
  std::string Keyword;
  std::string Sel;
  bool ShowDescription = true;
  bool Scrap = true;
};

// Where a channel's new items go: the scrapbooks. Told the channel first, then offered
// every new item (a detached copy the receiver may keep or drop).
class ItemScrapper {
 public:
  virtual ~ItemScrapper() = default;
  virtual void SetSource(const std::string& title, const std::string& url) = 0;
  virtual void ScrapItem(xmlNodePtr item) = 0;
};

// What a feed request shares with the rest of the program.
struct FeedContext {
  TChList& channels;
  // Makes the scrapbook feeder of one request; none: nothing is scrapped.
  std::function<std::unique_ptr<ItemScrapper>()> makeScrapper;
  // Lends the synonyms to the keyword filter; none: the fuzzy table alone.
  const TRSerch* dictionaryLender = nullptr;
  // Who asks: which waits a refresh keeps (feed_health.h).
  FetchAsker asker = FetchAsker::Person;
  // The first wait of the patrol after a failure: one patrol interval.
  std::chrono::seconds backoffBase{600};
  // Told the program path of each channel log written (the archive's index); it must
  // not wait. None: nobody is told.
  std::function<void(const std::string& logPath)> logSaved = {};
  // Adds to the answer of a request, after its filters, what its page needs beside the
  // log (the items' keep controls): the answer, its version and the feed URL.
  std::function<void(TRXML& answer, const std::string& version, const std::string& url)> markAnswer = {};
};

// The channel log of one feed, for one request: reads the stored log, or fetches the
// feed for the first time, or fetches it again and merges it in; writes the log when it
// changed; answers with the request's filters applied.
class TRSS : public TRXML {
 public:
  TRSS(const RPARAMS& params, FeedContext context);

  // The whole request; never throws. The channel document, or the error feed.
  std::string Excute();
  // The same, leaving the answer in this document (for a page made from it without a
  // text round trip); false when it failed, with the error feed in FailureFeed().
  bool Run();
  const std::string& FailureFeed() const { return failure_; }
  // After a Run that succeeded: the answer as text, or the error feed when it cannot be
  // written out. Never throws.
  std::string AnswerText() const;
  // Whether the answer is the stored log as parsed, so its marks are namespaced elements a
  // stylesheet matches. Marks stamped on a fetch are elements named as written ("rg:log")
  // that only become namespaced when the text is parsed again.
  bool AnswerIsParsed() const { return parsedAsStored_; }
  // How the fetch of this request ended: none when nothing was fetched (the stored log
  // read as it stands, or a failure before the fetch). After a reload that brought no
  // changed feed it tells why: unchanged, or which failure.
  const std::optional<FetchOutcome>& LastFetch() const { return lastFetch_; }
  // Conditional fetch into this document and stamping of its items; etag goes out as
  // If-None-Match beside the date, and a body whose digest is bodyHash counts as
  // unchanged. True only when LastFetch() is Ok. The outcome goes into the feed's health.
  bool GetRss(const std::string& lastModified, bool scrapAll, const std::string& etag = {},
              const std::string& bodyHash = {});
  // The reload of an existing log: fetch, merge or refresh, save.
  void ReloadRss();
  // Merges the old log into the freshly fetched document (MergeLog, log_merge.h) and
  // hands the items that stay new to the scrapbooks.
  void Merge();
  void ScrapItem(xmlNodePtr item);
  // Writes the log; on failure the channel's stored date and entity tag go back to the
  // previous ones, one line goes to standard error, and the error is rethrown.
  void SaveLog(const std::string& previousLastModified, const std::string& previousETag = {},
               bool previousOwn = false);
  std::string GetRSSVersion() const { return DetectRSSVersion(*this); }

  // The filters, on the answer only.
  void ExtractByDate();
  void RemoveSummary();
  void ExtractByKeyword();

  std::string LogPath;
  RPARAMS Params;
  std::string Version;

 private:
  FeedContext context_;
  std::unique_ptr<ItemScrapper> scrapper_;
  bool FetchAndStamp(const CacheValidators& given, bool scrapAll);
  // Puts the feed's health notice into the answer's channel as an rg:health element,
  // when its last fetch failed or it moved.
  void AddHealthNotice();

  TChItem entry_;
  TRSS2 old_;
  std::string failure_;
  std::optional<FetchOutcome> lastFetch_;
  bool parsedAsStored_ = false;
};

}  // namespace norvane
