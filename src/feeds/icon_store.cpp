#include "feeds/icon_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <system_error>
#include <vector>

#include "core/atomic_file.h"
#include "core/disk_path.h"
#include "core/fnv_hash.h"
#include "core/program_files.h"
#include "core/route_names.h"
#include "core/settings.h"
#include "core/trace.h"
#include "feeds/feed_discovery.h"
#include "feeds/fetch_options.h"
#include "feeds/rg_namespace.h"
#include "feeds/rss2.h"
#include "feeds/rxml.h"
#include "feeds/xml_node.h"
#include "http/http_client.h"

namespace norvane {

namespace {

// The page is read this far for its icon links: they are in its head.
constexpr size_t kIconPageBytes = 2u << 20;

std::string_view TryName(IconTry t) {
  switch (t) {
    case IconTry::Kept: return "kept";
    case IconTry::NoIcon: return "none";
    case IconTry::Failed: return "failed";
    case IconTry::Never: break;
  }
  return "never";
}

// Whether a site answered at all: the next search may come a month later. A request that
// got nothing back, or an overloaded server's answer, counts as no answer.
bool Answered(const FetchResponse& r) {
  switch (r.kind) {
    case FetchKind::Ok:
    case FetchKind::NotModified:
    case FetchKind::TooLarge:
    case FetchKind::NotAllowedScheme:
    case FetchKind::TooManyRedirects: return true;
    case FetchKind::Status: return r.status < 500 && r.status != 429;
    case FetchKind::Timeout:
    case FetchKind::Cancelled:
    case FetchKind::Transport: break;
  }
  return false;
}

std::string DiskIconPath(const std::string& site, std::string_view extension) {
  return DiskPath(files::IconPath(IconKey(site), extension));
}

}  // namespace

bool IconDue(const IconRecord& record, std::time_t now) {
  if (record.outcome == IconTry::Never || record.when > now) return true;  // a clock set back: ask again
  const std::chrono::seconds wait = record.outcome == IconTry::Failed ? kIconRetry : kIconRefresh;
  return now - record.when >= wait.count();
}

std::string IconKey(std::string_view site) { return Fnv1a64Hex(site); }

std::string IconRoute(std::string_view site) {
  // The program's links put u first and end it with "/", so the router reads it whole.
  return std::string(routes::kIcon) + "?u=" + std::string(site) + "/";
}

IconSearch SearchIcon(const std::string& link) {
  IconSearch result;
  const std::string site = SiteOf(link);
  if (site.empty()) return result;
  const Settings settings = GetSettings();
  bool silent = false;  // some request got no answer
  auto get = [&](const std::string& url, size_t maxBytes) {
    FetchOptions options = FetchOptionsFor(url, settings);
    options.maxBytes = maxBytes;
    FetchResponse r = HttpGet(url, {}, options);
    if (!Answered(r)) silent = true;
    WriteLog(TraceArea::Fetch, "icon " + url + ": " + (r.kind == FetchKind::Ok ? std::string("ok") : r.error), 1);
    return r;
  };
  std::vector<std::string> tries;
  const FetchResponse page = get(link, kIconPageBytes);
  if (page.kind == FetchKind::Ok)
    tries = FindAdvertisedIcons(page.body, page.url.empty() ? link : page.url, kMaxIconTries);
  const std::string favicon = site + "/favicon.ico";
  if (std::none_of(tries.begin(), tries.end(), [&](const std::string& t) { return SameAddress(t, favicon); })) {
    if (tries.size() >= kMaxIconTries) tries.pop_back();
    tries.push_back(favicon);
  }
  for (const std::string& url : tries) {
    if (WorkCancelled()) break;
    FetchResponse r = get(url, kMaxIconBytes);
    if (r.kind != FetchKind::Ok) continue;
    const IconFormat format = SniffIcon(r.body);
    if (format == IconFormat::None) continue;  // an HTML page, an SVG, anything else
    result.outcome = IconTry::Kept;
    result.bytes = std::move(r.body);
    result.format = format;
    result.from = url;
    return result;
  }
  result.outcome = silent || WorkCancelled() ? IconTry::Failed : IconTry::NoIcon;
  return result;
}

IconStore::IconStore() {
  try {
    worker_ = std::thread([this] { Work(); });
  } catch (const std::system_error& e) {
    // No thread to be had: the pages show letter badges, and nothing is fetched.
    WriteErrorLog(TraceArea::Fetch, "Exception", e.what());
  }
}

IconStore::~IconStore() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  cancel_.Cancel();
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

std::string IconStore::IconHref(const std::string& link) {
  const std::string site = SiteOf(link);
  if (site.empty()) return {};
  const std::time_t now = std::time(nullptr);
  const bool kept = FileExists(DiskIconPath(site, ".icon"));
  if (worker_.joinable() && IconDue(Record(site), now)) {
    std::lock_guard lock(mutex_);
    auto asked = asked_.find(site);
    const bool askedToday = asked != asked_.end() && now - asked->second < kIconRetry.count() && now >= asked->second;
    if (!stopping_ && !askedToday && !pending_.count(site) && queue_.size() < kMaxQueuedSites) {
      queue_.emplace_back(site, link);
      pending_.insert(site);
      asked_[site] = now;
      wake_.notify_one();
    }
  }
  return kept ? IconRoute(site) : std::string();
}

std::optional<KeptIcon> IconStore::Kept(const std::string& site) const {
  if (site.empty()) return std::nullopt;
  KeptIcon icon;
  if (!ReadWholeFile(DiskIconPath(site, ".icon"), icon.bytes, kMaxIconBytes)) return std::nullopt;
  icon.format = SniffIcon(icon.bytes);
  if (icon.format == IconFormat::None) return std::nullopt;
  return icon;
}

IconRecord IconStore::Record(const std::string& site) const {
  IconRecord record;
  std::string text;
  if (!ReadWholeFile(DiskIconPath(site, ".txt"), text, 4096)) return record;
  // "<site>\n<outcome> <seconds>\n": the site first, for a person reading the folder.
  const size_t line = text.find('\n');
  if (line == std::string::npos || text.compare(0, line, site) != 0) return record;  // another site's
  const std::string rest = text.substr(line + 1);
  const size_t space = rest.find(' ');
  if (space == std::string::npos) return record;
  const std::string name = rest.substr(0, space);
  long long when = 0;
  try {
    when = std::stoll(rest.substr(space + 1));
  } catch (const std::exception&) {
    return record;
  }
  for (IconTry t : {IconTry::Kept, IconTry::NoIcon, IconTry::Failed})
    if (name == TryName(t)) record = {t, static_cast<std::time_t>(when)};
  return record;
}

void IconStore::Keep(const std::string& site, const IconSearch& found, std::time_t now) {
  // Made at start; made again should it have gone while the program runs.
  mkdir(DiskPath(std::string(files::kIcons)).c_str(), 0755);
  const std::string iconPath = DiskIconPath(site, ".icon");
  if (found.outcome == IconTry::Kept) {
    if (SniffIcon(found.bytes) == IconFormat::None || !WriteFileAtomic(iconPath, found.bytes)) {
      WriteErrorLog(TraceArea::Fetch, "IconNotKept", site);
      return;  // no record: asked again tomorrow
    }
  } else if (found.outcome == IconTry::NoIcon) {
    std::remove(iconPath.c_str());  // the site no longer has one
  }
  // A failed search keeps the icon it had.
  const std::string record = site + "\n" + std::string(TryName(found.outcome)) + " " + std::to_string(now) + "\n";
  if (!WriteFileAtomic(DiskIconPath(site, ".txt"), record)) WriteErrorLog(TraceArea::Fetch, "IconNotKept", site);
}

bool IconStore::Idle() const {
  std::lock_guard lock(mutex_);
  return queue_.empty() && pending_.empty();
}

void IconStore::Work() {
  CancelScope scope(cancel_);
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    const std::string site = queue_.front().first;
    const std::string link = queue_.front().second;
    queue_.pop_front();
    lock.unlock();
    try {
      if (IconDue(Record(site), std::time(nullptr))) {
        const IconSearch found = SearchIcon(link);
        if (!WorkCancelled()) Keep(site, found, std::time(nullptr));
      }
    } catch (const std::exception& e) {
      WriteErrorLog(TraceArea::Fetch, "Exception", e.what());
    }
    lock.lock();
    pending_.erase(site);
  }
}

