// The PostgreSQL driver against a real server (scripts/with-postgres sets
// PELLORY_PG), each test in a schema of its own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "FilterExpression.h"
#include "PostgresSchema.h"
#include "Session.h"
#include "Table.h"
#include "TableWriter.h"
#include "TestSupport.h"
#include "drivers/postgres/PostgresFilter.h"

namespace {

class PostgresTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (PostgresConnInfo().empty()) GTEST_SKIP() << NoPostgres;
    Schema = std::make_unique<TPgSchema>(::testing::UnitTest::GetInstance()->current_test_info()->name());
    ConnInfo = Schema->ConnInfo;
    Session.AddStandardAlias("PG", ConnInfo, "POSTGRES");
  }
  void Sql(const std::string& Text) { Schema->Sql(Text); }
  std::unique_ptr<TTable> Open(const std::string& Name) {
    auto Table = std::make_unique<TTable>(nullptr, &Session);
    Table->SetDatabaseName("PG");
    Table->SetTableName(Name);
    Table->Open();
    return Table;
  }
  // The ID of every row the dataset presents.
  static std::vector<int32_t> Ids(TTable& Table) {
    std::vector<int32_t> Result;
    for (Table.First(); !Table.Eof(); Table.Next()) Result.push_back(Table.FieldByName("ID")->AsInteger());
    return Result;
  }

  std::unique_ptr<TPgSchema> Schema;
  std::string ConnInfo;
  TSession Session{nullptr};
};

