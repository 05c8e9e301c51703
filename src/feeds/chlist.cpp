#include "feeds/chlist.h"

#include <cstdio>

#include "core/disk_path.h"
#include "core/fnv_hash.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "core/texts.h"
#include "core/url_helpers.h"
#include "feeds/xml_encoding.h"
#include "feeds/xml_node.h"
#include "feeds/xml_path.h"

namespace norvane {

namespace {

// Removes the first occurrence of what, compared without regard to ASCII letter case.
void EraseFirstNoCase(std::string& text, std::string_view what) {
  if (what.empty() || what.size() > text.size()) return;
  for (size_t i = 0; i + what.size() <= text.size(); ++i) {
    if (SameAsciiName(std::string_view(text).substr(i, what.size()), what)) {
      text.erase(i, what.size());
      return;
    }
  }
}

// The list lives as long as the program: a replaced element is freed, not left detached.
void FreeNode(xmlNodePtr node) {
  xmlUnlinkNode(node);
  xmlFreeNode(node);
}

std::string DomText(const xmlNode* element) {
  xmlChar* c = xmlNodeGetContent(element);
  std::string s = c ? reinterpret_cast<const char*>(c) : "";
  xmlFree(c);
  return s;
}

// The names of the health record's elements, in the order they are written.
constexpr const char* kLastFetch = "lastFetch";
constexpr const char* kOutcome = "outcome";
constexpr const char* kDetail = "detail";
constexpr const char* kFailingSince = "failingSince";
constexpr const char* kFailures = "failures";
constexpr const char* kLastSuccess = "lastSuccess";
constexpr const char* kNotBefore = "notBefore";
constexpr const char* kMovedTo = "movedTo";
constexpr const char* kBodyHash = "bodyHash";
constexpr size_t kMaxHashText = 64;

bool ReadTime(const xmlNode* element, std::time_t& out) {
  std::optional<std::time_t> when = ParseIsoTime(NodeText(element));
  if (!when) return false;
  out = *when;
  return true;
}

bool ReadCount(const std::string& text, long limit, long& out) {
  if (text.empty() || text.size() > 9) return false;
  out = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  return out <= limit;
}

void WriteHealthRecord(TRXML& doc, xmlNodePtr health, const FeedHealth& h) {
  auto time = [&](const char* name, std::time_t when) {
    if (when) doc.AddChild(health, name, IsoTime(when));
  };
  time(kLastFetch, h.lastFetch);
  xmlNodePtr outcome = doc.AddChild(health, kOutcome, FetchOutcomeKindName(h.outcome));
  if (h.status) SetAttribute(outcome, "status", std::to_string(h.status));
  if (!h.detail.empty()) doc.AddChild(health, kDetail, h.detail);
  time(kFailingSince, h.failingSince);
  if (h.failures) doc.AddChild(health, kFailures, std::to_string(h.failures));
  time(kLastSuccess, h.lastSuccess);
  if (h.notBefore) {
    xmlNodePtr wait = doc.AddChild(health, kNotBefore, IsoTime(h.notBefore));
    SetAttribute(wait, "binds", h.bindsEveryone ? "everyone" : "patrol");
  }
  if (!h.movedTo.empty()) doc.AddChild(health, kMovedTo, h.movedTo);
  if (!h.bodyHash.empty()) doc.AddChild(health, kBodyHash, h.bodyHash);
}

}  // namespace

std::optional<FeedHealth> ReadHealthRecord(const xmlNode* health) {
  FeedHealth h;
  for (xmlNodePtr e = FirstChildElement(health); e; e = NextSiblingElement(e)) {
    bool read = true;
    if (HasQualifiedName(e, kLastFetch)) {
      read = ReadTime(e, h.lastFetch);
    } else if (HasQualifiedName(e, kOutcome)) {
      std::optional<FetchOutcomeKind> kind = FetchOutcomeKindFromName(NodeText(e));
      const std::string status = GetAttribute(e, "status");
      long code = 0;
      read = kind && (status.empty() || ReadCount(status, 999, code));
      if (read) {
        h.outcome = *kind;
        h.status = code;
      }
    } else if (HasQualifiedName(e, kDetail)) {
      h.detail = NodeText(e);
      read = h.detail.size() <= kMaxHealthDetail;
    } else if (HasQualifiedName(e, kFailingSince)) {
      read = ReadTime(e, h.failingSince);
    } else if (HasQualifiedName(e, kFailures)) {
      long n = 0;
      read = ReadCount(NodeText(e), 1000000, n);
      h.failures = static_cast<int>(n);
    } else if (HasQualifiedName(e, kLastSuccess)) {
      read = ReadTime(e, h.lastSuccess);
    } else if (HasQualifiedName(e, kNotBefore)) {
      read = ReadTime(e, h.notBefore);
      h.bindsEveryone = GetAttribute(e, "binds") == "everyone";
    } else if (HasQualifiedName(e, kMovedTo)) {
      h.movedTo = NodeText(e);
      read = h.movedTo.size() <= kMaxHealthUrl;
    } else if (HasQualifiedName(e, kBodyHash)) {
      h.bodyHash = NodeText(e);
      read = h.bodyHash.size() <= kMaxHashText;
    }
    // An element of a later version is passed over.
    if (!read) return std::nullopt;
  }
  return h;
}

std::string ChannelFileName(std::string_view url) {
  if (url.empty()) return {};
  Settings s = GetSettings();
  std::string name(url);
  std::string port = std::to_string(s.PORT);
  EraseFirstNoCase(name, "http://" + s.LocalAddress + ":" + port + "/");
  EraseFirstNoCase(name, "http://localhost:" + port + "/");
  if (name.find("://") != std::string::npos) name.erase(0, std::min<size_t>(7, name.size()));
  static constexpr std::string_view kReplaced = "\\/:;*?\"<>|=+&.";
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(name[i]);
    if (IsSjisLead(b) && i + 1 < name.size()) {
      ++i;  // a trail byte may look like "\" or "|" but is part of the character
      continue;
    }
    if (kReplaced.find(name[i]) != std::string_view::npos) name[i] = '_';
  }
  size_t begin = 0, end = name.size();
  while (begin < end && static_cast<unsigned char>(name[begin]) <= 0x20) ++begin;
  while (end > begin && static_cast<unsigned char>(name[end - 1]) <= 0x20) --end;
  return FitLogFileName(name.substr(begin, end - begin));
}

