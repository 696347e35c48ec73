// The binding's test tables: written once per test program into a fresh
// temporary folder (Paradox files and one SQLite file), removed at exit.
#include "BindingTables.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "Exceptions.h"
#include "Session.h"
#include "Table.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

using TRows = std::vector<std::vector<TFieldValue>>;
const TFieldValue Null{};

struct TTables {
  TSession Session{nullptr};
  TTempDir Dir{"pellory-binding"};  // declared after the session: removed before the session goes
  const fs::path& Folder = Dir.Path;
  TTables() {
    Session.AddStandardAlias("BindingParadox", Folder.string(), "PARADOX");
    Session.AddStandardAlias("BindingSqlite", SqliteFile(), "SQLITE");
  }
  std::string SqliteFile() const { return (Folder / "binding.sqlite").string(); }
};

TTables& Files();

void Write(const std::string& Name, const std::vector<TFieldDef>& Fields, const TRows& Rows) {
  auto Px = CreateParadoxTable((Files().Folder / (Name + ".DB")).string(), Fields);
  auto Sq = CreateSqliteTable(Files().SqliteFile(), Name, Fields);
  for (const auto& Row : Rows) {
    Px->AppendRow(Row);
    Sq->AppendRow(Row);
  }
  Px->Close();
  Sq->Close();
}

void WriteShared() {
  const std::vector<TFieldDef> Layout{{"ID", ftInteger, 0}, {"A", ftString, 10}, {"B", ftSmallint, 0},
                                      {"X", ftFloat, 0},    {"Class", ftSmallint, 0}};
  Write("SHARED", Layout,
        {{int32_t(1), std::string("red"), int32_t(1), 0.5, int32_t(1)},
         {int32_t(2), std::string("blue"), int32_t(3), 1.5, int32_t(2)},
         {int32_t(3), std::string("red"), int32_t(999), 2.5, int32_t(1)},
         {int32_t(4), std::string("999"), int32_t(2), 999.0, int32_t(2)},
         {int32_t(5), Null, int32_t(1), 0.25, int32_t(1)}});
  Write("EMPTY", Layout, {});
  Write("ACC", {{"ID", ftInteger, 0}, {"B", ftSmallint, 0}, {"Class", ftSmallint, 0}},
        {{int32_t(1), int32_t(1), int32_t(1)},
         {int32_t(2), int32_t(2), int32_t(2)},
         {int32_t(3), int32_t(1), int32_t(1)},
         {int32_t(4), int32_t(1), int32_t(2)}});
  Write("ODD",
        {{"ID", ftInteger, 0}, {"A", ftSmallint, 0}, {"Auto", ftAutoInc, 0}, {"Note", ftMemo, 0},
         {"Class", ftSmallint, 0}},
        {{int32_t(1), int32_t(1), int32_t(1), Null, int32_t(1)}, {int32_t(2), int32_t(2), int32_t(2), Null, int32_t(2)}});
  // Distinct rows without missing values: each row's nearest neighbour is itself.
  Write("KNN", {{"ID", ftInteger, 0}, {"B", ftSmallint, 0}, {"X", ftFloat, 0}, {"Class", ftSmallint, 0}},
        {{int32_t(1), int32_t(1), 0.0, int32_t(1)},
         {int32_t(2), int32_t(2), 5.0, int32_t(2)},
         {int32_t(3), int32_t(1), 1.0, int32_t(1)},
         {int32_t(4), int32_t(2), 9.0, int32_t(2)},
         {int32_t(5), int32_t(3), 3.0, int32_t(1)}});
  Write("TEXTCLASS",
        {{"ID", ftInteger, 0}, {"A", ftSmallint, 0}, {"Kind", ftString, 8}, {"Cls", ftFloat, 0}},
        {{int32_t(1), int32_t(1), std::string("yes"), 1.0},
         {int32_t(2), int32_t(2), std::string("no"), 2.0},
         {int32_t(3), int32_t(1), std::string("maybe"), 1.0}});
}

TTables& Files() {
  static TTables Tables;
  static bool Written = false;
  if (!Written) {
    Written = true;
    WriteShared();
  }
  return Tables;
}

}  // namespace

const char* StoreName(TStore Store) { return Store == TStore::Paradox ? "Paradox" : "SQLite"; }

void WriteTable(const std::string& Name, const std::vector<TFieldDef>& Fields,
                const std::vector<std::vector<TFieldValue>>& Rows) {
  Write(Name, Fields, Rows);
}

std::unique_ptr<TTable> OpenTable(TStore Store, const std::string& Name) {
  TTables& T = Files();
  auto Table = std::make_unique<TTable>(nullptr, &T.Session);
  Table->SetDatabaseName(Store == TStore::Paradox ? "BindingParadox" : "BindingSqlite");
  Table->SetTableName(Store == TStore::Paradox ? Name + ".DB" : Name);
  Table->Open();
  return Table;
}

int32_t CurrentId(TTable& Table) { return Table.FieldByName("ID")->AsInteger(); }

void MoveToId(TTable& Table, int32_t Id) {
  for (Table.First(); !Table.Eof(); Table.Next())
    if (CurrentId(Table) == Id) return;
  throw Exception("no row with ID " + std::to_string(Id));
}
