#include "archive/archive_source.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "core/civil_date.h"
#include "core/disk_path.h"
#include "core/fnv_hash.h"
#include "core/program_files.h"
#include "core/route_names.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "core/url_helpers.h"
#include "feeds/feed_date.h"
#include "feeds/rg_namespace.h"
#include "feeds/rss2.h"
#include "feeds/rxml.h"
#include "feeds/xml_node.h"
#include "feeds/xml_path.h"

namespace norvane {

namespace {

constexpr const char* kDublinCore = "http://purl.org/dc/elements/1.1/";

bool InNamespace(const xmlNode* e, const char* href, const char* local) {
  return e->ns && e->ns->href && std::strcmp(reinterpret_cast<const char*>(e->ns->href), href) == 0 &&
         std::strcmp(reinterpret_cast<const char*>(e->name), local) == 0;
}

}  // namespace

xmlNodePtr RgElement(const xmlNode* parent, const char* local) {
  const std::string written = std::string("rg:") + local;
  for (xmlNodePtr c = parent ? parent->children : nullptr; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE) continue;
    if (InNamespace(c, kRgNamespace, local) || HasQualifiedName(c, written)) return c;
  }
  return nullptr;
}

xmlNodePtr PublishedElement(const xmlNode* item) {
  for (xmlNodePtr c = item->children; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE) continue;
    if (InNamespace(c, kDublinCore, "date") || HasQualifiedName(c, "dc:date")) return c;
  }
  return ChildElement(item, "pubDate");
}

bool IsOwnRoute(const std::string& url, std::string_view route) {
  const std::string lower = AsciiLower(url);
  if (lower.find(route) == std::string::npos) return false;
  const std::string local = AsciiLower(GetSettings().LocalAddress);
  return lower.find("://localhost") != std::string::npos || lower.find("://127.0.0.1") != std::string::npos ||
         (!local.empty() && lower.find("://" + local) != std::string::npos);
}

const char* MarkName(int mark) {
  switch (mark) {
    case kMarkNew: return "new";
    case kMarkToday: return "today";
    case kMarkLog: return "log";
    default: return "";
  }
}

