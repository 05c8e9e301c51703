#pragma once
#include <libxml/tree.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace norvane {

// One stored item as the archive keeps it. Texts are the document's own (UTF-8), so
// nothing Shift_JIS lacks is lost on the way to a page.
struct ArchiveItem {
  // The scrapbooks test a title or a description only where the item has one.
  bool hasTitle = false, hasDescription = false;
  std::string title, link, description;
  std::string published;  // dc:date or pubDate as written
  std::string revday;     // when it first came in (rg:revday)
  int mark = 0;           // ItemMark
  uint64_t digest = 0;    // ItemDigest of link, title and description
  int64_t date = 0;       // for the order of results: seconds since 1970, 0 unknown
};

enum ItemMark { kMarkNone = 0, kMarkNew = 1, kMarkToday = 2, kMarkLog = 3 };
// "new", "today", "log" or "" for a mark.
const char* MarkName(int mark);

// A file the archive reads: a channel log or the feed file of a scrapbook.
struct SourceFile {
  std::string path;   // program path (Shift_JIS)
  bool book = false;  // a scrapbook's feed
  std::string stamp;  // FileStamp when listed
};

// Everything the archive knows of one source.
struct ArchiveSource {
  SourceFile file;
  std::string url;    // the feed URL, Shift_JIS (a book: "scrap.xml?u=<name>.keys")
  std::string title;  // the channel's title and link (UTF-8)
  std::string link;
  std::vector<ArchiveItem> items;  // in file order
};

// The modification time and size of a file as one text; empty when it does not exist.
std::string FileStamp(const std::string& programPath);

// The sources on disk: every channel log of "channels/" (not the channel list) and the
// feed file of every scrapbook that has its keyword file, in a fixed order. Logs of the
// program's own search feeds are left out: their items are in the archive already.
std::vector<SourceFile> ListSourceFiles();
// Whether path names a file ListSourceFiles would list (it need not exist).
bool IsSourcePath(const std::string& programPath, bool* book = nullptr);

// Reads a source. Throws XmlError when the file does not load; a file that is no feed
// gives a source without items.
ArchiveSource ReadSource(const SourceFile& file);

// The identity of an item: a hash of its link, title and description as the document
// holds them. Two keeps of one item, or of the same item in two feeds, give one value.
uint64_t ItemDigest(std::string_view link, std::string_view title, std::string_view description);
std::string DigestText(uint64_t digest);  // 16 lowercase hexadecimal digits
// The record of an item element of a feed or log (title, link and description are the
// first children so named, as the scrapbooks read them).
ArchiveItem ReadItem(const xmlNode* item);
// The document's own text of a node (UTF-8).
std::string DomText(const xmlNode* node);
// The first child element whose qualified name, as written, is name.
xmlNodePtr ChildElement(const xmlNode* parent, std::string_view name);
// An item's date as published: dc:date (by its namespace, or written so), else pubDate.
xmlNodePtr PublishedElement(const xmlNode* item);
// A child in the program's rg namespace (or written "rg:" + local before a parse).
xmlNodePtr RgElement(const xmlNode* parent, const char* local);

// Whether a feed URL is the program's own address of route (on localhost, 127.0.0.1 or
// the local address).
bool IsOwnRoute(const std::string& url, std::string_view route);

// Seconds since 1970 of a date in ISO 8601 or RFC 822; 0 for anything else.
int64_t DateSeconds(std::string_view text);

}  // namespace norvane
