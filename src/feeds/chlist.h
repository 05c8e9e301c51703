#pragma once
#include <libxml/tree.h>

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/program_files.h"
#include "feeds/feed_health.h"
#include "feeds/rxml.h"

namespace norvane {


// The channel list: for every feed URL ever asked for, the base name of its channel log
// and the date of the last fetch that brought a feed. One instance is shared by every
// thread that serves a feed; every read and write of its document holds its own mutex,
// which is a leaf lock (nothing else is taken while it is held).
//
// Start-up constructs it (loading the file); the running program calls SaveIfChanged()
// every few seconds and the orderly shutdown calls Save().
class TChList : private TRXML {
 public:
  // Loads path (a program path) when the file exists; otherwise starts an empty list.
  // A file that exists but holds no readable list is renamed aside (never overwritten),
  // a new list is started, and one line says so on standard error.
  explicit TChList(std::string path = files::ChannelListPath());

  // Writes the list (atomically). Throws XmlError when it cannot be written.
  void Save();
  // Save, only when an entry was added or changed since the last save. A crash then
  // loses at most what changed since the last call.
  void SaveIfChanged();

  std::string GetXML() const;
  size_t Count() const;
  const std::string& path() const { return path_; }
  // Where a damaged list was moved at start; empty when none was.
  const std::string& setAsidePath() const { return setAside_; }

  // Every entry that keeps a health record: its URL and the record.
  std::vector<std::pair<std::string, FeedHealth>> HealthRecords() const;
  // The entry of from answers to to from now on, keeping its log and record (the moved-to
  // address is forgotten: it is reached). False, and nothing changed, when from has no
  // entry or to has one of its own.
  bool MoveEntry(const std::string& from, const std::string& to);

 private:
  friend class TChItem;
  void SetAside();
  void StartEmpty();
  void IndexEntries();
  // Drops a health element that does not read as a record, with a line on standard error.
  void DropDamagedHealth(xmlNodePtr channel);
  // The entry of url, appended when there is none (one step under the lock).
  xmlNodePtr FindOrAdd(const std::string& url);
  // The child element name of channel, created when missing. Lock held.
  xmlNodePtr Child(xmlNodePtr channel, const char* name);
  // The same, nullptr when missing. Lock held.
  static xmlNodePtr FindChild(xmlNodePtr channel, const char* name);

  std::string path_;
  std::string setAside_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, xmlNodePtr> index_;  // DOM (UTF-8) URL to its entry
  bool changed_ = false;  // guarded by mutex_
};

// The handle of one entry of the channel list.
class TChItem {
 public:
  // Finds the entry of url or appends one with empty file and httpLastModified.
  TChItem(TChList& list, std::string url);

  const std::string URL;

  // The base name of the channel log; derived by ChannelFileName and stored on first use.
  std::string GetFileName();
  std::string GetLastModified() const;
  // own: the program made the date (HttpDateNow) because the server sent none. It is
  // kept for the pages, marked source="own", and never sent back as If-Modified-Since:
  // a server must not be asked about a date it did not give. Lists written before the
  // mark read as the server's dates.
  void SetLastModified(const std::string& text, bool own = false);
  bool LastModifiedIsOwn() const;
  // The entity tag of the same fetch, kept beside the date in an httpETag element that
  // only entries whose server sent one have (lists written before it load as they are).
  std::string GetETag() const;
  void SetETag(const std::string& text);
  // How the feed's fetches have gone (an empty record when none is kept), kept in a
  // health element that lists written before it load without.
  FeedHealth GetHealth() const;
  void SetHealth(const FeedHealth& health);

 private:
  TChList& list_;
  xmlNodePtr node_;
};

// The health element of a channel entry as a record; none when it is damaged (a value
// that does not read, or a text over its bound).
std::optional<FeedHealth> ReadHealthRecord(const xmlNode* health);

// A channel log base name from a feed URL: the gateway's own address and port and the
// scheme are dropped, the characters \ / : ; * ? " < > | = + & . become "_". A name
// whose log file name would be longer than the file system allows is shortened by
// FitLogFileName.
std::string ChannelFileName(std::string_view url);

// The longest file name (one path component, in its UTF-8 form on disk) a log may have.
inline constexpr size_t kMaxLogFileNameBytes = 255;

// A base name (Shift_JIS) whose log file name, base name and ".xml", fits in
// kMaxLogFileNameBytes on disk is returned as it is. A longer one becomes its first whole
// characters, "_" and the FNV-1a hash of the whole name in 16 hexadecimal digits: always
// the same for the same name, and still readable.
std::string FitLogFileName(const std::string& baseName);

}  // namespace norvane
