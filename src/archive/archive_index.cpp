#include "archive/archive_index.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <unordered_map>

#include "archive/item_grams.h"
#include "core/fnv_hash.h"
#include "core/sjis.h"

namespace norvane {

namespace {

// Each connection keeps at most this much of the file in memory (KiB). Nothing is
// flushed to the disk: the index is a cache, and an index a power loss damaged is made
// anew at the next start, while flushes would make the logs' own writes wait.
constexpr const char* kConnectionSetup =
    "PRAGMA cache_size=-1024; PRAGMA temp_store=MEMORY; PRAGMA synchronous=OFF;";

const std::string kSchema =
    "CREATE TABLE sources(id INTEGER PRIMARY KEY, path BLOB NOT NULL UNIQUE, book INTEGER NOT NULL,"
    " url BLOB NOT NULL, title TEXT NOT NULL, link TEXT NOT NULL, stamp TEXT NOT NULL);"
    "CREATE TABLE items(id INTEGER PRIMARY KEY, source INTEGER NOT NULL, pos INTEGER NOT NULL,"
    " date INTEGER NOT NULL, mark INTEGER NOT NULL, digest INTEGER NOT NULL, extra INTEGER NOT NULL,"
    " blob BLOB NOT NULL);"
    "CREATE INDEX items_of_source ON items(source);"
    "CREATE VIRTUAL TABLE words USING fts5(w, content='', detail=none, columnsize=0, tokenize='ascii');"
    "PRAGMA user_version=" + std::to_string(kIndexLayout) + ";";

// What may change of an item that keeps its identity: its dates (they are not part of
// the digest).
int64_t ExtraOf(const ArchiveItem& item) {
  return static_cast<int64_t>(Fnv1a64(item.published + '\0' + item.revday + '\0' +
                                      std::to_string(item.hasTitle) + std::to_string(item.hasDescription)));
}

std::string WordsOf(std::string_view title, std::string_view description) {
  return ItemGrams(Utf8ToSjis(title), Utf8ToSjis(description));
}

bool Healthy(SqliteDb& db) {
  SqliteStatement check(db.get(), "PRAGMA quick_check");
  return check.Step() && check.Bytes(0) == "ok";
}

}  // namespace

std::string PackItem(const ArchiveItem& item) {
  std::string blob;
  blob.reserve(item.title.size() + item.link.size() + item.description.size() + item.published.size() +
               item.revday.size() + 5);
  blob.push_back(static_cast<char>('0' + (item.hasTitle ? 1 : 0) + (item.hasDescription ? 2 : 0)));
  for (const std::string* part : {&item.title, &item.link, &item.description, &item.published, &item.revday}) {
    if (part != &item.title) blob.push_back('\0');
    blob += *part;
  }
  return blob;
}

namespace {

// The flags and the first count parts of a packed item, as views of it.
template <size_t count>
std::array<std::string_view, count> PackedParts(std::string_view blob, bool& hasTitle, bool& hasDescription) {
  std::array<std::string_view, count> parts{};
  if (blob.empty()) return parts;
  const int present = blob[0] - '0';
  hasTitle = present & 1;
  hasDescription = present & 2;
  blob.remove_prefix(1);
  size_t at = 0;
  for (std::string_view& part : parts) {
    if (at > blob.size()) break;
    const size_t end = std::min(blob.find('\0', at), blob.size());
    part = blob.substr(at, end - at);
    at = end + 1;
  }
  return parts;
}

}  // namespace

ArchiveItem UnpackItem(std::string_view blob) {
  ArchiveItem item;
  const auto parts = PackedParts<5>(blob, item.hasTitle, item.hasDescription);
  std::string* fields[] = {&item.title, &item.link, &item.description, &item.published, &item.revday};
  for (size_t i = 0; i < parts.size(); ++i) fields[i]->assign(parts[i]);
  return item;
}

PackedTexts PackedTextsOf(std::string_view blob) {
  PackedTexts t;
  const auto parts = PackedParts<3>(blob, t.hasTitle, t.hasDescription);
  t.title = parts[0];
  t.description = parts[2];
  return t;
}

void RemoveIndexFiles(const std::string& diskPath) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) unlink((diskPath + suffix).c_str());
}

