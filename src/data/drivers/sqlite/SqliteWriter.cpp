// Creating SQLite tables: one transaction per table, one prepared insert
// reused for every row. Declared column types are the ones the reader maps
// back onto the same categories.
#include <cmath>

#include "Convert.h"
#include "DateTimeText.h"
#include "Exceptions.h"
#include "Sqlite.h"
#include "TableWriter.h"
#include "WriterChecks.h"

namespace {

// The declared type a category is stored as; empty when there is none.
std::string DeclaredType(const TFieldDef& Def) {
  const std::string Size = Def.Size > 0 ? "(" + std::to_string(Def.Size) + ")" : "";
  switch (Def.DataType) {
    case ftString: case ftWideString: return Def.Size > 0 ? "VARCHAR" + Size : "TEXT";
    case ftFixedChar: return "CHAR" + Size;
    case ftSmallint: return "SMALLINT";
    case ftInteger: case ftWord: case ftAutoInc: return "INTEGER";
    case ftLargeint: return "BIGINT";
    case ftFloat: return "DOUBLE";
    case ftCurrency: return "CURRENCY";
    case ftBCD: return "DECIMAL";
    case ftBoolean: return "BOOLEAN";
    case ftDate: return "DATE";
    case ftTime: return "TIME";
    case ftDateTime: return "DATETIME";
    case ftMemo: case ftFmtMemo: return "MEMO";
    case ftBlob: case ftGraphic: case ftBytes: case ftVarBytes: case ftTypedBinary:
    case ftParadoxOle: case ftDBaseOle:
      return "BLOB";
    default: return "";
  }
}

enum class TCellKind { ckInteger, ckNumber, ckText, ckBoolean, ckBytes };

TCellKind CellKindOf(TFieldType Type) {
  switch (Type) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint: return TCellKind::ckInteger;
    case ftFloat: case ftCurrency: case ftBCD: case ftDate: case ftTime: case ftDateTime: return TCellKind::ckNumber;
    case ftBoolean: return TCellKind::ckBoolean;
    case ftString: case ftFixedChar: case ftWideString: case ftMemo: case ftFmtMemo: return TCellKind::ckText;
    default: return TCellKind::ckBytes;
  }
}

class TSqliteWriter final : public TTableWriter {
public:
  TSqliteWriter(const std::string& DatabaseFile, const std::string& TableName,
                const std::vector<TFieldDef>& Fields);
  ~TSqliteWriter() override;
  void AppendRow(std::span<const TFieldValue> Values) override;
  void Close() override;

private:
  [[noreturn]] void CellError(size_t Field, const std::string& What) const;
  void BindCell(int Position, size_t Field, const TFieldValue& Value);

  std::string FTableName;
  std::vector<TFieldDef> FDefs;
  TSqliteDb FDb;
  TSqliteStmt FInsert;
  std::string FScratch;
  int64_t FRows = 0;
  bool FClosed = false;
};

TSqliteWriter::TSqliteWriter(const std::string& DatabaseFile, const std::string& TableName,
                             const std::vector<TFieldDef>& Fields)
    : FTableName(TableName), FDefs(Fields) {
  const std::string Context = "Cannot create table '" + TableName + "' in '" + DatabaseFile + "'";
  if (TableName.empty()) throw Exception(Context + ": empty table name");
  if (Fields.empty()) throw Exception(Context + ": no fields");
  std::string Create = "CREATE TABLE " + QuoteIdentifier(TableName) + " (";
  std::string Insert = "INSERT INTO " + QuoteIdentifier(TableName) + " VALUES (";
  for (size_t i = 0; i < Fields.size(); ++i) {
    const std::string Type = DeclaredType(Fields[i]);
    if (Fields[i].Name.empty()) throw Exception(Context + ": a field has no name");
    if (Type.empty())
      throw Exception(Context + ": field '" + Fields[i].Name + "' of type " +
                      std::string(FieldTypeName(Fields[i].DataType)) + " cannot be stored in a SQLite table");
    Create += (i ? ", " : "") + QuoteIdentifier(Fields[i].Name) + " " + Type;
    Insert += i ? ", ?" : "?";
  }
  Create += ")";
  Insert += ")";
  FDb = OpenSqlite(DatabaseFile, TSqliteAccess::Create);
  ExecSqlite(FDb.get(), "BEGIN", Context);
  ExecSqlite(FDb.get(), "DROP TABLE IF EXISTS " + QuoteIdentifier(TableName), Context);
  ExecSqlite(FDb.get(), Create, Context);
  FInsert = PrepareSqlite(FDb.get(), Insert, Context);
}

