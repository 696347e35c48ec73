// Reading PostgreSQL tables. A cursor owns one connection and one read-only
// transaction with repeatable-read isolation, opened with the table, so its
// row count, its walks and its seeks all see one snapshot.
//
// Rows stream through COPY (SELECT ...) TO STDOUT in binary: one row in
// memory at a time, no per-value text conversion. Row keys, in the order
// the walk delivers rows:
//   - a single integer primary key: its value (ORDER BY it; a seek is an
//     index search "WHERE key >= k");
//   - otherwise, for a plain table or materialized view: the row's ctid as
//     block * 65536 + item, in physical order (scans without synchronized
//     starting points or parallel workers deliver exactly that order, which
//     the cursor checks; a seek is a TID range scan);
//   - otherwise (a view, a partitioned or foreign table, a table with child
//     tables, whose ctids repeat, a composite or non-integer primary key):
//     the row number; the walk is ordered by the
//     primary key where there is one, else in the order the server returns
//     the rows, and a seek runs the query again with OFFSET. Within the one
//     snapshot the server repeats its plan, so the numbers stay put, but for
//     a view without an order nothing guarantees the order across plans.
// Leaving a walk early (a seek backwards, Close) cancels the running COPY
// and rolls back to a savepoint taken before it, keeping the snapshot.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Convert.h"
#include "Exceptions.h"
#include "FilterExpression.h"
#include "Postgres.h"
#include "PostgresFilter.h"
#include "PostgresValues.h"
#include "drivers/Drivers.h"

namespace {

enum class TKeyKind { kkPrimaryKey, kkCtid, kkRowNumber };

// A row a seek may reach by reading on rather than by a new query.
constexpr int64_t MaxRowsSkipped = 4096;
// Keys fetched at a time when the server evaluates a filter.
constexpr int MatchFetchRows = 50000;

const char CopySignature[] = "PGCOPY\n\377\r\n";  // and a NUL: 11 bytes

struct TCopyFreer {
  void operator()(char* P) const { PQfreemem(P); }
};

class TPostgresCursor final : public TCursor {
public:
  TPostgresCursor(const std::string& ConnInfo, const std::string& TableName);
  ~TPostgresCursor() override;

  int64_t RowCount() override;
  bool First() override { return Start(std::nullopt); }
  bool Next() override;
  bool Seek(int64_t Key) override;
  int64_t Key() const override { return FKey; }
  bool KeysAreRowNumbers() const override { return FKeyKind == TKeyKind::kkRowNumber; }
  bool MatchingKeys(const TFilterExpression& Filter, std::vector<int64_t>& Keys) override;

  bool IsNull(int Column) override { return FCells[static_cast<size_t>(Column) + 1].second < 0; }
  bool ReadInteger(int Column, int64_t& Value) override;
  bool ReadFloat(int Column, double& Value) override;
  bool ReadText(int Column, std::string& Value) override;

private:
  std::string Context() const { return "Cannot read table '" + FTableName + "'"; }
  void Run(const std::string& Sql) { ExecPostgres(FConn.get(), Sql, Context()); }
  void ReadLayout(const TPgRelation& Relation);
  bool Start(std::optional<int64_t> From);
  bool Step();
  // Parses one COPY message into the current row; false for the trailer.
  bool ParseRow(char* Data, int Size);
  void EndWalk();
  void CancelWalk();
  // Ends the COPY on the connection: asks the server to stop when it may
  // still be sending (PQgetResult would wait for it forever otherwise), then
  // reads what was on its way and the COPY's result.
  void DrainWalk(bool Cancel);
  [[noreturn]] void Fail(const std::string& Message);
  std::string_view Cell(int Column) const {
    const auto [Offset, Length] = FCells[static_cast<size_t>(Column) + 1];
    return std::string_view(FRow.get() + Offset, static_cast<size_t>(Length));
  }
  [[noreturn]] void NotNumeric(int Column, std::string_view What) const {
    // Appended rather than "'" + text: GCC 12 warns wrongly about the latter.
    std::string Message(1, '\'');
    Message.append(What).append("' is not a valid number in field '");
    throw EConvertError(Message + FColumns[static_cast<size_t>(Column)].Name + "'");
  }

