#include "archive/sqlite_db.h"

namespace norvane {

void CheckSqlite(sqlite3* db, int rc) {
  if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE) return;
  std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  throw SqliteError(rc, message);
}

SqliteStatement::SqliteStatement(sqlite3* db, std::string_view sql) : db_(db) {
  CheckSqlite(db_, sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr));
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(stmt_); }

SqliteStatement& SqliteStatement::Bind(int index, int64_t value) {
  CheckSqlite(db_, sqlite3_bind_int64(stmt_, index, value));
  return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, std::string_view text) {
  CheckSqlite(db_, sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
  return *this;
}

SqliteStatement& SqliteStatement::BindBlob(int index, std::string_view bytes) {
  CheckSqlite(db_, sqlite3_bind_blob64(stmt_, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT));
  return *this;
}

bool SqliteStatement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  const int code = sqlite3_extended_errcode(db_);
  std::string message = sqlite3_errmsg(db_);
  sqlite3_reset(stmt_);
  throw SqliteError(code, message);
}

void SqliteStatement::Run() {
  while (Step()) {
  }
  Reset();
}

void SqliteStatement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

std::string_view SqliteStatement::Bytes(int column) const {
  const void* data = sqlite3_column_blob(stmt_, column);
  const int size = sqlite3_column_bytes(stmt_, column);
  if (!data || size <= 0) return {};
  return {static_cast<const char*>(data), static_cast<size_t>(size)};
}

SqliteDb::SqliteDb(const std::string& diskPath, bool create) {
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
  const int rc = sqlite3_open_v2(diskPath.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    throw SqliteError(rc, message);
  }
  sqlite3_extended_result_codes(db_, 1);
  // A busy database (the other connection writing) is waited for, briefly.
  sqlite3_busy_timeout(db_, 2000);
}

SqliteDb::~SqliteDb() { sqlite3_close_v2(db_); }

void SqliteDb::Exec(const std::string& sql) {
  char* error = nullptr;
  const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
  if (rc != SQLITE_OK) {
    std::string message = error ? error : sqlite3_errstr(rc);
    sqlite3_free(error);
    throw SqliteError(sqlite3_extended_errcode(db_), message);
  }
}

int64_t SqliteDb::Scalar(const std::string& sql) {
  SqliteStatement s(db_, sql);
  return s.Step() ? s.Int(0) : 0;
}

SqliteTransaction::SqliteTransaction(SqliteDb& db) : db_(db) { db_.Exec("BEGIN IMMEDIATE"); }

SqliteTransaction::~SqliteTransaction() {
  if (!open_) return;
  try {
    db_.Exec("ROLLBACK");
  } catch (const SqliteError&) {
    // A failed statement may have rolled it back already.
  }
}

void SqliteTransaction::Commit() {
  db_.Exec("COMMIT");
  open_ = false;
}

}  // namespace norvane
