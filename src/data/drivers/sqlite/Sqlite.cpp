// Opening databases and preparing statements with errors that name the file.
#include "Sqlite.h"

#include <filesystem>

#include "Exceptions.h"

TSqliteDb OpenSqlite(const std::string& DatabaseFile, TSqliteAccess Access) {
  const bool Create = Access == TSqliteAccess::Create;
  std::error_code Error;
  if (!Create && !std::filesystem::is_regular_file(DatabaseFile, Error))
    throw EFOpenError("Database file '" + DatabaseFile + "' does not exist");
  sqlite3* Raw = nullptr;
  const int Flags = Create ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
  const int Rc = sqlite3_open_v2(DatabaseFile.c_str(), &Raw, Flags, nullptr);
  TSqliteDb Db(Raw);
  if (Rc != SQLITE_OK) {
    const std::string Message = Raw ? sqlite3_errmsg(Raw) : sqlite3_errstr(Rc);
    throw EFOpenError("Cannot open database file '" + DatabaseFile + "': " + Message);
  }
  // A file that is not a database fails only at its first read; check now.
  char* Message = nullptr;
  if (sqlite3_exec(Raw, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &Message) != SQLITE_OK) {
    const std::string Text = Message ? Message : "unknown error";
    sqlite3_free(Message);
    throw EFOpenError("Cannot open database file '" + DatabaseFile + "': " + Text);
  }
  sqlite3_busy_timeout(Raw, 5000);
  // Reading through a memory map saves a copy per page on long walks.
  sqlite3_exec(Raw, "PRAGMA mmap_size = 1073741824", nullptr, nullptr, nullptr);
  return Db;
}

TSqliteStmt PrepareSqlite(sqlite3* Db, const std::string& Sql, const std::string& Context) {
  sqlite3_stmt* Raw = nullptr;
  if (sqlite3_prepare_v2(Db, Sql.c_str(), static_cast<int>(Sql.size()), &Raw, nullptr) != SQLITE_OK) {
    sqlite3_finalize(Raw);
    throw Exception(Context + ": " + sqlite3_errmsg(Db));
  }
  return TSqliteStmt(Raw);
}

void ExecSqlite(sqlite3* Db, const std::string& Sql, const std::string& Context) {
  char* Message = nullptr;
  if (sqlite3_exec(Db, Sql.c_str(), nullptr, nullptr, &Message) != SQLITE_OK) {
    const std::string Text = Message ? Message : sqlite3_errmsg(Db);
    sqlite3_free(Message);
    throw Exception(Context + ": " + Text);
  }
}

std::string QuoteIdentifier(std::string_view Name) {
  std::string Quoted = "\"";
  for (char C : Name) {
    if (C == '"') Quoted += '"';
    Quoted += C;
  }
  Quoted.push_back('"');
  return Quoted;
}
