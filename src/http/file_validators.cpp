#include "http/file_validators.h"

#include <cstdint>
#include <cstdio>

#include "core/url_helpers.h"
#include "http/http_date.h"

namespace norvane {

namespace {

void Mix(std::uint64_t& hash, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) {
    hash ^= (value >> (i * 8)) & 0xFF;
    hash *= 1099511628211ull;  // FNV-1a
  }
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// The opaque part of an entity tag: what lies between its quotes, with no W/.
std::string_view Opaque(std::string_view tag) {
  if (tag.substr(0, 2) == "W/") tag.remove_prefix(2);
  if (tag.size() >= 2 && tag.front() == '"' && tag.back() == '"') return tag.substr(1, tag.size() - 2);
  return {};
}

// If-None-Match: "*" or a list of entity tags, compared weakly (as a GET's are). A list
// that stops making sense matches nothing from there on.
bool TagListMatches(std::string_view list, std::string_view etag) {
  const std::string_view own = Opaque(etag);
  size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && (IsSpace(list[i]) || list[i] == ',')) ++i;
    if (i >= list.size()) break;
    if (list[i] == '*') return true;
    size_t start = i;
    if (list.substr(i, 2) == "W/") i += 2;
    if (i >= list.size() || list[i] != '"') return false;
    size_t close = list.find('"', i + 1);
    if (close == std::string_view::npos) return false;
    if (Opaque(list.substr(start, close + 1 - start)) == own) return true;
    i = close + 1;
  }
  return false;
}

}  // namespace

FileValidators ValidatorsOf(const struct stat& st, std::time_t now) {
  // The tag changes with the file's identity, size and time to the nanosecond: a file
  // replaced by renaming gets a new inode, one rewritten in place a new time or size.
  std::uint64_t hash = 14695981039346656037ull;
  Mix(hash, static_cast<std::uint64_t>(st.st_dev));
  Mix(hash, static_cast<std::uint64_t>(st.st_ino));
  Mix(hash, static_cast<std::uint64_t>(st.st_size));
  Mix(hash, static_cast<std::uint64_t>(st.st_mtim.tv_sec));
  Mix(hash, static_cast<std::uint64_t>(st.st_mtim.tv_nsec));
  char tag[24];
  std::snprintf(tag, sizeof tag, "\"%016llx\"", static_cast<unsigned long long>(hash));

  FileValidators v;
  v.etag = tag;
  v.modified = st.st_mtim.tv_sec;
  // A date in the present second could be the date of a later change as well: a client
  // that stored it would never see that change. Such a file goes by its tag alone.
  if (v.modified < now) v.lastModified = HttpDate(v.modified);
  return v;
}

bool ClientHoldsFile(std::string_view ifNoneMatch, std::string_view ifModifiedSince,
                     const FileValidators& file) {
  if (!ifNoneMatch.empty()) return TagListMatches(ifNoneMatch, file.etag);
  if (ifModifiedSince.empty() || file.lastModified.empty()) return false;
  // Only the file's own date: the same address may serve another file after the style
  // was changed, and that file may well be older than the one the client holds.
  const std::optional<std::time_t> when = ParseHttpDate(ifModifiedSince);
  return when && *when == file.modified;
}

}  // namespace norvane
