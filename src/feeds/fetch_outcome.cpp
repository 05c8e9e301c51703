#include "feeds/fetch_outcome.h"

#include <limits>

#include "core/fnv_hash.h"
#include "core/header_value.h"
#include "core/url_helpers.h"

namespace norvane {

std::string_view FetchOutcomeKindName(FetchOutcomeKind kind) {
  switch (kind) {
    case FetchOutcomeKind::Ok: return "ok";
    case FetchOutcomeKind::Unchanged: return "unchanged";
    case FetchOutcomeKind::HttpStatus: return "http-status";
    case FetchOutcomeKind::Timeout: return "timeout";
    case FetchOutcomeKind::NotAFeed: return "not-a-feed";
    case FetchOutcomeKind::XmlError: return "xml-error";
    case FetchOutcomeKind::TooLarge: return "too-large";
    case FetchOutcomeKind::Transport: return "transport";
    case FetchOutcomeKind::Cancelled: return "cancelled";
  }
  return "transport";
}

std::optional<FetchOutcomeKind> FetchOutcomeKindFromName(std::string_view name) {
  for (FetchOutcomeKind kind :
       {FetchOutcomeKind::Ok, FetchOutcomeKind::Unchanged, FetchOutcomeKind::HttpStatus,
        FetchOutcomeKind::Timeout, FetchOutcomeKind::NotAFeed, FetchOutcomeKind::XmlError,
        FetchOutcomeKind::TooLarge, FetchOutcomeKind::Transport, FetchOutcomeKind::Cancelled})
    if (FetchOutcomeKindName(kind) == name) return kind;
  return std::nullopt;
}

namespace {

FetchOutcomeKind KindOf(FetchKind kind) {
  switch (kind) {
    case FetchKind::Ok: return FetchOutcomeKind::Ok;
    case FetchKind::NotModified: return FetchOutcomeKind::Unchanged;
    case FetchKind::Status: return FetchOutcomeKind::HttpStatus;
    case FetchKind::Timeout: return FetchOutcomeKind::Timeout;
    case FetchKind::Cancelled: return FetchOutcomeKind::Cancelled;
    case FetchKind::TooLarge: return FetchOutcomeKind::TooLarge;
    case FetchKind::Transport:
    case FetchKind::NotAllowedScheme:
    case FetchKind::TooManyRedirects: return FetchOutcomeKind::Transport;
  }
  return FetchOutcomeKind::Transport;
}

}  // namespace

FetchOutcome OutcomeOfResponse(const FetchResponse& response, const std::string& requestedUrl) {
  FetchOutcome outcome;
  outcome.kind = KindOf(response.kind);
  outcome.status = response.status;
  if (outcome.kind != FetchOutcomeKind::Ok && outcome.kind != FetchOutcomeKind::Unchanged)
    outcome.detail = response.error;
  outcome.validators = {CleanValidator(response.lastModified), CleanEntityTag(response.etag), {}};
  outcome.finalUrl = response.url.empty() ? requestedUrl : response.url;
  if (response.movedPermanently && outcome.finalUrl != requestedUrl) outcome.movedTo = outcome.finalUrl;
  outcome.retryAfter = CleanValidator(response.retryAfter);
  outcome.maxAgeSeconds = MaxAgeSeconds(response.cacheControl);
  return outcome;
}

std::string BodyDigest(std::string_view body) {
  return std::to_string(body.size()) + "-" + Fnv1a64Hex(body);
}

long MaxAgeSeconds(std::string_view cacheControl) {
  constexpr std::string_view kName = "max-age";
  size_t at = 0;
  while (at < cacheControl.size()) {
    size_t end = cacheControl.find(',', at);
    if (end == std::string_view::npos) end = cacheControl.size();
    std::string_view part = cacheControl.substr(at, end - at);
    at = end + 1;
    while (!part.empty() && (part.front() == ' ' || part.front() == '\t')) part.remove_prefix(1);
    while (!part.empty() && (part.back() == ' ' || part.back() == '\t')) part.remove_suffix(1);
    if (part.size() <= kName.size() || part[kName.size()] != '=') continue;
    if (!SameAsciiName(part.substr(0, kName.size()), kName)) continue;
    std::string_view digits = part.substr(kName.size() + 1);
    if (digits.size() >= 2 && digits.front() == '"' && digits.back() == '"')
      digits = digits.substr(1, digits.size() - 2);  // a quoted value is allowed, if rare
    if (digits.empty()) return -1;
    long value = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return -1;
      // A value past any sensible age is the longest one, not an overflow.
      if (value > (std::numeric_limits<long>::max() - 9) / 10) return std::numeric_limits<long>::max();
      value = value * 10 + (c - '0');
    }
    return value;
  }
  return -1;
}

std::string DescribeOutcome(const FetchOutcome& outcome) {
  std::string line(FetchOutcomeKindName(outcome.kind));
  if (outcome.status != 0) {
    line += ' ';
    line += std::to_string(outcome.status);
  }
  if (!outcome.detail.empty()) {
    line += ": ";
    line += outcome.detail;
  }
  return line;
}

}  // namespace norvane