  std::string FTableName;
  TPgConn FConn;
  std::vector<TPgColumnType> FTypes;
  std::vector<std::string> FQuoted;  // column names as identifiers
  std::string FFrom;                 // the relation, qualified and quoted
  std::string FSelect;               // key expression and the columns
  std::string FKeyExpression;
  TPgColumnType FKeyType;
  std::string FOrder;                // ORDER BY clause, or empty
  TKeyKind FKeyKind = TKeyKind::kkRowNumber;
  int64_t FRowCount = -1;  // not counted yet

  bool FStreaming = false;  // a COPY is running
  bool FHeaderSeen = false;
  bool FOnRow = false;
  int64_t FKey = 0;
  std::unique_ptr<char, TCopyFreer> FRow;
  std::vector<std::pair<int32_t, int32_t>> FCells;  // offset and length (-1: null); [0] is the key
};

TPostgresCursor::TPostgresCursor(const std::string& ConnInfo, const std::string& TableName)
    : FTableName(TableName), FConn(ConnectPostgres(ConnInfo)) {
  // Physical order for ctid keys: no scan joins another midway, no workers.
  Run("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY; SET LOCAL synchronize_seqscans = off; "
      "SET LOCAL max_parallel_workers_per_gather = 0; SET LOCAL jit = off");
  const TPgRelation Relation = FindPostgresRelation(FConn.get(), TableName);
  FFrom = Relation.Qualified(FConn.get());
  ReadLayout(Relation);
}

int64_t TPostgresCursor::RowCount() {
  // Counted when first asked (a view may be endless and only walked in
  // part); a running walk gives way and comes back to its row.
  if (FRowCount < 0) {
    const bool Resume = FStreaming && FOnRow;
    const int64_t Key = FKey;
    CancelWalk();
    TPgResult Count = ExecPostgres(FConn.get(), "SELECT count(*) FROM " + FFrom, Context());
    FRowCount = std::stoll(PQgetvalue(Count.get(), 0, 0));
    if (Resume && !Seek(Key)) throw Exception(Context() + ": the current row vanished while counting");
  }
  return FRowCount;
}

void TPostgresCursor::ReadLayout(const TPgRelation& Relation) {
  // A domain reads as its base type.
  TPgResult Attributes = ExecPostgres(
      FConn.get(),
      "SELECT a.attname, CASE WHEN t.typtype = 'd' THEN t.typbasetype ELSE a.atttypid END::text, "
      "CASE WHEN t.typtype = 'd' THEN t.typtypmod ELSE a.atttypmod END::text "
      "FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid "
      "WHERE a.attrelid = $1::oid AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum",
      Context(), {Relation.Oid});
  std::string Columns;
  for (int Row = 0; Row < PQntuples(Attributes.get()); ++Row) {
    const std::string Name = PQgetvalue(Attributes.get(), Row, 0);
    const auto TypeOid = static_cast<uint32_t>(std::stoul(PQgetvalue(Attributes.get(), Row, 1)));
    const TPgColumnType Type = PostgresColumnType(TypeOid, std::stoi(PQgetvalue(Attributes.get(), Row, 2)));
    FColumns.push_back({Name, Type.DataType, Type.Size});
    FTypes.push_back(Type);
    FQuoted.push_back(QuotePgIdentifier(FConn.get(), Name));
    Columns += ", " + (Type.CastToText ? FQuoted.back() + "::text" : FQuoted.back());
  }
  TPgResult Primary = ExecPostgres(
      FConn.get(),
      "SELECT a.attname, a.atttypid::text FROM pg_index i "
      "JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = ANY (i.indkey) "
      "WHERE i.indrelid = $1::oid AND i.indisprimary ORDER BY array_position(i.indkey::int2[], a.attnum)",
      Context(), {Relation.Oid});
  const int KeyColumns = PQntuples(Primary.get());
  if (KeyColumns == 1) {
    FKeyType = PostgresColumnType(static_cast<uint32_t>(std::stoul(PQgetvalue(Primary.get(), 0, 1))), -1);
    if (FKeyType.Kind == TPgKind::pkInt2 || FKeyType.Kind == TPgKind::pkInt4 || FKeyType.Kind == TPgKind::pkInt8) {
      FKeyKind = TKeyKind::kkPrimaryKey;
      FKeyExpression = QuotePgIdentifier(FConn.get(), PQgetvalue(Primary.get(), 0, 0));
      FOrder = " ORDER BY " + FKeyExpression;
    }
  }
  if (FKeyKind != TKeyKind::kkPrimaryKey && KeyColumns > 0) {
    FOrder = " ORDER BY ";
    for (int I = 0; I < KeyColumns; ++I)
      FOrder += (I ? ", " : "") + QuotePgIdentifier(FConn.get(), PQgetvalue(Primary.get(), I, 0));
  } else if (FKeyKind != TKeyKind::kkPrimaryKey && (Relation.Kind == 'r' || Relation.Kind == 'm') &&
             !Relation.Inherited) {
    FKeyKind = TKeyKind::kkCtid;
    FKeyExpression = "ctid";
  }
  // Row numbers need no key column; a constant keeps the cell layout one.
  FSelect = "SELECT " + (FKeyKind == TKeyKind::kkRowNumber ? std::string("NULL::int4") : FKeyExpression) + Columns;
  FCells.resize(FColumns.size() + 1);
}

TPostgresCursor::~TPostgresCursor() {
  try {
    CancelWalk();
  } catch (...) {
    // The connection closes below; the server ends the transaction.
  }
}

bool TPostgresCursor::Start(std::optional<int64_t> From) {
  CancelWalk();
  std::string Where, Offset;
  if (From && FKeyKind == TKeyKind::kkPrimaryKey) {
    Where = " WHERE " + FKeyExpression + " >= " + std::to_string(*From);
  } else if (From && FKeyKind == TKeyKind::kkCtid) {
    if (*From < 0) return FOnRow = false;
    Where = " WHERE ctid >= '(" + std::to_string(*From >> 16) + "," + std::to_string(*From & 0xffff) + ")'::tid";
  } else if (From) {
    if (*From < 0) return FOnRow = false;
    Offset = " OFFSET " + std::to_string(*From);
  }
  Run("SAVEPOINT pellory_walk");
  const std::string Sql = "COPY (" + FSelect + " FROM " + FFrom + Where +
                          (FKeyKind == TKeyKind::kkCtid ? "" : FOrder) + Offset + ") TO STDOUT (FORMAT binary)";
  TPgResult Result(PQexec(FConn.get(), Sql.c_str()));
  if (!Result || PQresultStatus(Result.get()) != PGRES_COPY_OUT) {
    const std::string Message = Result ? PostgresError(Result.get()) : PostgresError(FConn.get());
    Result.reset();
    Fail(Message);
  }
  FStreaming = true;
  FHeaderSeen = false;
  FOnRow = false;
  FKey = FKeyKind == TKeyKind::kkRowNumber ? From.value_or(0) - 1 : 0;
  return Step();
}

bool TPostgresCursor::Step() {
  for (;;) {
    char* Data = nullptr;
    const int Size = PQgetCopyData(FConn.get(), &Data, 0);
    if (Size > 0) {
      if (ParseRow(Data, Size)) return true;
      continue;
    }
    // The COPY ended: its result says whether the whole of it was sent.
    TPgResult Result(Size == -2 ? nullptr : PQgetResult(FConn.get()));
    if (!Result || PQresultStatus(Result.get()) != PGRES_COMMAND_OK) {
      const std::string Message = Result ? PostgresError(Result.get()) : PostgresError(FConn.get());
      Result.reset();
      DrainWalk(false);
      Fail(Message);
    }
    EndWalk();
    return false;
  }
}

bool TPostgresCursor::ParseRow(char* Data, int Size) {
  std::unique_ptr<char, TCopyFreer> Message(Data);
  size_t At = 0;
  const size_t End = static_cast<size_t>(Size);
  const auto Need = [&](size_t Bytes) {
    if (End - At < Bytes) Fail("malformed COPY data from the server");
  };
  if (!FHeaderSeen) {
    Need(19);
    if (std::memcmp(Data, CopySignature, 11) != 0) Fail("malformed COPY header from the server");
    const uint32_t Extension = PgUint32(Data + 15);
    At = 19;
    Need(Extension);
    At += Extension;
    FHeaderSeen = true;
    if (At == End) return false;
  }
  Need(2);
  const int16_t Count = static_cast<int16_t>(PgUint16(Data + At));
  At += 2;
  if (Count == -1) return false;  // the trailer
  if (static_cast<size_t>(Count) != FCells.size()) Fail("the server sent a row of another width");
  for (auto& [Offset, Length] : FCells) {
    Need(4);
    Length = static_cast<int32_t>(PgUint32(Data + At));
    At += 4;
    Offset = static_cast<int32_t>(At);
    if (Length >= 0) {
      Need(static_cast<size_t>(Length));
      At += static_cast<size_t>(Length);
    }
  }
  FRow = std::move(Message);
  int64_t Key = FKey + 1;
  if (FKeyKind == TKeyKind::kkCtid) {
    const std::string_view Tid = Cell(-1);
    if (Tid.size() != 6) Fail("malformed ctid from the server");
    Key = (static_cast<int64_t>(PgUint32(Tid.data())) << 16) | PgUint16(Tid.data() + 4);
    if (FOnRow && Key <= FKey) Fail("rows did not arrive in physical order");
  } else if (FKeyKind == TKeyKind::kkPrimaryKey) {
    if (FCells[0].second < 0 || !PostgresInteger(FKeyType.Kind, Cell(-1), Key)) Fail("a null primary key");
  }
  FKey = Key;
  FOnRow = true;
  return true;
}

void TPostgresCursor::EndWalk() {
  FStreaming = false;
  Run("RELEASE SAVEPOINT pellory_walk");
}

void TPostgresCursor::DrainWalk(bool Cancel) {
  if (!FStreaming) return;
  FStreaming = false;
  if (PGcancel* Canceller = Cancel ? PQgetCancel(FConn.get()) : nullptr) {
    char Error[256];
    PQcancel(Canceller, Error, sizeof Error);
    PQfreeCancel(Canceller);
  }
  char* Data = nullptr;
  while (PQgetCopyData(FConn.get(), &Data, 0) > 0) PQfreemem(Data);
  while (PGresult* Result = PQgetResult(FConn.get())) PQclear(Result);
}

void TPostgresCursor::CancelWalk() {
  if (!FStreaming) return;
  DrainWalk(true);
  FOnRow = false;
  Run("ROLLBACK TO SAVEPOINT pellory_walk; RELEASE SAVEPOINT pellory_walk");
}

void TPostgresCursor::Fail(const std::string& Message) {
  // Leave the connection usable when the server still is. A COPY still
  // sending (the client refused its data) is cancelled first.
  DrainWalk(true);
  FOnRow = false;
  PQclear(PQexec(FConn.get(), "ROLLBACK TO SAVEPOINT pellory_walk; RELEASE SAVEPOINT pellory_walk"));
  throw Exception(Context() + ": " + Message);
}

bool TPostgresCursor::Next() {
  if (!FOnRow || !FStreaming) return false;
  return Step();
}

bool TPostgresCursor::Seek(int64_t Key) {
  if (FOnRow && Key == FKey) return true;
  const bool Near = FKeyKind != TKeyKind::kkRowNumber || Key - FKey <= MaxRowsSkipped;
  if (FStreaming && FOnRow && Key > FKey && Near) {
    while (FKey < Key)
      if (!Step()) return false;
    return FKey == Key;
  }
  return Start(Key) && FKey == Key;
}

bool TPostgresCursor::MatchingKeys(const TFilterExpression& Filter, std::vector<int64_t>& Keys) {
  if (FKeyKind == TKeyKind::kkRowNumber) return false;
  const std::optional<TPgCondition> Condition = TranslateFilter(Filter, FQuoted, FTypes);
  if (!Condition) return false;
  CancelWalk();
  FOnRow = false;
  Run("SAVEPOINT pellory_walk");
  std::vector<int64_t> Found;
  try {
    ExecPostgres(FConn.get(),
                 "DECLARE pellory_keys NO SCROLL CURSOR FOR SELECT " + FKeyExpression + " FROM " + FFrom +
                     " WHERE " + Condition->Sql,
                 Context(), Condition->Params);
    const std::string Fetch = "FETCH " + std::to_string(MatchFetchRows) + " FROM pellory_keys";
    for (;;) {
      TPgResult Batch = ExecPostgres(FConn.get(), Fetch, Context(), {}, true);
      const int Rows = PQntuples(Batch.get());
      for (int Row = 0; Row < Rows; ++Row) {
        const auto Length = static_cast<size_t>(PQgetlength(Batch.get(), Row, 0));
        const std::string_view Value(PQgetvalue(Batch.get(), Row, 0), Length);
        int64_t Key = 0;
        if (FKeyKind == TKeyKind::kkCtid) {
          if (Value.size() != 6) throw Exception(Context() + ": malformed ctid from the server");
          Key = (static_cast<int64_t>(PgUint32(Value.data())) << 16) | PgUint16(Value.data() + 4);
        } else {
          PostgresInteger(FKeyType.Kind, Value, Key);
        }
        Found.push_back(Key);
      }
      if (Rows < MatchFetchRows) break;
    }
  } catch (...) {
    PQclear(PQexec(FConn.get(), "ROLLBACK TO SAVEPOINT pellory_walk; RELEASE SAVEPOINT pellory_walk"));
    throw;
  }
  Run("CLOSE pellory_keys; RELEASE SAVEPOINT pellory_walk");
  std::sort(Found.begin(), Found.end());
  Keys = std::move(Found);
  return true;
}

bool TPostgresCursor::ReadInteger(int Column, int64_t& Value) {
  if (IsNull(Column)) return false;
  const TPgKind Kind = FTypes[static_cast<size_t>(Column)].Kind;
  if (Kind != TPgKind::pkText) return PostgresInteger(Kind, Cell(Column), Value);
  const auto D = TryStrToFloat(Cell(Column));
  const double R = D ? std::round(*D) : 0.0;
  if (!D || !(R >= -9.2e18 && R <= 9.2e18)) NotNumeric(Column, Cell(Column));
  Value = static_cast<int64_t>(R);
  return true;
}

bool TPostgresCursor::ReadFloat(int Column, double& Value) {
  if (IsNull(Column)) return false;
  const TPgKind Kind = FTypes[static_cast<size_t>(Column)].Kind;
  if (Kind != TPgKind::pkText) return PostgresNumber(Kind, Cell(Column), Value);
  const auto D = TryStrToFloat(Cell(Column));
  if (!D) NotNumeric(Column, Cell(Column));
  Value = *D;
  return true;
}

bool TPostgresCursor::ReadText(int Column, std::string& Value) {
  if (IsNull(Column)) return false;
  PostgresText(FTypes[static_cast<size_t>(Column)].Kind, Cell(Column), Value);
  return true;
}

}  // namespace

std::vector<std::string> PostgresTableNames(const std::string& ConnInfo) {
  TPgConn Conn = ConnectPostgres(ConnInfo);
  std::vector<std::string> Names;
  for (const TPgRelation& R : PostgresRelations(Conn.get()))
    if (R.Visible) Names.push_back(R.Name);
  return Names;
}

std::unique_ptr<TCursor> OpenPostgresTable(const std::string& ConnInfo, const std::string& TableName) {
  return std::make_unique<TPostgresCursor>(ConnInfo, TableName);
}
