// Creating PostgreSQL tables: DROP and CREATE, then one binary COPY FROM
// STDIN for all rows, in one transaction, so readers see the old table or
// the whole new one. Rows are encoded into a buffer sent 256 KB at a time.
#include <bit>
#include <cmath>
#include <limits>

#include "Convert.h"
#include "Exceptions.h"
#include "FieldType.h"
#include "Postgres.h"
#include "PostgresValues.h"
#include "TableWriter.h"
#include "WriterChecks.h"

namespace {

constexpr size_t SendBytes = 256 * 1024;

// The column type a category is stored as; empty when there is none.
std::string ColumnType(const TFieldDef& Def) {
  std::string Size;
  if (Def.Size > 0) Size.append("(").append(std::to_string(Def.Size)).append(")");
  switch (Def.DataType) {
    case ftString: case ftWideString: return Def.Size > 0 ? "varchar" + Size : "text";
    case ftFixedChar: return "char" + (Size.empty() ? std::string("(1)") : Size);
    case ftMemo: case ftFmtMemo: return "text";
    case ftSmallint: return "smallint";
    case ftInteger: case ftWord: case ftAutoInc: return "integer";
    case ftLargeint: return "bigint";
    case ftFloat: return "double precision";
    case ftBoolean: return "boolean";
    case ftDate: return "date";
    case ftTime: return "time";
    case ftDateTime: return "timestamp";
    case ftBlob: case ftGraphic: case ftBytes: case ftVarBytes: case ftTypedBinary:
    case ftParadoxOle: case ftDBaseOle:
      return "bytea";
    default: return "";
  }
}

class TPostgresWriter final : public TTableWriter {
public:
  TPostgresWriter(const std::string& ConnInfo, const std::string& TableName, const std::vector<TFieldDef>& Fields);
  ~TPostgresWriter() override;
  void AppendRow(std::span<const TFieldValue> Values) override;
  void Close() override;

private:
  [[noreturn]] void CellError(size_t Field, const std::string& What) const {
    RaiseCellError(FTableName, FRows + 1, FDefs[Field].Name, What);
  }
  void EncodeCell(size_t Field, const TFieldValue& Value);
  void Send();
  [[noreturn]] void LoadFailed();

