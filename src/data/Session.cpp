// Aliases and the dispatch to the drivers.
#include "Session.h"

#include <algorithm>

#include "Convert.h"
#include "Cursor.h"
#include "Exceptions.h"
#include "TableName.h"
#include "drivers/Drivers.h"

namespace {

const char* const ParadoxDriver = "PARADOX";
const char* const SqliteDriver = "SQLITE";
const char* const PostgresDriver = "POSTGRES";

// Patterns for SQLite tables lose a trailing extension: "*.DB" means "*".
std::string_view WithoutExtension(std::string_view Pattern) {
  const size_t Dot = Pattern.rfind('.');
  if (Dot == std::string_view::npos || Pattern.find_first_of("*?", Dot) != std::string_view::npos) return Pattern;
  return Pattern.substr(0, Dot);
}

}  // namespace

bool NameMatches(std::string_view Pattern, std::string_view Name) {
  // Iterative glob match with backtracking to the last star.
  size_t P = 0, N = 0, Star = std::string_view::npos, Mark = 0;
  auto Lower = [](char C) { return static_cast<char>(C >= 'A' && C <= 'Z' ? C + 32 : C); };
  while (N < Name.size()) {
    if (P < Pattern.size() && (Pattern[P] == '?' || Lower(Pattern[P]) == Lower(Name[N]))) {
      ++P;
      ++N;
    } else if (P < Pattern.size() && Pattern[P] == '*') {
      Star = P++;
      Mark = N;
    } else if (Star != std::string_view::npos) {
      P = Star + 1;
      N = ++Mark;
    } else {
      return false;
    }
  }
  while (P < Pattern.size() && Pattern[P] == '*') ++P;
  return P == Pattern.size();
}

TSession::TSession(TComponent* AOwner) : TComponent(AOwner) {}

void TSession::AddStandardAlias(const std::string& Name, const std::string& Path, const std::string& Driver) {
  if (Name.empty()) throw Exception("Alias name is empty");
  if (IsAlias(Name)) throw Exception("Alias '" + Name + "' already exists");
  std::string Kind;
  if (Driver.empty() || SameText(Driver, ParadoxDriver)) Kind = ParadoxDriver;
  else if (SameText(Driver, SqliteDriver)) Kind = SqliteDriver;
  else if (SameText(Driver, PostgresDriver)) Kind = PostgresDriver;
  else throw Exception("Unknown driver '" + Driver + "'");
  FAliases.push_back({Name, Path, Kind});
}

void TSession::DeleteAlias(std::string_view Name) {
  const TAlias& Alias = FindAlias(Name);
  FAliases.erase(FAliases.begin() + (&Alias - FAliases.data()));
}

bool TSession::IsAlias(std::string_view Name) const {
  return std::any_of(FAliases.begin(), FAliases.end(), [&](const TAlias& A) { return SameText(A.Name, Name); });
}

void TSession::GetAliasNames(TStringList& List) const {
  List.Clear();
  for (const TAlias& A : FAliases) List.Add(A.Name);
}

const TSession::TAlias& TSession::FindAlias(std::string_view Name) const {
  for (const TAlias& A : FAliases)
    if (SameText(A.Name, Name)) return A;
  throw Exception("Unknown alias '" + std::string(Name) + "'");
}

std::string TSession::AliasPath(std::string_view Name) const { return FindAlias(Name).Path; }
std::string TSession::AliasDriver(std::string_view Name) const { return FindAlias(Name).Driver; }

std::vector<std::string> TSession::TableNames(std::string_view AliasName, std::string_view Pattern,
                                              bool Extensions, bool SystemTables) const {
  const TAlias& Alias = FindAlias(AliasName);
  if (Pattern.empty()) Pattern = "*";
  std::vector<std::string> Names;
  if (Alias.Driver == ParadoxDriver) {
    for (std::string& File : ParadoxTableFiles(Alias.Path)) {
      if (!NameMatches(Pattern, File)) continue;
      if (!Extensions) File = WithoutTableExtension(File);
      Names.push_back(std::move(File));
    }
  } else {
    const std::string_view TablePattern = WithoutExtension(Pattern);
    for (std::string& Table : DatabaseTableNames(Alias, SystemTables))
      if (NameMatches(TablePattern, Table)) Names.push_back(std::move(Table));
  }
  std::sort(Names.begin(), Names.end(), [](const std::string& A, const std::string& B) {
    const int Order = CompareText(A, B);
    return Order != 0 ? Order < 0 : A < B;
  });
  return Names;
}

void TSession::GetTableNames(std::string_view Alias, std::string_view Pattern, bool Extensions,
                             bool SystemTables, TStringList& List) const {
  std::vector<std::string> Names = TableNames(Alias, Pattern, Extensions, SystemTables);
  List.Clear();
  for (const std::string& Name : Names) List.Add(Name);
}

std::vector<std::string> TSession::DatabaseTableNames(const TAlias& Alias, bool SystemTables) const {
  return Alias.Driver == PostgresDriver ? PostgresTableNames(Alias.Path) : SqliteTableNames(Alias.Path, SystemTables);
}

std::unique_ptr<TCursor> TSession::OpenTable(std::string_view AliasName, const std::string& TableName) const {
  const TAlias& Alias = FindAlias(AliasName);
  if (Alias.Driver == ParadoxDriver) return OpenParadoxTable(Alias.Path, TableName);
  const auto Open = [&](const std::string& Name) {
    return Alias.Driver == PostgresDriver ? OpenPostgresTable(Alias.Path, Name) : OpenSqliteTable(Alias.Path, Name);
  };
  // A Paradox-style name falls back to the bare table name.
  if (HasTableExtension(TableName)) {
    const std::vector<std::string> Tables = DatabaseTableNames(Alias, true);
    const bool Exact = std::any_of(Tables.begin(), Tables.end(),
                                   [&](const std::string& T) { return SameText(T, TableName); });
    if (!Exact) {
      const std::string Bare = WithoutTableExtension(TableName);
      if (std::any_of(Tables.begin(), Tables.end(), [&](const std::string& T) { return SameText(T, Bare); }))
        return Open(Bare);
    }
  }
  return Open(TableName);
}
