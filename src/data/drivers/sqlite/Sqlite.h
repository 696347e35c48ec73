// Small RAII helpers over libsqlite3 shared by the SQLite reader and writer.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>
#include <string_view>

struct TSqliteCloser {
  void operator()(sqlite3* Db) const { sqlite3_close_v2(Db); }
};
struct TSqliteFinalizer {
  void operator()(sqlite3_stmt* Stmt) const { sqlite3_finalize(Stmt); }
};
using TSqliteDb = std::unique_ptr<sqlite3, TSqliteCloser>;
using TSqliteStmt = std::unique_ptr<sqlite3_stmt, TSqliteFinalizer>;

// How a database is opened: readers open it read-only, so a database on a
// read-only mount or without write permission can still be read.
enum class TSqliteAccess { ReadOnly, Create };

// Opens DatabaseFile (Create: read-write, making a new file if needed).
// Raises EFOpenError naming the file when it is missing (ReadOnly) or not a
// database.
TSqliteDb OpenSqlite(const std::string& DatabaseFile, TSqliteAccess Access);
// Prepares Sql; raises Exception with SQLite's message and Context.
TSqliteStmt PrepareSqlite(sqlite3* Db, const std::string& Sql, const std::string& Context);
// Runs statements without results; raises like PrepareSqlite.
void ExecSqlite(sqlite3* Db, const std::string& Sql, const std::string& Context);
// "name" with inner double quotes doubled.
std::string QuoteIdentifier(std::string_view Name);
