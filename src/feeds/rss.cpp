#include "feeds/rss.h"

#include <ctime>
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

std::string TRSS::Excute() { return Run() ? AnswerText() : failure_; }

std::string TRSS::AnswerText() const {
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
    // A server that asked to wait, a gone feed, a patrol backing off: the stored log is
    // shown as it stands, with the notice that says why.
    const FetchWait wait = WaitBeforeFetch(entry_.GetHealth(), context_.asker, std::time(nullptr));
    {
      ChannelLogLock serialise(LogPath);
      if (FileExists(DiskPath(LogPath))) {
        if (Params.Reload && wait == FetchWait::None) {
          ReloadRss();
        } else {
          if (Params.Reload)
            WriteLog(TraceArea::Fetch, std::string(FetchWaitName(wait)) + ", not asked now: " + Params.URL, 1);
          LoadOwnFile(LogPath);
          Version = GetRSSVersion();
          parsedAsStored_ = true;
        }
      } else {
        if (wait != FetchWait::None && wait != FetchWait::Fresh)
          throw std::runtime_error(HealthNotice(entry_.GetHealth(), std::time(nullptr)));
        if (!GetRss("", true)) throw std::runtime_error(T().fetchFailed);
        SaveLog("");
      }
    }
    // The log is written; what follows shapes the answer only.
    if (!Params.Sel.empty()) ExtractByDate();
    if (!Params.ShowDescription) RemoveSummary();
    if (!Params.Keyword.empty()) ExtractByKeyword();
    if (!DocumentElement()) throw std::runtime_error(T().rssBuildFailed);
    AddHealthNotice();
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

bool TRSS::GetRss(const std::string& lastModified, bool scrapAll, const std::string& etag,
                  const std::string& bodyHash) {
  const bool ok = FetchAndStamp({lastModified, etag, bodyHash}, scrapAll);
  entry_.SetHealth(NextHealth(entry_.GetHealth(), *lastFetch_, std::time(nullptr), context_.backoffBase));
  return ok;
}

bool TRSS::FetchAndStamp(const CacheValidators& given, bool scrapAll) {
  lastFetch_ = LoadFromHTTPIfModified(Params.URL, given);
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
    FeedHealth health = entry_.GetHealth();
    health.bodyHash.clear();
    entry_.SetHealth(health);
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
    if (GetRss(ownDate ? std::string() : lastModified, false, etag, entry_.GetHealth().bodyHash)) {
      Merge();
    } else {
      // Nothing new came: the stored items stay, and what was new is now only current.
      // Why is in the trace: a failure the page does not show.
      if (lastFetch_ && lastFetch_->kind == FetchOutcomeKind::Unchanged) {
        WriteLog(TraceArea::Fetch, "unchanged: " + Params.URL, 1);
        // The same bytes in a 200 may come with validators at last: they are the server's.
        if (lastFetch_->status == 200) {
          if (!lastFetch_->validators.lastModified.empty())
            entry_.SetLastModified(lastFetch_->validators.lastModified, false);
          entry_.SetETag(lastFetch_->validators.etag);
        }
      }
      else if (lastFetch_)
        WriteErrorLog(TraceArea::Fetch, FetchOutcomeKindName(lastFetch_->kind),
                      Params.URL + ": " + DescribeOutcome(*lastFetch_));
      LoadFromXML(old_.GetXML());
      Version = oldVersion;
      // With nothing new to turn into today, the log stays as it lies.
      if (Version.empty() || MarkUnchanged(*this, PathsForVersion(Version)) == 0) return;
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

void TRSS::AddHealthNotice() {
  const FeedHealth health = entry_.GetHealth();
  std::string text = HealthNotice(health, std::time(nullptr));
  if (text.empty() && health.movedTo.empty()) return;
  if (text.empty()) text = T().healthMoved + health.movedTo;
  const std::string titlePath = PathsForVersion(Version.empty() ? GetRSSVersion() : Version).title;
  xmlNodePtr channel = SelectSingleNode(titlePath.substr(0, titlePath.rfind('/')));
  xmlNodePtr root = DocumentElement();
  if (!channel || !root) return;
  // Bound to the namespace as it is made: a stored log is transformed without a text round trip.
  xmlNsPtr ns = xmlSearchNsByHref(Document(), root, BAD_CAST kRgNamespace);
  if (!ns) ns = xmlNewNs(root, BAD_CAST kRgNamespace, BAD_CAST "rg");
  xmlNodePtr notice = xmlNewDocNode(Document(), ns, BAD_CAST "health", nullptr);
  xmlAddChild(channel, notice);
  SetNodeText(notice, text);
  SetAttribute(notice, "outcome", FetchOutcomeKindName(health.outcome));
  if (health.status) SetAttribute(notice, "status", std::to_string(health.status));
  if (health.failingSince) SetAttribute(notice, "since", IsoTime(health.failingSince));
  if (health.failures) SetAttribute(notice, "failures", std::to_string(health.failures));
  if (health.lastSuccess) SetAttribute(notice, "lastSuccess", IsoTime(health.lastSuccess));
  if (health.bindsEveryone && health.notBefore) SetAttribute(notice, "waitUntil", IsoTime(health.notBefore));
  if (health.gone()) SetAttribute(notice, "gone", "yes");
  if (!health.movedTo.empty()) SetAttribute(notice, "movedTo", health.movedTo);
}

void TRSS::ScrapItem(xmlNodePtr item) {
  if (scrapper_) scrapper_->ScrapItem(item);
}

}  // namespace norvane
