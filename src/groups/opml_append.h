#pragma once
#include <mutex>
#include <string>

#include "feeds/rss2.h"

namespace norvane {

// Appends a feed outline for url to the top level of "opmls\<file>", with the feed's
// title, description and link (attributes text, type, xmlUrl, description, htmlUrl).
// Throws with "URLが変です。" (no "://"), "OPMLが見つかりません" (no such file inside the
// group folder), or the failure of reading the group file or the feed; the group file
// then stays as it was. Adding the same URL twice gives two outlines.
void AddRssToOpml(const std::string& url, const std::string& file);

// The checks of AddRssToOpml on the group file alone, made before anything is fetched:
// throws with "OPMLが見つかりません" or the failure of reading the file.
void CheckGroupToAppend(const std::string& file);

// The append of AddRssToOpml for a feed already read: its outline, with url as xmlUrl,
// goes to the end of the group's top level under GroupFileLock.
void AppendFeedOutline(const TRSS2& feed, const std::string& url, const std::string& file);

// Held around every read-change-write of a group file (the add page and the organizer),
// so two writers never interleave and one of them loses its change. A leaf lock.
std::mutex& GroupFileLock();

}  // namespace norvane
