#include "feeds/rss.h"

#include <stdexcept>

#include "core/disk_path.h"
#include "core/headless_shell.h"
#include "core/program_files.h"
#include "core/settings.h"
#include "core/texts.h"
#include "core/trace.h"
#include "core/url_helpers.h"
#include "feeds/channel_log_lock.h"
#include "feeds/error_feed.h"
#include "feeds/item_addresses.h"
#include "feeds/log_merge.h"
#include "feeds/rg_namespace.h"
#include "feeds/xml_node.h"

namespace norvane {

TRSS::TRSS(const RPARAMS& params, FeedContext context)
    : Params(params),
      context_(std::move(context)),
      scrapper_(context_.makeScrapper ? context_.makeScrapper() : nullptr),
      entry_(context_.channels, params.URL) {}

std::string TRSS::Excute() {
  if (!Run()) return failure_;
  try {
    std::string text = GetXML();
    if (text.empty()) throw std::runtime_error(T().rssBuildFailed);
    return text;
  } catch (const std::exception& e) {
    WriteErrorLog(TraceArea::Merge, "Exception", e.what());
    return ErrorFeed(ErrorText + "\r\n" + e.what());
  }
}

bool TRSS::Run() {
  try {
    LogPath = files::ChannelLogPath(entry_.GetFileName());
    {
      ChannelLogLock serialise(LogPath);
      if (FileExists(DiskPath(LogPath))) {
        if (Params.Reload) {
          ReloadRss();
        } else {
          LoadOwnFile(LogPath);
          Version = GetRSSVersion();
          parsedAsStored_ = true;
        }
      } else {
        if (!GetRss("", true)) throw std::runtime_error(T().fetchFailed);
        SaveLog("");
      }
    }
    // The log is written; what follows shapes the answer only.
    if (!Params.Sel.empty()) ExtractByDate();
    if (!Params.ShowDescription) RemoveSummary();
    if (!Params.Keyword.empty()) ExtractByKeyword();
    if (!DocumentElement()) throw std::runtime_error(T().rssBuildFailed);
    if (context_.markAnswer && !Version.empty()) {
      try {
        context_.markAnswer(*this, Version, Params.URL);
      } catch (const std::exception& e) {
        WriteErrorLog(TraceArea::Merge, "Exception", e.what());  // the page goes without them
      }
    }
    return true;
  } catch (const std::exception& e) {
    // A first fetch that failed says how in the same trace line.
    std::string traced = e.what();
    if (lastFetch_ && !lastFetch_->ok())
      traced += " (" + Params.URL + ": " + DescribeOutcome(*lastFetch_) + ")";
    WriteErrorLog(TraceArea::Merge, "Exception", traced);
    failure_ = ErrorFeed(ErrorText + "\r\n" + e.what());
    return false;
  }
}

bool TRSS::GetRss(const std::string& lastModified, bool scrapAll, const std::string& etag) {
  lastFetch_ = LoadFromHTTPIfModified(Params.URL, {lastModified, etag});
  FetchOutcome& outcome = *lastFetch_;
  if (!outcome.ok()) {
    if (outcome.kind == FetchOutcomeKind::NotAFeed && DocumentElement()) {
      Version.clear();
      Clear();
    }
    return false;
  }
  std::string date = outcome.validators.lastModified;
  try {
    Version = GetRSSVersion();
    const FeedPaths& paths = PathsForVersion(Version);
    // Before the marks and the merge: items pair by what they hold once they arrived.
    PrepareArrivedItems(*this, paths, outcome.finalUrl);
    try {
      SetAttribute(DocumentElement(), "xmlns:rg", kRgNamespace);
    } catch (...) {
      // A root that takes no declaration still gets its items stamped.
    }
    xmlNodePtr title = SelectSingleNode(paths.title);
    if (!title) {
      // A channel without a title is read with an empty one, where the marks go.
      const std::string titlePath = paths.title;
      xmlNodePtr channel = SelectSingleNode(titlePath.substr(0, titlePath.rfind('/')));
      if (!channel) {
        outcome.kind = FetchOutcomeKind::NotAFeed;
        outcome.detail = "the feed has no channel element";
        return false;
      }
      title = channel->children ? InsertBefore(channel->children, "title", "") : AddChild(channel, "title", "");
    }
    const bool ownDate = date.empty();
    if (ownDate) date = HttpDateNow();
    InsertBefore(title, "rg:revday", date);
    entry_.SetLastModified(date, ownDate);
    entry_.SetETag(outcome.validators.etag);  // none sent clears an older one: it would never match
    InsertBefore(title, "rg:link", Params.URL);
    if (scrapper_) scrapper_->SetSource(NodeText(title), Params.URL);
    for (xmlNodePtr item : StampArrivedItems(*this, paths, date))
      if (scrapAll && Params.Scrap) ScrapItem(CloneNode(item));
    return true;
  } catch (const std::exception& e) {
    WriteErrorLog(TraceArea::Fetch, "Exception", e.what());
    outcome.kind = FetchOutcomeKind::XmlError;
    outcome.detail = e.what();
    return false;
  }
}

void TRSS::SaveLog(const std::string& previousLastModified, const std::string& previousETag,
                   bool previousOwn) {
  try {
    SaveToFile(LogPath);
  } catch (const std::exception& e) {
    // The items were not kept: the next fetch must bring them again, not a 304.
    entry_.SetLastModified(previousLastModified, previousOwn);
    entry_.SetETag(previousETag);
    ConsoleLine(std::string("norvane: ") + e.what());
    throw;
  }
  if (context_.logSaved) context_.logSaved(LogPath);
}

void TRSS::ReloadRss() {
  old_.LoadOwnFile(LogPath);
  const std::string oldVersion = old_.GetRSSVersion();
  Version = oldVersion;
  const std::string lastModified = entry_.GetLastModified();
  const bool ownDate = entry_.LastModifiedIsOwn();
  const std::string etag = entry_.GetETag();
  bool ready = false;
  try {
    // The server is asked only about a date it gave; the ETag goes back as it came.
    if (GetRss(ownDate ? std::string() : lastModified, false, etag)) {
      Merge();
    } else {
      // Nothing new came: the stored items stay, and what was new is now only current.
      // Why is in the trace: a failure the page does not show.
      if (lastFetch_ && lastFetch_->kind == FetchOutcomeKind::Unchanged)
        WriteLog(TraceArea::Fetch, "unchanged: " + Params.URL, 1);
      else if (lastFetch_)
        WriteErrorLog(TraceArea::Fetch, FetchOutcomeKindName(lastFetch_->kind),
                      Params.URL + ": " + DescribeOutcome(*lastFetch_));
      LoadFromXML(old_.GetXML());
      Version = oldVersion;
      if (!Version.empty()) MarkUnchanged(*this, PathsForVersion(Version));
    }
    ready = true;
  } catch (const std::exception& e) {
    WriteErrorLog(TraceArea::Fetch, "Exception", e.what());
  }
  // A log that cannot be written fails the request: the page must not show as kept
  // what is lost with the next fetch.
  if (ready) SaveLog(lastModified, etag, ownDate);
}

void TRSS::Merge() {
  // The merge traces its own failure; the document stays as far as it got.
  const LogMergeResult merged = MergeLog(*this, old_, PathsForVersion(Version), GetSettings().LOG_CNT);
  if (Params.Scrap)
    for (xmlNodePtr item : merged.newItems) ScrapItem(CloneNode(item));
}

void TRSS::ScrapItem(xmlNodePtr item) {
  if (scrapper_) scrapper_->ScrapItem(item);
}

}  // namespace norvane
