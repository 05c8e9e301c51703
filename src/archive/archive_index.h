#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_source.h"
#include "archive/sqlite_db.h"

namespace norvane {

// The archive index on disk (SQLite): every source with the stamp of the file it was
// read from, every item with its texts, and the full-text words of each item (FTS5,
// contentless, rowids only). It is a cache: the logs and scrapbooks are the truth, and
// a file whose layout is another, or that is damaged, is replaced by an empty one.
inline constexpr int kIndexLayout = 1;

// The stored texts of an item, in one blob.
std::string PackItem(const ArchiveItem& item);
ArchiveItem UnpackItem(std::string_view blob);
// What the matcher reads of a packed item, without copying it: the title and the
// description, each with whether the item has one.
struct PackedTexts {
  bool hasTitle = false, hasDescription = false;
  std::string_view title, description;
};
PackedTexts PackedTextsOf(std::string_view blob);

// Opens the index for writing, making it (empty) when missing, of another layout or
// damaged; made tells which. Throws SqliteError when the file cannot be had at all (a
// folder that cannot be written, a full disk).
std::unique_ptr<SqliteDb> OpenIndexForWriting(const std::string& diskPath, bool& made);
// Opens an existing index for reading. Throws SqliteError.
std::unique_ptr<SqliteDb> OpenIndexForReading(const std::string& diskPath);
// Removes the index file and what SQLite keeps beside it.
void RemoveIndexFiles(const std::string& diskPath);

// The writing side, on one thread.
class IndexWriter {
 public:
  explicit IndexWriter(SqliteDb& db) : db_(db) {}
  // The stamp of every source, by program path.
  std::map<std::string, std::string> Stamps();
  // Brings the source's items in line with what it holds now, in one transaction: new
  // items are added with their words, gone ones removed, the others updated in place.
  void Update(const ArchiveSource& source);
  void Remove(const std::string& path);
  // Empties the index.
  void Clear();

 private:
  int64_t SourceId(const std::string& path, bool create);
  void DropItem(int64_t id, std::string_view blob);
  SqliteDb& db_;
};

// One source as a search shows it.
struct IndexedSource {
  std::string path;
  bool book = false;
  std::string url;  // Shift_JIS
  std::string title, link;
};

// One item a search may show: where it stands and what it holds.
struct IndexedItem {
  int64_t id = 0, source = 0, pos = 0, date = 0;
  int mark = 0;
  std::string_view blob;  // PackItem's bytes, valid during the callback only
};

// The reading side, on any thread but one at a time.
class IndexReader {
 public:
  explicit IndexReader(SqliteDb& db) : db_(db) {}
  std::map<int64_t, IndexedSource> Sources();
  // Every item whose words answer the query (FTS5), or every item when it is empty.
  void ForEachItem(const std::string& gramQuery, const std::function<void(const IndexedItem&)>& visit);
  // The blob of one item; empty when it is gone.
  std::string Blob(int64_t id);
  int64_t ItemCount();

 private:
  SqliteDb& db_;
};

}  // namespace norvane