TSqliteWriter::~TSqliteWriter() {
  if (FClosed) return;
  try {
    Close();
  } catch (...) {
    // Close() reports errors to callers that ask; a destructor cannot.
  }
}

void TSqliteWriter::CellError(size_t Field, const std::string& What) const {
  RaiseCellError(FTableName, FRows + 1, FDefs[Field].Name, What);
}

void TSqliteWriter::BindCell(int Position, size_t Field, const TFieldValue& Value) {
  sqlite3_stmt* Stmt = FInsert.get();
  if (std::holds_alternative<std::monostate>(Value)) {
    sqlite3_bind_null(Stmt, Position);
    return;
  }
  const TFieldDef& Def = FDefs[Field];
  const int32_t* Int = std::get_if<int32_t>(&Value);
  const double* Float = std::get_if<double>(&Value);
  const std::string* Text = std::get_if<std::string>(&Value);
  const bool* Bool = std::get_if<bool>(&Value);
  switch (CellKindOf(Def.DataType)) {
    case TCellKind::ckInteger:
      if (!Int) CellError(Field, "expected an integer value");
      if (Def.DataType == ftSmallint && (*Int < -32768 || *Int > 32767))
        CellError(Field, SmallintOutOfRange(*Int));
      sqlite3_bind_int(Stmt, Position, *Int);
      return;
    case TCellKind::ckNumber: {
      if (!Int && !Float) CellError(Field, "expected a number");
      const double V = Int ? *Int : *Float;
      if (Def.DataType == ftDate || Def.DataType == ftTime || Def.DataType == ftDateTime) {
        // SQLite's own date functions expect ISO texts.
        if (!std::isfinite(V)) CellError(Field, "value " + FloatToShortest(V) + " is not a date or time");
        FScratch = Def.DataType == ftDate ? DateText(V) : Def.DataType == ftTime ? TimeText(V) : DateTimeText(V);
        sqlite3_bind_text(Stmt, Position, FScratch.data(), static_cast<int>(FScratch.size()), SQLITE_TRANSIENT);
        return;
      }
      sqlite3_bind_double(Stmt, Position, V);
      return;
    }
    case TCellKind::ckBoolean:
      if (!Bool) CellError(Field, "expected a Boolean value");
      sqlite3_bind_int(Stmt, Position, *Bool ? 1 : 0);
      return;
    case TCellKind::ckText: case TCellKind::ckBytes:
      if (!Text) CellError(Field, "expected a text");
      if (Def.Size > 0 && Text->size() > static_cast<size_t>(Def.Size))
        CellError(Field, TextTooLong(Text->size(), Def.Size));
      if (CellKindOf(Def.DataType) == TCellKind::ckText)
        sqlite3_bind_text(Stmt, Position, Text->data(), static_cast<int>(Text->size()), SQLITE_TRANSIENT);
      else
        sqlite3_bind_blob(Stmt, Position, Text->data(), static_cast<int>(Text->size()), SQLITE_TRANSIENT);
      return;
  }
}

void TSqliteWriter::AppendRow(std::span<const TFieldValue> Values) {
  CheckRowShape(FTableName, FClosed, FRows + 1, Values.size(), FDefs.size());
  sqlite3_stmt* Stmt = FInsert.get();
  sqlite3_reset(Stmt);
  sqlite3_clear_bindings(Stmt);
  for (size_t i = 0; i < Values.size(); ++i) BindCell(static_cast<int>(i + 1), i, Values[i]);
  if (sqlite3_step(Stmt) != SQLITE_DONE)
    throw Exception("Table '" + FTableName + "', row " + std::to_string(FRows + 1) + ": " +
                    sqlite3_errmsg(FDb.get()));
  ++FRows;
}

void TSqliteWriter::Close() {
  if (FClosed) return;
  FClosed = true;
  FInsert.reset();
  ExecSqlite(FDb.get(), "COMMIT", "Cannot write table '" + FTableName + "'");
  FDb.reset();
}

}  // namespace

std::unique_ptr<TTableWriter> CreateSqliteTable(const std::string& DatabaseFile,
                                                const std::string& TableName,
                                                const std::vector<TFieldDef>& Fields) {
  return std::make_unique<TSqliteWriter>(DatabaseFile, TableName, Fields);
}