std::unique_ptr<SqliteDb> OpenIndexForWriting(const std::string& diskPath, bool& made) {
  made = false;
  for (int attempt = 0;; ++attempt) {
    try {
      auto db = std::make_unique<SqliteDb>(diskPath, true);
      db->Exec(kConnectionSetup);
      db->Exec("PRAGMA journal_mode=WAL");
      const int64_t layout = db->Scalar("PRAGMA user_version");
      const int64_t tables = db->Scalar("SELECT count(*) FROM sqlite_master");
      if (layout == 0 && tables == 0) {
        SqliteTransaction t(*db);
        db->Exec(kSchema);
        t.Commit();
        made = true;
        return db;
      }
      if (layout == kIndexLayout && Healthy(*db)) return db;
    } catch (const SqliteError& e) {
      if (!e.Damaged() || attempt > 0) throw;
    }
    if (attempt > 0) throw SqliteError(SQLITE_CORRUPT, "the index cannot be made anew");
    // Another layout, or damaged: the cache is made again from the logs.
    RemoveIndexFiles(diskPath);
  }
}

std::unique_ptr<SqliteDb> OpenIndexForReading(const std::string& diskPath) {
  auto db = std::make_unique<SqliteDb>(diskPath, false);
  db->Exec(kConnectionSetup);
  return db;
}

std::map<std::string, std::string> IndexWriter::Stamps() {
  std::map<std::string, std::string> stamps;
  SqliteStatement s(db_.get(), "SELECT path, stamp FROM sources");
  while (s.Step()) stamps.emplace(std::string(s.Bytes(0)), std::string(s.Bytes(1)));
  return stamps;
}

int64_t IndexWriter::SourceId(const std::string& path, bool create) {
  SqliteStatement find(db_.get(), "SELECT id FROM sources WHERE path = ?");
  find.BindBlob(1, path);
  if (find.Step()) return find.Int(0);
  if (!create) return 0;
  SqliteStatement add(db_.get(), "INSERT INTO sources(path, book, url, title, link, stamp) VALUES(?, 0, '', '', '', '')");
  add.BindBlob(1, path).Run();
  return db_.LastInsertRowId();
}

void IndexWriter::DropItem(int64_t id, std::string_view blob) {
  // A contentless full-text table forgets a row only when told its words again.
  const ArchiveItem old = UnpackItem(blob);
  SqliteStatement forget(db_.get(), "INSERT INTO words(words, rowid, w) VALUES('delete', ?, ?)");
  forget.Bind(1, id).Bind(2, WordsOf(old.title, old.description)).Run();
  SqliteStatement drop(db_.get(), "DELETE FROM items WHERE id = ?");
  drop.Bind(1, id).Run();
}

