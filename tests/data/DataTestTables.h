// A temporary folder per test program holding Paradox tables and one SQLite
// file, plus a session with an alias for each store.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Session.h"
#include "Table.h"
#include "TableWriter.h"
#include "TestSupport.h"

enum class TStore { Paradox, Sqlite };
inline const std::vector<TStore> AllStores{TStore::Paradox, TStore::Sqlite};
const char* StoreName(TStore Store);

struct TDataFolder {
  TTempDir Root{"pellory-data"};
  std::filesystem::path Folder = Root.Path / "px";                   // Paradox tables
  std::filesystem::path SqliteFile = Root.Path / "tables.sqlite";   // SQLite tables
  TDataFolder();
};
TDataFolder& DataFolder();

using TRows = std::vector<std::vector<TFieldValue>>;
// Writes Name into both stores ("Name.DB" in the folder, table Name in the file).
void WriteBoth(const std::string& Name, const std::vector<TFieldDef>& Fields, const TRows& Rows);

// A session with alias "PX" (Paradox folder) and "SQ" (SQLite file).
std::unique_ptr<TSession> MakeSession();
const char* AliasOf(TStore Store);

// "PEOPLE": ID integer, Name text(12), Age smallint, Score float, Split0 smallint
//   1 Ann   30  1.5   0
//   2 bob   (null) 2.25 1
//   3 Cid   41  (null) 0
//   4 (null) 25  -3   1
//   5 Dora  30  10    0
void EnsurePeople();