std::string FitLogFileName(const std::string& baseName) {
  constexpr size_t kExtension = 4;  // ".xml"
  auto diskBytes = [](std::string_view sjis) { return SjisToUtf8(sjis).size() + kExtension; };
  if (diskBytes(baseName) <= kMaxLogFileNameBytes) return baseName;
  const std::string suffix = "_" + Fnv1a64Hex(baseName);
  const size_t budget = kMaxLogFileNameBytes - kExtension - suffix.size();
  // Whole characters only, so no half of a double-byte character is left at the cut.
  std::string prefix;
  size_t used = 0;
  for (size_t i = 0; i < baseName.size();) {
    size_t len = IsSjisLead(static_cast<unsigned char>(baseName[i])) && i + 1 < baseName.size() ? 2 : 1;
    const size_t bytes = SjisToUtf8(std::string_view(baseName).substr(i, len)).size();
    if (used + bytes > budget) break;
    prefix.append(baseName, i, len);
    used += bytes;
    i += len;
  }
  if (diskBytes(prefix + suffix) > kMaxLogFileNameBytes) prefix.clear();  // the hash alone still names it
  return prefix + suffix;
}

TChList::TChList(std::string path) : path_(std::move(path)) {
  std::string disk = DiskPath(path_);
  if (!FileExists(disk)) {
    StartEmpty();
    return;
  }
  bool loaded = false;
  try {
    LoadFromFile(path_);
    xmlNodePtr root = DocumentElement();
    loaded = root && HasQualifiedName(root, "channels");
  } catch (const std::exception&) {
  }
  if (!loaded) {
    SetAside();
    StartEmpty();
    return;
  }
  IndexEntries();
}

