#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "http/http_client.h"

namespace norvane {

// What a conditional request sends back to the server, as it last sent them: the
// Last-Modified date (as If-Modified-Since) and the entity tag (as If-None-Match).
struct CacheValidators {
  std::string lastModified;
  std::string etag;
  // A digest of the last feed body received (BodyDigest): a server that sends no
  // validators but the same bytes again is answered as if it had said 304.
  std::string bodyHash;
};

// The digest of a body as CacheValidators keeps it: its length and its FNV-1a hash.
std::string BodyDigest(std::string_view body);

// How the fetch of a feed ended, from the wire up to the document.
enum class FetchOutcomeKind {
  Ok,          // a feed arrived and was read
  Unchanged,   // 304: nothing new since the validators sent
  HttpStatus,  // an answer outside 2xx other than 304; status holds its code
  Timeout,     // silent, or in all, longer than the read time-out
  NotAFeed,    // an answer that is no RSS: a web page, another document, nothing at all
  XmlError,    // an answer that does not parse, or a feed that could not be marked
  TooLarge,    // the body passed the client's bound
  Transport,   // no usable answer: lookup, connection, refused redirect, too many hops
  Cancelled,   // the program is ending
};

// The kind as one lower-case word ("ok", "unchanged", "http-status", "timeout",
// "not-a-feed", "xml-error", "too-large", "transport", "cancelled"), for the trace and for
// whatever records a feed's health.
std::string_view FetchOutcomeKindName(FetchOutcomeKind kind);
// The kind a name of FetchOutcomeKindName stands for; none for any other text.
std::optional<FetchOutcomeKind> FetchOutcomeKindFromName(std::string_view name);

// One fetch, told as a value a caller may keep: how it ended, and what the server said
// that matters for the next fetch. Everything is Shift_JIS-safe ASCII or program text.
struct FetchOutcome {
  FetchOutcomeKind kind = FetchOutcomeKind::Transport;
  long status = 0;     // the HTTP status of the final answer; 0 when none came
  std::string detail;  // why, as a person reads it; empty for Ok and Unchanged
  // As the final answer carried them, cleaned to be stored and sent back (empty: none).
  // Only an Ok outcome's validators replace the stored ones.
  CacheValidators validators;
  std::string finalUrl;    // where the answer came from after redirects; the URL asked otherwise
  std::string movedTo;     // finalUrl when every redirect was permanent (301, 308); else empty
  std::string retryAfter;  // Retry-After as sent (seconds or an HTTP date), cleaned; empty: none
  long maxAgeSeconds = -1; // Cache-Control max-age; -1: none

  bool ok() const { return kind == FetchOutcomeKind::Ok; }
};

// The outcome of an answer of the HTTP client, before its body is read as a feed: Ok
// there means only that a 2xx answer came.
FetchOutcome OutcomeOfResponse(const FetchResponse& response, const std::string& requestedUrl);

// The max-age directive of a Cache-Control value, in seconds; -1 when there is none or
// it is no number. Directive names are compared without regard to case.
long MaxAgeSeconds(std::string_view cacheControl);

// One line: the kind, the status when there is one, the detail ("http-status 404: HTTP/1.1
// 404 Not Found").
std::string DescribeOutcome(const FetchOutcome& outcome);

}  // namespace norvane