void MarkChannelIcon(TRXML& answer, const std::string& version, IconStore& icons) {
  const FeedPaths& paths = PathsForVersion(version);
  const std::string titlePath = paths.title;
  xmlNodePtr channel = answer.SelectSingleNode(titlePath.substr(0, titlePath.rfind('/')));
  xmlNodePtr root = answer.DocumentElement();
  if (!channel || !root) return;
  // Only the gateway says where an icon is: the page must never load one from the site.
  std::vector<xmlNodePtr> brought;
  for (xmlNodePtr c = channel->children; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE) continue;
    const bool rgIcon = xmlStrEqual(c->name, BAD_CAST "icon") && c->ns &&
                        xmlStrEqual(c->ns->href, BAD_CAST kRgNamespace);
    if (rgIcon || NodeName(c) == "rg:icon") brought.push_back(c);
  }
  for (xmlNodePtr c : brought) RemoveNode(c);
  const xmlNode* link = answer.SelectSingleNode(paths.link);
  const std::string href = link ? icons.IconHref(NodeText(link)) : std::string();
  if (href.empty()) return;
  // Bound to the namespace as it is made: a stored log is transformed without a text round trip.
  xmlNsPtr ns = xmlSearchNsByHref(answer.Document(), root, BAD_CAST kRgNamespace);
  if (!ns) ns = xmlNewNs(root, BAD_CAST kRgNamespace, BAD_CAST "rg");
  xmlNodePtr icon = xmlNewDocNode(answer.Document(), ns, BAD_CAST "icon", nullptr);
  xmlAddChild(channel, icon);
  SetNodeText(icon, href);
}

}  // namespace norvane