void TChList::StartEmpty() {
  Clear();
  CreateRoot("channels");
}

void TChList::SetAside() {
  std::string disk = DiskPath(path_);
  std::string target = path_ + ".damaged";
  for (int n = 1; FileExists(DiskPath(target)) && n < 1000; ++n)
    target = path_ + ".damaged." + std::to_string(n);
  std::string line;
  if (std::rename(disk.c_str(), DiskPath(target).c_str()) == 0) {
    setAside_ = target;
    line = T().channelListSetAside + target;
  } else {
    line = T().channelListSetAside + path_ + " (rename failed)";
  }
  std::fprintf(stderr, "%s\n", SjisToUtf8(line).c_str());
}

void TChList::IndexEntries() {
  xmlNodePtr root = DocumentElement();
  for (xmlNodePtr c = FirstChildElement(root); c; c = NextSiblingElement(c)) {
    if (!HasQualifiedName(c, "channel")) continue;
    DropDamagedHealth(c);
    for (xmlNodePtr g = FirstChildElement(c); g; g = NextSiblingElement(g)) {
      if (HasQualifiedName(g, "xmlUrl")) {
        index_.emplace(DomText(g), c);  // the first entry of a URL is the one found
        break;
      }
    }
  }
}

void TChList::DropDamagedHealth(xmlNodePtr channel) {
  xmlNodePtr health = FindChild(channel, "health");
  if (!health || ReadHealthRecord(health)) return;
  const xmlNodePtr url = FindChild(channel, "xmlUrl");
  std::fprintf(stderr, "%s\n", SjisToUtf8(T().healthDropped + (url ? NodeText(url) : std::string())).c_str());
  FreeNode(health);
  changed_ = true;
}

std::vector<std::pair<std::string, FeedHealth>> TChList::HealthRecords() const {
  std::vector<std::pair<std::string, FeedHealth>> records;
  std::lock_guard<std::mutex> lock(mutex_);
  for (xmlNodePtr c = FirstChildElement(DocumentElement()); c; c = NextSiblingElement(c)) {
    if (!HasQualifiedName(c, "channel")) continue;
    xmlNodePtr health = FindChild(c, "health");
    xmlNodePtr url = FindChild(c, "xmlUrl");
    if (!health || !url) continue;
    if (std::optional<FeedHealth> h = ReadHealthRecord(health)) records.emplace_back(NodeText(url), std::move(*h));
  }
  return records;
}

bool TChList::MoveEntry(const std::string& from, const std::string& to) {
  const std::string fromKey = SjisToDom(from), toKey = SjisToDom(to);
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = index_.find(fromKey);
  if (it == index_.end() || index_.count(toKey)) return false;
  xmlNodePtr channel = it->second;
  SetNodeText(FindChild(channel, "xmlUrl"), to);
  if (xmlNodePtr health = FindChild(channel, "health")) {
    if (xmlNodePtr moved = FindChild(health, kMovedTo)) FreeNode(moved);
  }
  index_.erase(it);
  index_.emplace(toKey, channel);
  changed_ = true;
  return true;
}

void TChList::Save() {
  std::lock_guard<std::mutex> lock(mutex_);
  SaveToFile(path_);
  changed_ = false;
}

void TChList::SaveIfChanged() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!changed_) return;
  SaveToFile(path_);
  changed_ = false;
}

std::string TChList::GetXML() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return TRXML::GetXML();
}

size_t TChList::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t n = 0;
  for (xmlNodePtr c = FirstChildElement(DocumentElement()); c; c = NextSiblingElement(c))
    if (HasQualifiedName(c, "channel")) ++n;
  return n;
}

xmlNodePtr TChList::FindOrAdd(const std::string& url) {
  // Compared as text, so a URL holding a double quote is found like any other.
  std::string key = SjisToDom(url);
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = index_.find(key);
  if (it != index_.end()) return it->second;
  xmlNodePtr channel = AddChild(DocumentElement(), "channel", "");
  AddChild(channel, "xmlUrl", url);
  AddChild(channel, "file", "");
  AddChild(channel, "httpLastModified", "");
  index_.emplace(std::move(key), channel);
  changed_ = true;
  return channel;
}