void IndexWriter::Update(const ArchiveSource& source) {
  SqliteTransaction t(db_);
  const int64_t id = SourceId(source.file.path, true);
  SqliteStatement info(db_.get(), "UPDATE sources SET book = ?, url = ?, title = ?, link = ?, stamp = ? WHERE id = ?");
  info.Bind(1, source.file.book ? 1 : 0)
      .BindBlob(2, source.url)
      .Bind(3, source.title)
      .Bind(4, source.link)
      .Bind(5, source.file.stamp)
      .Bind(6, id)
      .Run();

  struct Row {
    int64_t id, pos, date, mark, extra;
  };
  std::unordered_multimap<uint64_t, Row> rows;
  {
    SqliteStatement s(db_.get(), "SELECT id, digest, pos, date, mark, extra FROM items WHERE source = ?");
    s.Bind(1, id);
    while (s.Step())
      rows.emplace(static_cast<uint64_t>(s.Int(1)), Row{s.Int(0), s.Int(2), s.Int(3), s.Int(4), s.Int(5)});
  }
  SqliteStatement add(db_.get(),
                      "INSERT INTO items(source, pos, date, mark, digest, extra, blob) VALUES(?, ?, ?, ?, ?, ?, ?)");
  SqliteStatement words(db_.get(), "INSERT INTO words(rowid, w) VALUES(?, ?)");
  SqliteStatement place(db_.get(), "UPDATE items SET pos = ?, date = ?, mark = ? WHERE id = ?");
  SqliteStatement rewrite(db_.get(), "UPDATE items SET pos = ?, date = ?, mark = ?, extra = ?, blob = ? WHERE id = ?");
  for (size_t pos = 0; pos < source.items.size(); ++pos) {
    const ArchiveItem& item = source.items[pos];
    const int64_t extra = ExtraOf(item);
    auto found = rows.find(item.digest);
    if (found != rows.end()) {
      const Row row = found->second;
      rows.erase(found);
      if (row.extra != extra) {
        rewrite.Bind(1, static_cast<int64_t>(pos)).Bind(2, item.date).Bind(3, item.mark).Bind(4, extra);
        rewrite.BindBlob(5, PackItem(item)).Bind(6, row.id).Run();
      } else if (row.pos != static_cast<int64_t>(pos) || row.date != item.date || row.mark != item.mark) {
        place.Bind(1, static_cast<int64_t>(pos)).Bind(2, item.date).Bind(3, item.mark).Bind(4, row.id).Run();
      }
      continue;
    }
    add.Bind(1, id).Bind(2, static_cast<int64_t>(pos)).Bind(3, item.date).Bind(4, item.mark);
    add.Bind(5, static_cast<int64_t>(item.digest)).Bind(6, extra).BindBlob(7, PackItem(item)).Run();
    words.Bind(1, db_.LastInsertRowId()).Bind(2, WordsOf(item.title, item.description)).Run();
  }
  if (!rows.empty()) {
    SqliteStatement blob(db_.get(), "SELECT blob FROM items WHERE id = ?");
    for (const auto& [digest, row] : rows) {
      blob.Bind(1, row.id);
      const std::string bytes = blob.Step() ? std::string(blob.Bytes(0)) : std::string();
      blob.Reset();
      DropItem(row.id, bytes);
    }
  }
  t.Commit();
}

void IndexWriter::Remove(const std::string& path) {
  SqliteTransaction t(db_);
  const int64_t id = SourceId(path, false);
  if (id) {
    std::vector<std::pair<int64_t, std::string>> items;
    {
      SqliteStatement s(db_.get(), "SELECT id, blob FROM items WHERE source = ?");
      s.Bind(1, id);
      while (s.Step()) items.emplace_back(s.Int(0), std::string(s.Bytes(1)));
    }
    for (const auto& [item, blob] : items) DropItem(item, blob);
    SqliteStatement drop(db_.get(), "DELETE FROM sources WHERE id = ?");
    drop.Bind(1, id).Run();
  }
  t.Commit();
}

void IndexWriter::Clear() {
  SqliteTransaction t(db_);
  db_.Exec("DELETE FROM items; DELETE FROM sources; INSERT INTO words(words) VALUES('delete-all');");
  t.Commit();
}

std::map<int64_t, IndexedSource> IndexReader::Sources() {
  std::map<int64_t, IndexedSource> sources;
  SqliteStatement s(db_.get(), "SELECT id, path, book, url, title, link FROM sources");
  while (s.Step())
    sources.emplace(s.Int(0), IndexedSource{std::string(s.Bytes(1)), s.Int(2) != 0, std::string(s.Bytes(3)),
                                            std::string(s.Bytes(4)), std::string(s.Bytes(5))});
  return sources;
}

void IndexReader::ForEachItem(const std::string& gramQuery, const std::function<void(const IndexedItem&)>& visit) {
  const bool all = gramQuery.empty();
  SqliteStatement s(db_.get(), all ? "SELECT id, source, pos, date, mark, blob FROM items"
                                   : "SELECT i.id, i.source, i.pos, i.date, i.mark, i.blob FROM words"
                                     " JOIN items i ON i.id = words.rowid WHERE words MATCH ?");
  if (!all) s.Bind(1, gramQuery);
  while (s.Step()) {
    IndexedItem item{s.Int(0), s.Int(1), s.Int(2), s.Int(3), static_cast<int>(s.Int(4)), s.Bytes(5)};
    visit(item);
  }
}

std::string IndexReader::Blob(int64_t id) {
  SqliteStatement s(db_.get(), "SELECT blob FROM items WHERE id = ?");
  s.Bind(1, id);
  return s.Step() ? std::string(s.Bytes(0)) : std::string();
}

int64_t IndexReader::ItemCount() { return db_.Scalar("SELECT count(*) FROM items"); }

}  // namespace norvane
