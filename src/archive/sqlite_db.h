#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace norvane {

// A failed SQLite call: the library's primary result code and its message.
class SqliteError : public std::runtime_error {
 public:
  SqliteError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int code() const { return code_ & 0xFF; }
  // The file is no database, or a damaged one: only building it anew helps.
  bool Damaged() const { return code() == SQLITE_CORRUPT || code() == SQLITE_NOTADB; }

 private:
  int code_;
};

// One prepared statement, finalized with its owner. Bind from 1, read columns from 0.
class SqliteStatement {
 public:
  SqliteStatement(sqlite3* db, std::string_view sql);
  ~SqliteStatement();
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  SqliteStatement& Bind(int index, int64_t value);
  // Text and blobs are copied by the library.
  SqliteStatement& Bind(int index, std::string_view text);
  SqliteStatement& BindBlob(int index, std::string_view bytes);
  // True while a row is there to read; false when done. Throws SqliteError.
  bool Step();
  // Steps to the end (a statement without rows), then resets.
  void Run();
  // Ready to run again, bindings cleared.
  void Reset();

  int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  // Text or blob bytes of the current row, valid until the next Step or Reset.
  std::string_view Bytes(int column) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// One connection to a database file, closed with its owner. A connection is used by one
// thread at a time.
class SqliteDb {
 public:
  // Opens (creating when create) the file at diskPath. Throws SqliteError.
  SqliteDb(const std::string& diskPath, bool create);
  ~SqliteDb();
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  sqlite3* get() const { return db_; }
  // Runs statements without results. Throws SqliteError.
  void Exec(const std::string& sql);
  // The first column of the first row of a query, as an integer (0 without a row).
  int64_t Scalar(const std::string& sql);
  int64_t LastInsertRowId() const { return sqlite3_last_insert_rowid(db_); }

 private:
  sqlite3* db_ = nullptr;
};

// A transaction that rolls back unless committed.
class SqliteTransaction {
 public:
  explicit SqliteTransaction(SqliteDb& db);
  ~SqliteTransaction();
  SqliteTransaction(const SqliteTransaction&) = delete;
  SqliteTransaction& operator=(const SqliteTransaction&) = delete;
  void Commit();

 private:
  SqliteDb& db_;
  bool open_ = true;
};

// Throws SqliteError for a result code that is not OK, ROW or DONE.
void CheckSqlite(sqlite3* db, int rc);

}  // namespace norvane
