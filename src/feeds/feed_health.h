#pragma once
#include <chrono>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "feeds/fetch_outcome.h"

namespace norvane {

// Who asks for a fetch: how far a wait binds depends on it.
enum class FetchAsker {
  Person,  // a feed page refreshed by its reader: goes through a back-off and a max-age
  Group,   // a group page refreshed by its reader: the same, but leaves a gone feed alone
  Patrol,  // the background patrol: keeps every wait
};

// How a feed's fetches have gone, kept in its channel list entry. Times are seconds since
// the epoch; 0 means never.
struct FeedHealth {
  std::time_t lastFetch = 0;  // the last fetch that came to a verdict
  FetchOutcomeKind outcome = FetchOutcomeKind::Ok;
  long status = 0;             // the HTTP status of that answer; 0: none
  std::string detail;          // why it failed, as a person reads it (bounded)
  std::time_t failingSince = 0;  // the first failure of the current run
  int failures = 0;              // failures in a row; 0: the last fetch went well
  std::time_t lastSuccess = 0;   // the last fetch that brought a feed or "unchanged"
  std::time_t notBefore = 0;     // no fetch before this time...
  bool bindsEveryone = false;    // ...from anyone (the server asked), else from the patrol only
  std::string movedTo;           // where permanent redirects led the last good fetch
  std::string bodyHash;          // BodyDigest of the last feed body

  bool known() const { return lastFetch != 0; }
  bool failing() const { return failures > 0; }
  // 410 Gone: never fetched again automatically.
  bool gone() const { return failing() && outcome == FetchOutcomeKind::HttpStatus && status == 410; }
  bool operator==(const FeedHealth&) const = default;
};

// The longest texts a health record keeps; longer ones are cut (detail) or refused.
inline constexpr size_t kMaxHealthDetail = 300;
inline constexpr size_t kMaxHealthUrl = 2048;

// The record after a fetch that ended with outcome at now. backoffBase is the first
// wait after a failure (one patrol interval); it doubles with each failure in a row, up
// to a day. A cancelled fetch changes nothing.
FeedHealth NextHealth(const FeedHealth& before, const FetchOutcome& outcome, std::time_t now,
                      std::chrono::seconds backoffBase);

// The time a Retry-After value names: seconds from now, or an HTTP date. Over a week
// counts as a week; none for a time not after now, or a value that is neither.
std::optional<std::time_t> RetryAfterUntil(std::string_view value, std::time_t now);

// Why a feed is not to be fetched now by asker; None: it may be.
enum class FetchWait {
  None,
  ServerAsked,  // 429 or 503 with Retry-After (or a 429's own wait): binds everyone
  Gone,         // 410: only its reader's explicit refresh of the feed itself fetches it
  BackingOff,   // failures in a row: the patrol waits
  Fresh,        // the server's max-age has not passed: the patrol waits
};
// "none", "server-asked", "gone", "backing-off", "fresh": for the trace.
std::string_view FetchWaitName(FetchWait wait);
FetchWait WaitBeforeFetch(const FeedHealth& health, FetchAsker asker, std::time_t now);

// Whether the health page lists the feed: its last fetch failed, or the server asked
// to wait, or it moved for good.
bool HasProblem(const FeedHealth& health);
// Orders problems worst first: gone, then the longest failing, then moved.
bool WorseThan(const FeedHealth& a, const FeedHealth& b);

// The notice a page shows (Shift_JIS), e.g. "HTTP 404 (12月3日から、3回続けて失敗)。最後に
// 取得できたのは12月2日"; empty for a feed without a problem.
std::string HealthNotice(const FeedHealth& health, std::time_t now);
// The reason alone ("HTTP 404", "時間切れ", ...), Shift_JIS.
std::string HealthReason(const FeedHealth& health);

// Times as the channel list keeps them: "2026-12-03T09:30:00Z".
std::string IsoTime(std::time_t when);
std::optional<std::time_t> ParseIsoTime(std::string_view text);
// A day for a person, in local time: "12月3日"; with its time when withTime.
std::string ShownDay(std::time_t when, bool withTime = false);

}  // namespace norvane
