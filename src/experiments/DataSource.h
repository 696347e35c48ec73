// A data source of sample tables: the sample alias over a folder of Paradox
// tables, a SQLite database file or a PostgreSQL database (a libpq
// connection string), in a session of its own. `pellory`
// and the demo open and fill their tables through it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "SampleImporter.h"

class TSession;
class TTable;

enum class TDataSourceKind { dkParadox, dkSqlite, dkPostgres };

class TDataSource {
public:
  // Path: the folder (Sqlite false) or the database file (Sqlite true). The
  // session gets the sample alias over it; nothing is opened yet, and a
  // missing folder or file is reported by the first call that reads it.
  TDataSource(const std::string& Path, bool Sqlite);
  // Path: the folder, the database file or the connection string.
  TDataSource(const std::string& Path, TDataSourceKind Kind);
  ~TDataSource();
  TDataSource(const TDataSource&) = delete;
  TDataSource& operator=(const TDataSource&) = delete;

  TSession& Session() const { return *FSession; }
  bool Sqlite() const { return FKind == TDataSourceKind::dkSqlite; }
  TDataSourceKind Kind() const { return FKind; }
  const std::string& Path() const { return FPath; }

  // The alias's table names, as the cross test lists them. Raises Exception
  // "no folder '<path>'" / "no database file '<path>'" when the source is
  // missing.
  std::vector<std::string> TableNames() const;
  // The listed name that Name means: equal ignoring letter case, or equal
  // once ".DB" is added or dropped. Raises Exception "no table 'X' in '<path>'".
  std::string ResolveTable(const std::string& Name) const;
  // A table of the alias, opened; owned by the caller.
  std::unique_ptr<TTable> OpenTable(const std::string& Name) const;

  // The name an imported table gets here: a Paradox name gains ".DB" when it
  // has no extension, a SQLite or PostgreSQL name loses a trailing ".DB". Raises Exception
  // for an empty name, a name with a folder in it, or a Paradox name with
  // another extension (which would make a file the table list never shows).
  std::string ImportTableName(const std::string& Name) const;
  // Writes Importer's table as ImportTableName(Name), replacing a table of
  // that name (a Paradox folder is created when missing; a failed import
  // leaves the old table as it was). Replaced tells whether one existed.
  TImportResult ImportTable(const TSampleImporter& Importer, const std::string& Name, bool& Replaced) const;

  // Copies every row of From (open) into a new SQLite or PostgreSQL table
  // ImportTableName(Name), replacing one of that name, field by field with
  // the same names and types. Returns the number of rows. A Paradox source
  // raises: its tables are files written by the importer.
  int64_t CopyTable(TTable& From, const std::string& Name) const;

private:
  std::unique_ptr<TSession> FSession;
  TDataSourceKind FKind = TDataSourceKind::dkParadox;
  std::string FPath;
};