std::string FileStamp(const std::string& programPath) {
  struct stat st {};
  if (stat(DiskPath(programPath).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + ":" +
         std::to_string(st.st_size);
}

bool IsSourcePath(const std::string& programPath, bool* book) {
  const std::string channels = std::string(files::kChannels) + "/";
  const std::string scrap = std::string(files::kScrap) + "/";
  auto endsXml = [](const std::string& p) { return p.size() > 4 && AsciiLower(p.substr(p.size() - 4)) == ".xml"; };
  if (!endsXml(programPath)) return false;
  if (programPath.rfind(channels, 0) == 0) {
    if (book) *book = false;
    return programPath != files::ChannelListPath() && programPath.find('/', channels.size()) == std::string::npos;
  }
  if (programPath.rfind(scrap, 0) == 0 && programPath.find('/', scrap.size()) == std::string::npos) {
    if (book) *book = true;
    return FileExists(DiskPath(programPath.substr(0, programPath.size() - 4) + ".keys"));
  }
  return false;
}

std::vector<SourceFile> ListSourceFiles() {
  namespace fs = std::filesystem;
  std::vector<SourceFile> found;
  for (std::string_view folder : {files::kChannels, files::kScrap}) {
    std::error_code ec;
    fs::directory_iterator it(DiskPath(folder), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      std::error_code typeEc;
      if (!it->is_regular_file(typeEc)) continue;
      const std::string disk = it->path().filename().string();
      const std::string name = Utf8ToSjis(disk);
      if (SjisToUtf8(name) != disk) continue;  // no program path reaches it
      SourceFile f;
      f.path = files::Join(folder, name);
      if (!IsSourcePath(f.path, &f.book)) continue;
      f.stamp = FileStamp(f.path);
      if (!f.stamp.empty()) found.push_back(std::move(f));
    }
  }
  std::sort(found.begin(), found.end(), [](const SourceFile& a, const SourceFile& b) { return a.path < b.path; });
  return found;
}

std::string DomText(const xmlNode* node) {
  if (!node) return {};
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = content ? reinterpret_cast<const char*>(content) : "";
  xmlFree(content);
  return text;
}

xmlNodePtr ChildElement(const xmlNode* parent, std::string_view name) {
  for (xmlNodePtr c = parent ? parent->children : nullptr; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE && HasQualifiedName(c, name)) return c;
  return nullptr;
}

uint64_t ItemDigest(std::string_view link, std::string_view title, std::string_view description) {
  std::string bytes;
  bytes.reserve(link.size() + title.size() + description.size() + 2);
  bytes.append(link).push_back('\0');
  bytes.append(title).push_back('\0');
  bytes.append(description);
  return Fnv1a64(bytes);
}

std::string DigestText(uint64_t digest) {
  static const char* hex = "0123456789abcdef";
  std::string s(16, '0');
  for (int i = 15; i >= 0; --i, digest >>= 4) s[static_cast<size_t>(i)] = hex[digest & 15];
  return s;
}

int64_t DateSeconds(std::string_view text) {
  const std::string iso = IsoDate(text);
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (iso.size() < 10 || std::sscanf(iso.c_str(), "%4d-%2d-%2d", &y, &mo, &d) != 3) return 0;
  if (mo < 1 || mo > 12 || d < 1 || d > 31) return 0;
  size_t at = 10;
  int64_t offset = 0;
  if (at < iso.size() && iso[at] == 'T') {
    int used = 0;
    if (std::sscanf(iso.c_str() + at + 1, "%2d:%2d%n", &h, &mi, &used) != 2) return 0;
    at += 1 + static_cast<size_t>(used);
    if (at < iso.size() && iso[at] == ':') {
      if (std::sscanf(iso.c_str() + at + 1, "%2d%n", &s, &used) != 1) return 0;
      at += 1 + static_cast<size_t>(used);
    }
    while (at < iso.size() && (iso[at] == '.' || (iso[at] >= '0' && iso[at] <= '9'))) ++at;
    if (at < iso.size() && (iso[at] == '+' || iso[at] == '-')) {
      int oh = 0, om = 0;
      if (std::sscanf(iso.c_str() + at + 1, "%2d:%2d", &oh, &om) == 2)
        offset = (iso[at] == '+' ? 1 : -1) * (oh * 3600 + om * 60);
    }
  }
  const int64_t days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
  return days * 86400 + h * 3600 + mi * 60 + s - offset;
}

ArchiveItem ReadItem(const xmlNode* item) {
  ArchiveItem a;
  const xmlNode* title = ChildElement(item, "title");
  const xmlNode* description = ChildElement(item, "description");
  a.hasTitle = title != nullptr;
  a.hasDescription = description != nullptr;
  a.title = DomText(title);
  a.link = DomText(ChildElement(item, "link"));
  a.description = DomText(description);
  a.published = DomText(PublishedElement(item));
  a.revday = DomText(RgElement(item, "revday"));
  if (xmlNodePtr log = RgElement(item, "log")) {
    xmlChar* type = xmlGetProp(log, BAD_CAST "type");
    const std::string t = type ? reinterpret_cast<const char*>(type) : "";
    xmlFree(type);
    a.mark = t == "new" ? kMarkNew : t == "today" ? kMarkToday : t == "log" ? kMarkLog : kMarkNone;
  }
  a.digest = ItemDigest(a.link, a.title, a.description);
  // A date from the future cannot be newer than the day the item came in.
  const int64_t published = DateSeconds(a.published), arrived = DateSeconds(a.revday);
  a.date = published && (!arrived || published <= arrived) ? published : arrived;
  return a;
}

ArchiveSource ReadSource(const SourceFile& file) {
  ArchiveSource source;
  source.file = file;
  TRXML doc;
  doc.LoadOwnFile(file.path);
  if (file.book) {
    const std::string fileName = file.path.substr(file.path.rfind('/') + 1);
    const std::string name = fileName.substr(0, fileName.size() - 4);
    source.url = std::string(routes::kScrapXml) + "?u=" + name + ".keys";
    source.title = SjisToUtf8(name);
    for (xmlNodePtr item : doc.SelectNodes("rss/channel/item")) source.items.push_back(ReadItem(item));
    return source;
  }
  const std::string version = DetectRSSVersion(doc);
  if (version.empty()) return source;
  const FeedPaths& paths = PathsForVersion(version);
  xmlNodePtr title = doc.SelectSingleNode(paths.title);
  source.title = DomText(title);
  source.link = DomText(doc.SelectSingleNode(paths.link));
  source.url = NodeText(RgElement(title ? title->parent : nullptr, "link"));
  // The program's own search feeds, as a group lists them: their items are the archive's.
  if (IsOwnRoute(source.url, routes::kFindXml)) return source;
  for (xmlNodePtr item : doc.SelectNodes(paths.items)) source.items.push_back(ReadItem(item));
  return source;
}

}  // namespace norvane
