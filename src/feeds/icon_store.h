#pragma once
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "core/cancellation.h"
#include "feeds/icon_bytes.h"

namespace norvane {

// How the last search for a site's icon ended.
enum class IconTry {
  Never,   // no search yet (or its record is unreadable)
  Kept,    // an icon was found and kept
  NoIcon,  // the site answered, but with no bitmap icon of at most kMaxIconBytes
  Failed,  // the site did not answer (time-out, no connection, 5xx, 429)
};

// The record kept beside a site's icon. when: seconds since the epoch.
struct IconRecord {
  IconTry outcome = IconTry::Never;
  std::time_t when = 0;
  bool operator==(const IconRecord&) const = default;
};

// A kept icon, or the answer of a site that has none, is looked for again after a month;
// a site that did not answer, after a day.
inline constexpr std::chrono::seconds kIconRefresh{30L * 24 * 3600};
inline constexpr std::chrono::seconds kIconRetry{24L * 3600};

// Whether a site whose last search is record is to be searched again at now.
bool IconDue(const IconRecord& record, std::time_t now);

// The name of a site's files in the icons folder: 16 hexadecimal digits derived from its
// address (SiteOf), so nothing of a hostile host name reaches the file system.
std::string IconKey(std::string_view site);

// The gateway's own address of a site's kept icon, for the pages: "icon?u=<site>/".
std::string IconRoute(std::string_view site);

// A search's result.
struct IconSearch {
  IconTry outcome = IconTry::NoIcon;
  std::string bytes;  // with Kept: the icon
  IconFormat format = IconFormat::None;
  std::string from;  // with Kept: the address it came from
};

// At most this many icon addresses are asked for in one search, besides the page.
inline constexpr size_t kMaxIconTries = 4;

// Looks for the icon of the site of link: reads the page at link for the icons it names
// (FindAdvertisedIcons), then tries them and the site's /favicon.ico one after the other
// until one answers a bitmap icon of at most kMaxIconBytes. Every request has the user
// agent, the proxy and the READTIMEOUT of a feed's fetch, and reads no more than its
// bound. Blocking; never throws.
IconSearch SearchIcon(const std::string& link);

// A site's kept icon as read back.
struct KeptIcon {
  std::string bytes;
  IconFormat format = IconFormat::None;
};

// The icons folder of the program folder: the files of each site, and one worker thread
// that searches in the background for the icons the pages miss. Pages never wait for it.
class IconStore {
 public:
  IconStore();
  // Stops the search in progress and joins the worker.
  ~IconStore();
  IconStore(const IconStore&) = delete;
  IconStore& operator=(const IconStore&) = delete;

  // What a page shows for a feed whose channel link is link: IconRoute of its site when
  // an icon is kept, else empty. A missing or stale icon is asked of the worker (at most
  // once a day for a site, and never more than kMaxQueuedSites waiting); never waits.
  std::string IconHref(const std::string& link);
  // The kept icon of site (as SiteOf gives it): read whole, at most kMaxIconBytes, and
  // still a bitmap icon by its bytes; none otherwise.
  std::optional<KeptIcon> Kept(const std::string& site) const;
  // The record of site's last search; Never when there is none or it cannot be read.
  IconRecord Record(const std::string& site) const;
  // Keeps what a search found for site (or drops the icon when it found that the site
  // has none), then the record. Files are replaced atomically.
  void Keep(const std::string& site, const IconSearch& found, std::time_t now);

  // True once the worker has nothing queued nor in hand (for tests).
  bool Idle() const;

  static constexpr size_t kMaxQueuedSites = 64;

 private:
  void Work();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::pair<std::string, std::string>> queue_;  // (site, link)
  std::set<std::string> pending_;                          // sites queued or in hand
  std::map<std::string, std::time_t> asked_;               // when each site was last queued
  bool stopping_ = false;
  CancelFlag cancel_;
  std::thread worker_;  // last: it starts once the rest exists
};

class TRXML;

// Puts into the answer's channel (a feed of version) an rg:icon element holding the
// gateway's address of its site's icon when one is kept (IconStore::IconHref of the
// channel link), and drops any rg:icon the feed brought itself. Never waits.
void MarkChannelIcon(TRXML& answer, const std::string& version, IconStore& icons);

}  // namespace norvane
