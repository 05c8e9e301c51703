#include "feeds/feed_health.h"

#include <algorithm>
#include <cstdio>

#include "core/texts.h"
#include "http/http_client.h"
#include "http/http_date.h"

namespace norvane {

namespace {

constexpr std::time_t kDay = 24 * 60 * 60;
constexpr std::time_t kWeek = 7 * kDay;
constexpr std::time_t kHour = 60 * 60;

// first, doubled for each failure in a row after the first, up to a day.
std::time_t Doubled(std::time_t first, int failures) {
  std::time_t wait = std::max<std::time_t>(first, 1);
  for (int i = 1; i < failures && wait < kDay; ++i) wait *= 2;
  return std::min(wait, kDay);
}

bool Succeeded(FetchOutcomeKind kind) {
  return kind == FetchOutcomeKind::Ok || kind == FetchOutcomeKind::Unchanged;
}

std::string Cut(std::string text, size_t bound) {
  if (text.size() > bound) text.resize(bound);
  return text;
}

}  // namespace

FeedHealth NextHealth(const FeedHealth& before, const FetchOutcome& outcome, std::time_t now,
                      std::chrono::seconds backoffBase) {
  if (outcome.kind == FetchOutcomeKind::Cancelled) return before;
  FeedHealth h = before;
  h.lastFetch = now;
  h.outcome = outcome.kind;
  h.status = outcome.status;
  h.notBefore = 0;
  h.bindsEveryone = false;
  if (Succeeded(outcome.kind)) {
    h.detail.clear();
    h.failures = 0;
    h.failingSince = 0;
    h.lastSuccess = now;
    h.movedTo = outcome.movedTo.size() <= kMaxHealthUrl ? outcome.movedTo : std::string();
    if (outcome.kind == FetchOutcomeKind::Ok) h.bodyHash = outcome.validators.bodyHash;
    // The server says how long its answer stays fresh; the patrol waits that long.
    if (outcome.maxAgeSeconds > 0) h.notBefore = now + std::min<std::time_t>(outcome.maxAgeSeconds, kDay);
    return h;
  }
  h.detail = Cut(outcome.detail, kMaxHealthDetail);
  h.failures = before.failures < 1000000 ? before.failures + 1 : before.failures;
  if (!before.failing() || before.failingSince == 0) h.failingSince = now;
  const long status = outcome.kind == FetchOutcomeKind::HttpStatus ? outcome.status : 0;
  if (status == 410) return h;  // gone() keeps it from being asked again
  if (status == 429 || status == 503) {
    std::optional<std::time_t> until = RetryAfterUntil(outcome.retryAfter, now);
    if (!until && status == 429) until = now + Doubled(kHour, h.failures);
    if (until) {
      h.notBefore = *until;
      h.bindsEveryone = true;
      return h;
    }
  }
  // Every other failure: the patrol backs off, a person may still ask.
  h.notBefore = now + Doubled(static_cast<std::time_t>(backoffBase.count()), h.failures);
  return h;
}

std::optional<std::time_t> RetryAfterUntil(std::string_view value, std::time_t now) {
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  if (value.empty()) return std::nullopt;
  std::time_t until = 0;
  if (std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    std::time_t seconds = 0;
    for (char c : value) {
      seconds = seconds * 10 + (c - '0');
      if (seconds > kWeek) break;  // anything longer counts as a week
    }
    until = now + std::min(seconds, kWeek);
  } else {
    std::optional<std::time_t> date = ParseHttpDate(value);
    if (!date) return std::nullopt;
    until = std::min(*date, now + kWeek);
  }
  if (until <= now) return std::nullopt;
  return until;
}

std::string_view FetchWaitName(FetchWait wait) {
  switch (wait) {
    case FetchWait::None: return "none";
    case FetchWait::ServerAsked: return "server-asked";
    case FetchWait::Gone: return "gone";
    case FetchWait::BackingOff: return "backing-off";
    case FetchWait::Fresh: return "fresh";
  }
  return "none";
}

FetchWait WaitBeforeFetch(const FeedHealth& health, FetchAsker asker, std::time_t now) {
  if (health.notBefore > now && health.bindsEveryone) return FetchWait::ServerAsked;
  if (health.gone() && asker != FetchAsker::Person) return FetchWait::Gone;
  if (asker == FetchAsker::Patrol && health.notBefore > now)
    return health.failing() ? FetchWait::BackingOff : FetchWait::Fresh;
  return FetchWait::None;
}

bool HasProblem(const FeedHealth& health) {
  return health.failing() || !health.movedTo.empty();
}

bool WorseThan(const FeedHealth& a, const FeedHealth& b) {
  if (a.gone() != b.gone()) return a.gone();
  if (a.failing() != b.failing()) return a.failing();
  if (a.failing() && a.failingSince != b.failingSince) return a.failingSince < b.failingSince;
  return a.failures > b.failures;
}

std::string HealthReason(const FeedHealth& health) {
  const Texts& t = T();
  switch (health.outcome) {
    case FetchOutcomeKind::HttpStatus: return "HTTP " + std::to_string(health.status);
    case FetchOutcomeKind::Timeout: return t.healthTimeout;
    case FetchOutcomeKind::NotAFeed: return t.healthNotAFeed;
    case FetchOutcomeKind::XmlError: return t.healthXmlError;
    case FetchOutcomeKind::TooLarge: return t.healthTooLarge;
    case FetchOutcomeKind::Transport: return t.healthTransport;
    default: return {};
  }
}

std::string HealthNotice(const FeedHealth& health, std::time_t now) {
  if (!health.failing()) return {};
  const Texts& t = T();
  std::string text = HealthReason(health) + t.healthSinceOpen + ShownDay(health.failingSince) +
                     t.healthSinceClose + std::to_string(health.failures) + t.healthFailuresAfter;
  text += health.lastSuccess ? t.healthLastGood + ShownDay(health.lastSuccess) : t.healthNeverGood;
  if (health.gone()) text += t.healthGone;
  else if (health.bindsEveryone && health.notBefore > now)
    text += t.healthWaitBefore + ShownDay(health.notBefore, true) + t.healthWaitAfter;
  return text;
}

std::string IsoTime(std::time_t when) {
  std::tm tm{};
  gmtime_r(&when, &tm);
  char buf[80];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

std::optional<std::time_t> ParseIsoTime(std::string_view text) {
  if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != 'Z')
    return std::nullopt;
  auto number = [&](size_t at, size_t len, int& out) {
    out = 0;
    for (size_t i = at; i < at + len; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      out = out * 10 + (text[i] - '0');
    }
    return true;
  };
  std::tm tm{};
  int year, month, day, hour, minute, second;
  if (!number(0, 4, year) || !number(5, 2, month) || !number(8, 2, day) || !number(11, 2, hour) ||
      !number(14, 2, minute) || !number(17, 2, second))
    return std::nullopt;
  if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
    return std::nullopt;
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return timegm(&tm);
}

std::string ShownDay(std::time_t when, bool withTime) {
  std::tm tm{};
  localtime_r(&when, &tm);
  std::string text = std::to_string(tm.tm_mon + 1) + T().healthMonth + std::to_string(tm.tm_mday) + T().healthDay;
  if (withTime) {
    char buf[32];
    std::snprintf(buf, sizeof buf, " %02d:%02d", tm.tm_hour, tm.tm_min);
    text += buf;
  }
  return text;
}

}  // namespace norvane
