// Reading SQLite tables in rowid order with one prepared statement:
// "WHERE rowid >= ?" starts the walk at the first row or at a bookmarked
// one. Declared column types map onto the field categories; types outside
// the known names follow SQLite's affinity rules.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "Convert.h"
#include "DateTimeText.h"
#include "Exceptions.h"
#include "Sqlite.h"
#include "drivers/Drivers.h"

namespace {

std::string Upper(std::string_view Text) {
  std::string Result;
  for (char C : Text) Result += static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
  return Result;
}

// SQLite keeps no text longer than this; a larger declared size says no more.
constexpr int32_t MaxDeclaredSize = 1000000000;

// The size in "VARCHAR(n)" as SQLite stores the declaration: any text. A
// number, blanks around it, is the size, clamped to MaxDeclaredSize; a
// negative, missing or malformed one declares no size (0).
int32_t DeclaredSize(std::string_view Inside) {
  while (!Inside.empty() && Inside.front() == ' ') Inside.remove_prefix(1);
  if (!Inside.empty() && Inside.front() == '+') Inside.remove_prefix(1);
  uint64_t Size = 0;
  const auto [End, Error] = std::from_chars(Inside.data(), Inside.data() + Inside.size(), Size);
  if (End == Inside.data()) return 0;
  if (Error == std::errc::result_out_of_range || Size > static_cast<uint64_t>(MaxDeclaredSize))
    return MaxDeclaredSize;
  return static_cast<int32_t>(Size);
}

struct TDeclared {
  TFieldType Type;
  int32_t Size;
};

TDeclared CategoryOf(std::string_view Declared) {
  std::string Base = Upper(Declared);
  int32_t Size = 0;
  const size_t Paren = Base.find('(');
  if (Paren != std::string::npos) {
    Size = DeclaredSize(std::string_view(Base).substr(Paren + 1));
    Base.resize(Paren);
  }
  while (!Base.empty() && Base.back() == ' ') Base.pop_back();
  static const std::pair<const char*, TFieldType> Known[] = {
      {"SMALLINT", ftSmallint}, {"INT2", ftSmallint}, {"TINYINT", ftSmallint},
      {"INTEGER", ftInteger}, {"INT", ftInteger}, {"INT4", ftInteger}, {"MEDIUMINT", ftInteger},
      {"BIGINT", ftLargeint}, {"INT8", ftLargeint},
      {"REAL", ftFloat}, {"FLOAT", ftFloat}, {"DOUBLE", ftFloat}, {"DOUBLE PRECISION", ftFloat},
      {"NUMERIC", ftBCD}, {"DECIMAL", ftBCD}, {"CURRENCY", ftCurrency}, {"MONEY", ftCurrency},
      {"TEXT", ftString}, {"VARCHAR", ftString}, {"CHAR", ftString}, {"CHARACTER", ftString},
      {"NVARCHAR", ftString}, {"NCHAR", ftString}, {"VARYING CHARACTER", ftString},
      {"MEMO", ftMemo}, {"CLOB", ftMemo},
      {"BOOLEAN", ftBoolean}, {"BOOL", ftBoolean},
      {"DATE", ftDate}, {"TIME", ftTime}, {"DATETIME", ftDateTime}, {"TIMESTAMP", ftDateTime},
      {"BLOB", ftBlob}};
  for (const auto& [Name, Type] : Known)
    if (Base == Name) return {Type, Type == ftString ? Size : 0};
  // SQLite's affinity rules, in its order.
  if (Base.find("INT") != std::string::npos) return {ftLargeint, 0};
  if (Base.find("CHAR") != std::string::npos || Base.find("CLOB") != std::string::npos ||
      Base.find("TEXT") != std::string::npos)
    return {ftString, Size};
  if (Base.empty() || Base.find("BLOB") != std::string::npos) return {ftBlob, 0};
  return {ftFloat, 0};
}

class TSqliteCursor final : public TCursor {
public:
  TSqliteCursor(const std::string& DatabaseFile, const std::string& TableName);

  int64_t RowCount() override;
  bool First() override { return Start(INT64_MIN, false); }
  bool Next() override;
  bool Seek(int64_t Key) override;
  int64_t Key() const override { return FKey; }

