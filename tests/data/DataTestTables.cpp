#include "DataTestTables.h"

namespace fs = std::filesystem;

const char* StoreName(TStore Store) { return Store == TStore::Paradox ? "Paradox" : "SQLite"; }

TDataFolder::TDataFolder() { fs::create_directories(Folder); }

TDataFolder& DataFolder() {
  static TDataFolder Instance;
  return Instance;
}

void WriteBoth(const std::string& Name, const std::vector<TFieldDef>& Fields, const TRows& Rows) {
  auto Px = CreateParadoxTable((DataFolder().Folder / (Name + ".DB")).string(), Fields);
  auto Sq = CreateSqliteTable(DataFolder().SqliteFile.string(), Name, Fields);
  for (const auto& Row : Rows) {
    Px->AppendRow(Row);
    Sq->AppendRow(Row);
  }
  Px->Close();
  Sq->Close();
}

std::unique_ptr<TSession> MakeSession() {
  auto Session = std::make_unique<TSession>(nullptr);
  Session->AddStandardAlias("PX", DataFolder().Folder.string(), "PARADOX");
  Session->AddStandardAlias("SQ", DataFolder().SqliteFile.string(), "SQLITE");
  return Session;
}

const char* AliasOf(TStore Store) { return Store == TStore::Paradox ? "PX" : "SQ"; }

void EnsurePeople() {
  static bool Done = false;
  if (Done) return;
  Done = true;
  const TFieldValue Null{};
  WriteBoth("PEOPLE",
            {{"ID", ftInteger}, {"Name", ftString, 12}, {"Age", ftSmallint}, {"Score", ftFloat}, {"Split0", ftSmallint}},
            {{1, std::string("Ann"), 30, 1.5, 0},
             {2, std::string("bob"), Null, 2.25, 1},
             {3, std::string("Cid"), 41, Null, 0},
             {4, Null, 25, -3.0, 1},
             {5, std::string("Dora"), 30, 10.0, 0}});
}