xmlNodePtr TChList::FindChild(xmlNodePtr channel, const char* name) {
  for (xmlNodePtr g = FirstChildElement(channel); g; g = NextSiblingElement(g))
    if (HasQualifiedName(g, name)) return g;
  return nullptr;
}

xmlNodePtr TChList::Child(xmlNodePtr channel, const char* name) {
  if (xmlNodePtr found = FindChild(channel, name)) return found;
  return AddChild(channel, name, "");
}

TChItem::TChItem(TChList& list, std::string url)
    : URL(std::move(url)), list_(list), node_(list.FindOrAdd(URL)) {}

std::string TChItem::GetFileName() {
  {
    std::lock_guard<std::mutex> lock(list_.mutex_);
    xmlNodePtr file = list_.Child(node_, "file");
    std::string name = NodeText(file);
    if (!name.empty()) {
      // A name stored too long for the disk never had a log: it takes the short form.
      std::string fitted = FitLogFileName(name);
      if (fitted != name) {
        SetNodeText(file, fitted);
        list_.changed_ = true;
      }
      return fitted;
    }
  }
  std::string derived = ChannelFileName(URL);  // reads the settings: outside the lock
  std::lock_guard<std::mutex> lock(list_.mutex_);
  xmlNodePtr file = list_.Child(node_, "file");
  std::string name = NodeText(file);
  if (name.empty()) {
    SetNodeText(file, derived);
    name = derived;
    list_.changed_ = true;
  }
  return name;
}

std::string TChItem::GetLastModified() const {
  std::lock_guard<std::mutex> lock(list_.mutex_);
  return NodeText(list_.Child(node_, "httpLastModified"));
}

void TChItem::SetLastModified(const std::string& text, bool own) {
  std::lock_guard<std::mutex> lock(list_.mutex_);
  xmlNodePtr date = list_.Child(node_, "httpLastModified");
  const bool wasOwn = GetAttribute(date, "source") == "own";
  if (NodeText(date) == text && wasOwn == own) return;
  SetNodeText(date, text);
  if (own) SetAttribute(date, "source", "own");
  else if (wasOwn) xmlUnsetProp(date, BAD_CAST "source");
  list_.changed_ = true;
}

bool TChItem::LastModifiedIsOwn() const {
  std::lock_guard<std::mutex> lock(list_.mutex_);
  return GetAttribute(list_.Child(node_, "httpLastModified"), "source") == "own";
}

std::string TChItem::GetETag() const {
  std::lock_guard<std::mutex> lock(list_.mutex_);
  xmlNodePtr tag = TChList::FindChild(node_, "httpETag");
  return tag ? NodeText(tag) : std::string();
}

void TChItem::SetETag(const std::string& text) {
  std::lock_guard<std::mutex> lock(list_.mutex_);
  xmlNodePtr tag = TChList::FindChild(node_, "httpETag");
  if (!tag) {
    if (text.empty()) return;
    tag = list_.Child(node_, "httpETag");  // after httpLastModified, the last child
  }
  if (NodeText(tag) == text) return;
  SetNodeText(tag, text);
  list_.changed_ = true;
}

FeedHealth TChItem::GetHealth() const {
  std::lock_guard<std::mutex> lock(list_.mutex_);
  xmlNodePtr health = TChList::FindChild(node_, "health");
  if (!health) return {};
  return ReadHealthRecord(health).value_or(FeedHealth{});
}

void TChItem::SetHealth(const FeedHealth& health) {
  std::lock_guard<std::mutex> lock(list_.mutex_);
  xmlNodePtr old = TChList::FindChild(node_, "health");
  if (old && ReadHealthRecord(old) == health) return;
  if (old) FreeNode(old);
  WriteHealthRecord(list_, list_.AddChild(node_, "health", ""), health);
  list_.changed_ = true;
}

}  // namespace norvane