  std::string FTableName;
  std::vector<TFieldDef> FDefs;
  TPgConn FConn;
  std::string FBuffer;  // rows not yet sent
  std::string FRow;     // the row being encoded
  int64_t FRows = 0;
  bool FClosed = false;
};

TPostgresWriter::TPostgresWriter(const std::string& ConnInfo, const std::string& TableName,
                                 const std::vector<TFieldDef>& Fields)
    : FTableName(TableName), FDefs(Fields) {
  const std::string Context = "Cannot create table '" + TableName + "'";
  if (TableName.empty()) throw Exception(Context + ": empty table name");
  if (Fields.empty()) throw Exception(Context + ": no fields");
  for (const TFieldDef& Def : Fields) {
    if (Def.Name.empty()) throw Exception(Context + ": a field has no name");
    if (ColumnType(Def).empty())
      throw Exception(Context + ": field '" + Def.Name + "' of type " + std::string(FieldTypeName(Def.DataType)) +
                      " cannot be stored in a PostgreSQL table");
  }
  FConn = ConnectPostgres(ConnInfo);
  PGconn* Conn = FConn.get();
  const std::string Table = QuotePgIdentifier(Conn, TableName);
  std::string Create = "CREATE TABLE " + Table + " (";
  for (size_t I = 0; I < Fields.size(); ++I)
    Create += (I ? ", " : "") + QuotePgIdentifier(Conn, Fields[I].Name) + " " + ColumnType(Fields[I]);
  Create += ")";
  ExecPostgres(Conn, "BEGIN", Context);
  ExecPostgres(Conn, "DROP TABLE IF EXISTS " + Table, Context);
  ExecPostgres(Conn, Create, Context);
  TPgResult Copy(PQexec(Conn, ("COPY " + Table + " FROM STDIN (FORMAT binary)").c_str()));
  if (!Copy || PQresultStatus(Copy.get()) != PGRES_COPY_IN)
    throw Exception(Context + ": " + (Copy ? PostgresError(Copy.get()) : PostgresError(Conn)));
  FBuffer.assign("PGCOPY\n\377\r\n\0", 11);
  PutPgUint32(FBuffer, 0);  // flags
  PutPgUint32(FBuffer, 0);  // no header extension
}

TPostgresWriter::~TPostgresWriter() {
  if (FClosed) return;
  try {
    Close();
  } catch (...) {
    // Close() reports errors to callers that ask; a destructor cannot.
  }
}

void TPostgresWriter::EncodeCell(size_t Field, const TFieldValue& Value) {
  if (std::holds_alternative<std::monostate>(Value)) {
    PutPgUint32(FRow, 0xffffffffu);
    return;
  }
  const TFieldDef& Def = FDefs[Field];
  const int32_t* Int = std::get_if<int32_t>(&Value);
  const double* Float = std::get_if<double>(&Value);
  const std::string* Text = std::get_if<std::string>(&Value);
  const bool* Bool = std::get_if<bool>(&Value);
  switch (Def.DataType) {
    case ftSmallint:
      if (!Int) CellError(Field, "expected an integer value");
      if (*Int < -32768 || *Int > 32767) CellError(Field, SmallintOutOfRange(*Int));
      PutPgUint32(FRow, 2);
      PutPgUint16(FRow, static_cast<uint16_t>(*Int));
      return;
    case ftInteger: case ftWord: case ftAutoInc:
      if (!Int) CellError(Field, "expected an integer value");
      PutPgUint32(FRow, 4);
      PutPgUint32(FRow, static_cast<uint32_t>(*Int));
      return;
    case ftLargeint:
      if (!Int) CellError(Field, "expected an integer value");
      PutPgUint32(FRow, 8);
      PutPgUint64(FRow, static_cast<uint64_t>(static_cast<int64_t>(*Int)));
      return;
    case ftBoolean:
      if (!Bool) CellError(Field, "expected a Boolean value");
      PutPgUint32(FRow, 1);
      FRow += static_cast<char>(*Bool ? 1 : 0);
      return;
    case ftFloat: case ftDate: case ftTime: case ftDateTime: {
      if (!Int && !Float) CellError(Field, "expected a number");
      const double V = Int ? *Int : *Float;
      if (Def.DataType == ftFloat) {
        PutPgUint32(FRow, 8);
        PutPgUint64(FRow, std::bit_cast<uint64_t>(V));
        return;
      }
      // Day numbers: whole days and the time of day apart, to the microsecond.
      if (!std::isfinite(V) || std::fabs(V) > 1e7)
        CellError(Field, "value " + FloatToShortest(V) + " is not a date or time");
      const double Days = std::floor(V);
      const int64_t Micros = std::llround((V - Days) * PgMicrosPerDay);
      if (Def.DataType == ftDate) {
        PutPgUint32(FRow, 4);
        PutPgUint32(FRow, static_cast<uint32_t>(static_cast<int32_t>(Days) - PgEpochDays));
      } else if (Def.DataType == ftTime) {
        PutPgUint32(FRow, 8);
        PutPgUint64(FRow, static_cast<uint64_t>(Micros));
      } else {
        PutPgUint32(FRow, 8);
        const int64_t Stamp = (static_cast<int64_t>(Days) - PgEpochDays) * 86400000000LL + Micros;
        PutPgUint64(FRow, static_cast<uint64_t>(Stamp));
      }
      return;
    }
    default: {
      if (!Text) CellError(Field, "expected a text");
      if (Def.Size > 0 && Text->size() > static_cast<size_t>(Def.Size) && Def.DataType != ftBlob)
        CellError(Field, TextTooLong(Text->size(), Def.Size));
      if (Text->size() > 0x3fffffff) CellError(Field, "text longer than 1 GB");
      PutPgUint32(FRow, static_cast<uint32_t>(Text->size()));
      FRow += *Text;
      return;
    }
  }
}

void TPostgresWriter::AppendRow(std::span<const TFieldValue> Values) {
  CheckRowShape(FTableName, FClosed, FRows + 1, Values.size(), FDefs.size());
  // Encoded apart first, so a refused cell leaves no half row behind.
  FRow.clear();
  PutPgUint16(FRow, static_cast<uint16_t>(FDefs.size()));
  for (size_t I = 0; I < Values.size(); ++I) EncodeCell(I, Values[I]);
  FBuffer += FRow;
  ++FRows;
  if (FBuffer.size() >= SendBytes) Send();
}

void TPostgresWriter::Send() {
  if (FBuffer.empty()) return;
  if (PQputCopyData(FConn.get(), FBuffer.data(), static_cast<int>(FBuffer.size())) != 1) LoadFailed();
  FBuffer.clear();
}

void TPostgresWriter::LoadFailed() {
  FClosed = true;
  std::string Message = PostgresError(FConn.get());
  while (PGresult* Result = PQgetResult(FConn.get())) {
    if (PQresultStatus(Result) == PGRES_FATAL_ERROR) Message = PostgresError(Result);
    PQclear(Result);
  }
  FConn.reset();  // the transaction rolls back with the connection
  throw Exception("Cannot write table '" + FTableName + "': " + Message);
}

void TPostgresWriter::Close() {
  if (FClosed) return;
  PutPgUint16(FBuffer, 0xffff);  // the trailer
  Send();
  if (PQputCopyEnd(FConn.get(), nullptr) != 1) LoadFailed();
  TPgResult Result(PQgetResult(FConn.get()));
  if (!Result || PQresultStatus(Result.get()) != PGRES_COMMAND_OK) {
    FClosed = true;
    const std::string Message = Result ? PostgresError(Result.get()) : PostgresError(FConn.get());
    Result.reset();
    while (PGresult* Rest = PQgetResult(FConn.get())) PQclear(Rest);
    FConn.reset();
    throw Exception("Cannot write table '" + FTableName + "': " + Message);
  }
  Result.reset();
  while (PGresult* Rest = PQgetResult(FConn.get())) PQclear(Rest);
  FClosed = true;
  ExecPostgres(FConn.get(), "COMMIT", "Cannot write table '" + FTableName + "'");
  FConn.reset();
}

}  // namespace

std::unique_ptr<TTableWriter> CreatePostgresTable(const std::string& ConnInfo, const std::string& TableName,
                                                  const std::vector<TFieldDef>& Fields) {
  return std::make_unique<TPostgresWriter>(ConnInfo, TableName, Fields);
}