  bool IsNull(int Column) override { return sqlite3_column_type(FSelect.get(), Column + 1) == SQLITE_NULL; }
  bool ReadInteger(int Column, int64_t& Value) override;
  bool ReadFloat(int Column, double& Value) override;
  bool ReadText(int Column, std::string& Value) override;

private:
  bool Start(int64_t Key, bool Exact);
  bool Step();
  std::string_view Text(int Column) {
    const auto* P = reinterpret_cast<const char*>(sqlite3_column_text(FSelect.get(), Column + 1));
    return P ? std::string_view(P, static_cast<size_t>(sqlite3_column_bytes(FSelect.get(), Column + 1)))
             : std::string_view();
  }
  [[noreturn]] void NotNumeric(int Column, std::string_view What) const {
    throw EConvertError("'" + std::string(What) + "' is not a valid number in field '" +
                        FColumns[static_cast<size_t>(Column)].Name + "'");
  }

  std::string FTable;
  TSqliteDb FDb;
  TSqliteStmt FSelect;
  TSqliteStmt FCount;
  bool FOnRow = false;  // the statement holds a row
  int64_t FKey = 0;
};

TSqliteCursor::TSqliteCursor(const std::string& DatabaseFile, const std::string& TableName)
    : FTable(TableName), FDb(OpenSqlite(DatabaseFile, TSqliteAccess::ReadOnly)) {
  const std::string Context = "Cannot open table '" + TableName + "' in '" + DatabaseFile + "'";
  // The stored name, found with letter case ignored.
  std::string Stored;
  {
    TSqliteStmt Find = PrepareSqlite(FDb.get(), "SELECT name FROM sqlite_master WHERE type = 'table'", Context);
    while (sqlite3_step(Find.get()) == SQLITE_ROW) {
      const std::string Name = reinterpret_cast<const char*>(sqlite3_column_text(Find.get(), 0));
      if (SameText(Name, TableName)) {
        Stored = Name;
        break;
      }
    }
  }
  if (Stored.empty())
    throw EFOpenError("Table '" + TableName + "' not found in database file '" + DatabaseFile + "'");
  FTable = Stored;
  TSqliteStmt Info = PrepareSqlite(FDb.get(), "PRAGMA table_info(" + QuoteIdentifier(Stored) + ")", Context);
  std::string Select = "SELECT rowid";
  while (sqlite3_step(Info.get()) == SQLITE_ROW) {
    const auto* Name = reinterpret_cast<const char*>(sqlite3_column_text(Info.get(), 1));
    const auto* Type = reinterpret_cast<const char*>(sqlite3_column_text(Info.get(), 2));
    const TDeclared D = CategoryOf(Type ? Type : "");
    FColumns.push_back({Name ? Name : "", D.Type, D.Size});
    Select += ", " + QuoteIdentifier(FColumns.back().Name);
  }
  Select += " FROM " + QuoteIdentifier(Stored) + " WHERE rowid >= ?1 ORDER BY rowid";
  FSelect = PrepareSqlite(FDb.get(), Select, Context + " (a table without rowid cannot be read)");
  FCount = PrepareSqlite(FDb.get(), "SELECT count(*) FROM " + QuoteIdentifier(Stored), Context);
}

int64_t TSqliteCursor::RowCount() {
  sqlite3_reset(FCount.get());
  if (sqlite3_step(FCount.get()) != SQLITE_ROW)
    throw Exception("Cannot count the rows of table '" + FTable + "': " + sqlite3_errmsg(FDb.get()));
  return sqlite3_column_int64(FCount.get(), 0);
}

bool TSqliteCursor::Step() {
  const int Rc = sqlite3_step(FSelect.get());
  if (Rc == SQLITE_ROW) {
    FOnRow = true;
    FKey = sqlite3_column_int64(FSelect.get(), 0);
    return true;
  }
  FOnRow = false;
  if (Rc != SQLITE_DONE)
    throw Exception("Cannot read table '" + FTable + "': " + sqlite3_errmsg(FDb.get()));
  return false;
}

bool TSqliteCursor::Start(int64_t Key, bool Exact) {
  sqlite3_reset(FSelect.get());
  sqlite3_bind_int64(FSelect.get(), 1, Key);
  return Step() && (!Exact || FKey == Key);
}

bool TSqliteCursor::Next() {
  if (!FOnRow) return false;
  const int64_t Current = FKey;
  if (Step()) return true;
  // Stay on the last row, as the contract says.
  Start(Current, true);
  return false;
}

bool TSqliteCursor::Seek(int64_t Key) {
  // A key a few rows ahead is reached faster by stepping than by a new search.
  if (FOnRow && Key > FKey && Key - FKey <= 16) {
    while (FOnRow && FKey < Key) Step();
    if (FOnRow && FKey == Key) return true;
  }
  if (FOnRow && Key == FKey) return true;
  return Start(Key, true);
}

bool TSqliteCursor::ReadInteger(int Column, int64_t& Value) {
  sqlite3_stmt* S = FSelect.get();
  switch (sqlite3_column_type(S, Column + 1)) {
    case SQLITE_NULL: return false;
    case SQLITE_INTEGER: Value = sqlite3_column_int64(S, Column + 1); return true;
    case SQLITE_FLOAT: {
      const double R = std::round(sqlite3_column_double(S, Column + 1));
      if (!(R >= -9.2e18 && R <= 9.2e18)) NotNumeric(Column, FloatToShortest(R));
      Value = static_cast<int64_t>(R);
      return true;
    }
    default: {
      double D = 0;
      ReadFloat(Column, D);
      const double R = std::round(D);
      if (!(R >= -9.2e18 && R <= 9.2e18)) NotNumeric(Column, Text(Column));
      Value = static_cast<int64_t>(R);
      return true;
    }
  }
}

bool TSqliteCursor::ReadFloat(int Column, double& Value) {
  sqlite3_stmt* S = FSelect.get();
  switch (sqlite3_column_type(S, Column + 1)) {
    case SQLITE_NULL: return false;
    case SQLITE_INTEGER: case SQLITE_FLOAT: Value = sqlite3_column_double(S, Column + 1); return true;
    default: {
      const std::string_view T = Text(Column);
      const TFieldType Type = FColumns[static_cast<size_t>(Column)].DataType;
      if (Type == ftDate || Type == ftTime || Type == ftDateTime) {
        if (auto D = ParseDateTimeText(T)) {
          Value = *D;
          return true;
        }
      }
      if (Type == ftBoolean && (SameText(T, "true") || SameText(T, "false"))) {
        Value = SameText(T, "true") ? 1.0 : 0.0;
        return true;
      }
      if (auto D = TryStrToFloat(T)) {
        Value = *D;
        return true;
      }
      NotNumeric(Column, T);
    }
  }
}

bool TSqliteCursor::ReadText(int Column, std::string& Value) {
  sqlite3_stmt* S = FSelect.get();
  const TFieldType Type = FColumns[static_cast<size_t>(Column)].DataType;
  switch (sqlite3_column_type(S, Column + 1)) {
    case SQLITE_NULL: return false;
    case SQLITE_INTEGER:
      if (Type == ftBoolean) {
        Value = sqlite3_column_int64(S, Column + 1) ? "True" : "False";
        return true;
      }
      if (Type != ftDate && Type != ftTime && Type != ftDateTime) {
        Value = std::to_string(sqlite3_column_int64(S, Column + 1));
        return true;
      }
      [[fallthrough]];  // a day number that NUMERIC affinity stored as an integer
    case SQLITE_FLOAT: {
      const double D = sqlite3_column_double(S, Column + 1);
      Value = Type == ftDate ? DateText(D) : Type == ftTime ? TimeText(D)
            : Type == ftDateTime ? DateTimeText(D) : FloatToShortest(D);
      return true;
    }
    case SQLITE_BLOB: {
      const auto* P = static_cast<const char*>(sqlite3_column_blob(S, Column + 1));
      Value.assign(P ? P : "", static_cast<size_t>(sqlite3_column_bytes(S, Column + 1)));
      return true;
    }
    default:
      Value.assign(Text(Column));
      return true;
  }
}

}  // namespace

std::vector<std::string> SqliteTableNames(const std::string& DatabaseFile, bool SystemTables) {
  TSqliteDb Db = OpenSqlite(DatabaseFile, TSqliteAccess::ReadOnly);
  TSqliteStmt List = PrepareSqlite(Db.get(), "SELECT name FROM sqlite_master WHERE type = 'table'",
                                   "Cannot list the tables of '" + DatabaseFile + "'");
  std::vector<std::string> Names;
  while (sqlite3_step(List.get()) == SQLITE_ROW) {
    const std::string Name = reinterpret_cast<const char*>(sqlite3_column_text(List.get(), 0));
    if (SystemTables || Name.compare(0, 7, "sqlite_") != 0) Names.push_back(Name);
  }
  return Names;
}

std::unique_ptr<TCursor> OpenSqliteTable(const std::string& DatabaseFile, const std::string& TableName) {
  return std::make_unique<TSqliteCursor>(DatabaseFile, TableName);
}