TEST_F(PostgresTest, TypesMapOntoCategoriesAndNullsReadAsEmpty) {
  Sql("CREATE TABLE types (s smallint, i integer, b bigint, r real, d double precision, n numeric(12,3), "
      "f boolean, t text, v varchar(7), c char(3), dt date, tm time, ts timestamp, u uuid)");
  Sql("INSERT INTO types VALUES (-7, 70000, 5000000000, 0.1, 2.5, -12.345, true, 'Äpfel', 'abc', 'x', "
      "'2024-03-01', '13:05:09', '2024-03-01 13:05:09', 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'), "
      "(NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
  auto T = Open("TYPES.DB");  // a Paradox-style name finds the bare table
  const struct {
    const char* Name;
    TFieldType Type;
    int32_t Size;
    const char* Text;
    double Number;
  } Expected[] = {
      {"s", ftSmallint, 0, "-7", -7}, {"i", ftInteger, 0, "70000", 70000}, {"b", ftLargeint, 0, "5000000000", 5e9},
      {"r", ftFloat, 0, "0.1", double(0.1f)}, {"d", ftFloat, 0, "2.5", 2.5}, {"n", ftBCD, 0, "-12.345", -12.345},
      {"f", ftBoolean, 0, "True", 1}, {"t", ftString, 0, "Äpfel", NAN}, {"v", ftString, 7, "abc", NAN},
      {"c", ftFixedChar, 3, "x  ", NAN}, {"dt", ftDate, 0, "2024-03-01", 45352},
      {"tm", ftTime, 0, "13:05:09", (13 * 3600 + 5 * 60 + 9) / 86400.0},
      {"ts", ftDateTime, 0, "2024-03-01 13:05:09", 45352 + (13 * 3600 + 5 * 60 + 9) / 86400.0},
      {"u", ftString, 0, "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11", NAN}};
  ASSERT_EQ(T->FieldCount(), 14);
  for (const auto& E : Expected) {
    SCOPED_TRACE(E.Name);
    TField* F = T->FieldByName(E.Name);
    EXPECT_EQ(F->DataType(), E.Type);
    EXPECT_EQ(F->Size(), E.Size);
    EXPECT_EQ(F->AsString(), E.Text);
    if (!std::isnan(E.Number)) {
      EXPECT_NEAR(F->AsFloat(), E.Number, 1e-9);
    }
  }
  EXPECT_EQ(T->FieldByName("b")->Value(), TFieldValue(5e9));
  T->Next();
  for (const auto& E : Expected) {
    SCOPED_TRACE(E.Name);
    TField* F = T->FieldByName(E.Name);
    EXPECT_TRUE(F->IsNull());
    EXPECT_EQ(F->AsString(), "");
    EXPECT_EQ(F->AsFloat(), 0.0);
  }
  EXPECT_EQ(T->FieldByName("s")->AsInteger(), 0);
}

TEST_F(PostgresTest, ServerAndClientFiltersGiveTheSameRows) {
  Sql("CREATE TABLE f (\"ID\" integer PRIMARY KEY, a smallint, x double precision, n numeric, s text, "
      "c char(2), ok boolean, d date)");
  Sql("INSERT INTO f VALUES (1, 0, 1.5, 2.50, 'b', 'a', true, '2024-01-01'), (2, 1, 'NaN', NULL, '', 'b', false, NULL), "
      "(3, NULL, -3, 'NaN', NULL, NULL, NULL, '2020-05-05'), (4, 1, 2.5, 1e3, 'B', 'ab', true, '2024-01-02'), "
      "(5, 0, NULL, 0.1, 'äb', 'a', false, NULL), (6, 12, 0.1, 12, '12', 'c', true, NULL)");
  auto T = Open("f");
  const char* const Filters[] = {
      "[a] = 0", "a <> 1", "x > 1 AND x <= 2.5", "x > 2", "NOT (x < 2)", "x <> 1.5", "n >= 2.5 OR s = 'b'",
      "s < 'b'", "s >= 'B'", "s <> ''", "s IS NULL", "NOT s IS NOT NULL", "a = '12'", "a < '2'", "ok = TRUE",
      "ok <> FALSE OR a IS NULL", "1 = 1", "'a' < 'b' AND NOT 2 > 3", "x = n", "s = a",
      // These stay on the client: a char(n), a date, a float shown as text.
      "c = 'a '", "d > 45000", "x = '1.5'"};
  const std::vector<std::string> Quoted{"\"ID\"", "a", "x", "n", "s", "c", "ok", "d"};
  for (const char* Text : Filters) {
    SCOPED_TRACE(Text);
    const TFilterExpression Expression(Text, T->CurrentRow()->Columns());
    std::vector<int32_t> Client;
    T->SetFiltered(false);
    for (T->First(); !T->Eof(); T->Next())
      if (Expression.Matches(*T->CurrentRow())) Client.push_back(T->FieldByName("ID")->AsInteger());
    T->SetFilter(Text);
    T->SetFiltered(true);
    EXPECT_EQ(Ids(*T), Client);
    EXPECT_EQ(T->RecordCount(), static_cast<int32_t>(Client.size()));
    T->SetFiltered(false);
  }
  // The server path really is taken where it can be.
  // Type oids of integer, smallint, double precision, numeric, text, char(2), boolean, date.
  std::vector<TPgColumnType> Types;
  for (uint32_t Oid : {23u, 21u, 701u, 1700u, 25u, 1042u, 16u, 1082u}) Types.push_back(PostgresColumnType(Oid, 6));
  T->First();
  const std::vector<TColumnInfo> Columns = T->CurrentRow()->Columns();
  const auto Translated = [&](const char* Text) {
    return TranslateFilter(TFilterExpression(Text, Columns), Quoted, Types).has_value();
  };
  EXPECT_TRUE(Translated("[a] = 0 AND (s < 'b' OR NOT x IS NULL)"));
  EXPECT_FALSE(Translated("d > 45000"));
  EXPECT_FALSE(Translated("c = 'a '"));
}

TEST_F(PostgresTest, BookmarksAndRowNumbersHoldForEveryKindOfKey) {
  Sql("CREATE TABLE keyed (\"ID\" integer PRIMARY KEY, v integer); CREATE TABLE heap (\"ID\" integer, v integer); "
      "CREATE TABLE parent (\"ID\" integer, v integer); CREATE TABLE child () INHERITS (parent); "
      "INSERT INTO parent SELECT i, i % 7 FROM generate_series(1, 700, 2) i; "
      "INSERT INTO child SELECT i, i % 7 FROM generate_series(2, 700, 2) i; "
      "INSERT INTO keyed SELECT i * 3, i % 7 FROM generate_series(700, 1, -1) i; "
      "INSERT INTO heap SELECT i, i % 7 FROM generate_series(1, 700) i; DELETE FROM heap WHERE \"ID\" % 10 = 0; "
      "CREATE VIEW numbered AS SELECT * FROM heap WHERE v <> 3");
  for (const char* Name : {"keyed", "heap", "numbered", "parent"}) {
    SCOPED_TRACE(Name);
    auto T = Open(Name);
    const std::vector<int32_t> All = Ids(*T);
    ASSERT_EQ(T->RecordCount(), static_cast<int32_t>(All.size()));
    // Rows written meanwhile stay out of the dataset's snapshot.
    Sql(std::string("INSERT INTO ") + (std::string(Name) == "numbered" ? "heap" : Name) + " VALUES (100000, 1)");
    T->SetRecNo(500);
    EXPECT_EQ(T->FieldByName("ID")->AsInteger(), All[499]);
    TBookmark Mark = T->GetBookmark();
    T->SetRecNo(3);
    EXPECT_EQ(T->FieldByName("ID")->AsInteger(), All[2]);
    std::vector<int32_t> Read;
    // Across the end: only the rows there are.
    const int32_t Last = static_cast<int32_t>(All.size());
    T->ReadRows(Last - 2, 5, [&](int32_t) { Read.push_back(T->FieldByName("ID")->AsInteger()); });
    EXPECT_EQ(Read, std::vector<int32_t>(All.end() - 3, All.end()));
    EXPECT_EQ(T->RecNo(), 3);
    T->GotoBookmark(Mark);
    T->FreeBookmark(Mark);
    EXPECT_EQ(T->RecNo(), 500);
    EXPECT_EQ(T->FieldByName("ID")->AsInteger(), All[499]);
    EXPECT_EQ(Ids(*T), All);
    T->SetFilter("v = 2");
    T->SetFiltered(true);
    T->SetRecNo(20);
    const int32_t Twentieth = T->FieldByName("ID")->AsInteger();
    T->First();
    EXPECT_EQ(Ids(*T)[19], Twentieth);
  }
}

TEST_F(PostgresTest, HostileNamesAreReadAndHarmNothing) {
  Sql("CREATE TABLE y (a integer)");
  const std::string Name = "x\"; DROP TABLE y; --";
  auto Writer = CreatePostgresTable(ConnInfo, Name, {{"ID", ftInteger}, {"it's \"q\"", ftString, 10}});
  Writer->AppendRow(std::vector<TFieldValue>{1, std::string("a'b")});
  Writer->AppendRow(std::vector<TFieldValue>{2, std::string("\"); --")});
  Writer->Close();
  EXPECT_EQ(Session.TableNames("PG"), (std::vector<std::string>{Name, "y"}));
  auto T = Open(Name);
  EXPECT_EQ(T->Fields(1)->FieldName(), "it's \"q\"");
  T->SetFilter("[it's \"q\"] = 'a''b' OR [it's \"q\"] = '\"); --'");
  T->SetFiltered(true);
  EXPECT_EQ(Ids(*T), (std::vector<int32_t>{1, 2}));
  T->First();
  EXPECT_EQ(T->Fields(1)->AsString(), "a'b");
  T->Close();
  EXPECT_EQ(Open("y")->FieldCount(), 1);
}

TEST_F(PostgresTest, WriterStoresEveryCategoryAsTheReaderReadsIt) {
  const std::vector<TFieldDef> Fields{{"ID", ftInteger}, {"S", ftSmallint}, {"L", ftLargeint}, {"F", ftFloat},
                                      {"B", ftBoolean}, {"T", ftString, 5}, {"C", ftFixedChar, 2}, {"M", ftMemo},
                                      {"D", ftDate}, {"Tm", ftTime}, {"Dt", ftDateTime}};
  const std::vector<TFieldValue> Row{7, -32768, 123456, 0.1, true, std::string("abcde"), std::string("x"),
                                     std::string(""), 45352.0, 0.5, 45352.25};
  auto Writer = CreatePostgresTable(ConnInfo, "written", Fields);
  Writer->AppendRow(Row);
  // Refused cells name the field and leave no half row behind.
  std::vector<TFieldValue> Bad = Row;
  Bad[1] = 40000;
  EXPECT_NE(MessageOf([&] { Writer->AppendRow(Bad); }).find("field 'S'"), std::string::npos);
  Bad = Row;
  Bad[5] = std::string("abcdef");
  EXPECT_NE(MessageOf([&] { Writer->AppendRow(Bad); }).find("field 'T'"), std::string::npos);
  Writer->AppendRow(std::vector<TFieldValue>(Fields.size()));
  Writer->Close();
  auto T = Open("written");
  ASSERT_EQ(T->RecordCount(), 2);
  for (int32_t I = 0; I < T->FieldCount(); ++I) {
    SCOPED_TRACE(Fields[static_cast<size_t>(I)].Name);
    EXPECT_EQ(T->Fields(I)->DataType(), Fields[static_cast<size_t>(I)].DataType == ftMemo ? ftString : Fields[static_cast<size_t>(I)].DataType);
    EXPECT_EQ(T->Fields(I)->Value(), I == 6 ? TFieldValue(std::string("x ")) : Row[static_cast<size_t>(I)]);
  }
  EXPECT_EQ(T->FieldByName("Dt")->AsString(), "2024-03-01 06:00:00");
  T->Next();
  for (int32_t I = 0; I < T->FieldCount(); ++I) EXPECT_TRUE(T->Fields(I)->IsNull());
}

TEST_F(PostgresTest, FailedConnectionNamesDatabaseAndHostButNotThePassword) {
  const struct {
    const char* Info;
    const char* Names;
  } Cases[] = {
      {"host=/nonexistent-pellory dbname=shopdb user=u password=Secret%zz1",
       "Cannot connect to database 'shopdb' on host '/nonexistent-pellory'"},
      {"postgresql://u:Secret%zz1@%2Fnonexistent-pellory/shopdb", "Invalid PostgreSQL connection string"},
      {"host=/nonexistent-pellory password=Secret%zz1 bogus=1", "bogus"}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Info);
    TSession S(nullptr);
    S.AddStandardAlias("BAD", Case.Info, "POSTGRES");
    const std::string Message = MessageOf([&] { S.TableNames("BAD"); });
    EXPECT_EQ(Message.find("Secret"), std::string::npos) << Message;
    EXPECT_NE(Message.find(Case.Names), std::string::npos) << Message;
  }
  // The server's own message reaches the caller.
  TSession S(nullptr);
  S.AddStandardAlias("NODB", ConnInfo + " dbname=no_such_db_pellory", "POSTGRES");
  const std::string Message = MessageOf([&] { S.TableNames("NODB"); });
  EXPECT_NE(Message.find("Cannot connect to database 'no_such_db_pellory'"), std::string::npos) << Message;
  EXPECT_NE(Message.find("does not exist"), std::string::npos) << Message;
}

TEST_F(PostgresTest, ServerErrorInTheMiddleOfAWalkRaisesInsteadOfEndingEarly) {
  Sql("CREATE VIEW failing AS SELECT i AS \"ID\", 100 / (i - 3000) AS q FROM generate_series(1, 5000) i");
  auto T = Open("failing");
  int32_t Rows = 0;
  const std::string Message = MessageOf([&] {
    for (T->First(); !T->Eof(); T->Next()) ++Rows;
  });
  EXPECT_NE(Message.find("division by zero"), std::string::npos) << Message;
  EXPECT_GT(Rows, 0);
  EXPECT_LT(Rows, 3000);
  // The transaction survives: the rows before the fault read again.
  T->SetRecNo(1);
  EXPECT_EQ(T->FieldByName("ID")->AsInteger(), 1);
}

TEST_F(PostgresTest, LeavingALongWalkEarlyCancelsItAndALostConnectionRaises) {
  // Rows without end, produced as they are read.
  Sql("CREATE VIEW endless AS WITH RECURSIVE r(\"ID\") AS (SELECT 1 UNION ALL SELECT \"ID\" + 1 FROM r) "
      "SELECT \"ID\" FROM r");
  auto T = Open("endless");
  T->Next();
  T->Next();
  T->SetRecNo(1);  // back: the running COPY is cancelled, the snapshot kept
  EXPECT_EQ(T->FieldByName("ID")->AsInteger(), 1);
  T->Next();
  EXPECT_EQ(T->FieldByName("ID")->AsInteger(), 2);
  T->Close();
  // A connection lost mid-walk is an error with the server's word, not an end.
  T->Open();
  Sql("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE query LIKE 'COPY%" + Schema->Name + "%'");
  const std::string Message = MessageOf([&] {
    for (int32_t Row = 0; Row < 100000000 && !T->Eof(); ++Row) T->Next();
  });
  EXPECT_NE(Message.find("terminat"), std::string::npos) << Message;
}

}  // namespace
