// Tables changed or damaged behind the dataset's back: clear errors, no
// crashes.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <limits>

#include "DataTestTables.h"
#include "DateTimeText.h"
#include "Exceptions.h"

namespace fs = std::filesystem;

namespace {

void Sql(const std::string& Statement) {
  sqlite3* Db = nullptr;
  ASSERT_EQ(sqlite3_open(DataFolder().SqliteFile.c_str(), &Db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(Db, Statement.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(Db);
  sqlite3_close(Db);
}

TEST(TTable, TruncatedParadoxFileIsReportedAsDamaged) {
  const fs::path File = DataFolder().Folder / "CUT.DB";
  {
    auto Writer = CreateParadoxTable(File.string(), {{"ID", ftInteger}, {"S", ftString, 200}});
    for (int32_t i = 0; i < 2000; ++i) Writer->AppendRow(std::vector<TFieldValue>{i, std::string(150, 'x')});
    Writer->Close();
  }
  fs::resize_file(File, fs::file_size(File) / 2);
  auto Session = MakeSession();
  TTable Table(nullptr, Session.get());
  Table.SetDatabaseName("PX");
  Table.SetTableName("CUT.DB");
  try {
    Table.Open();
    for (; !Table.Eof(); Table.Next()) Table.FieldByName("S")->AsString();
    FAIL() << "no error";
  } catch (const Exception& E) {
    EXPECT_NE(E.Message().find("CUT.DB"), std::string::npos) << E.Message();
  }
}

// A stored date beyond any calendar (a damaged Paradox timestamp, a REAL in
// an SQLite date column): its text overflowed while counting milliseconds.
TEST(TTable, DateValuesBeyondTheCalendarAreConvertErrors) {
  const double Day = *ParseDateTimeText("2024-03-01 13:05:09");
  WriteBoth("MOMENTS", {{"ID", ftInteger}, {"At", ftDateTime}}, {{1, Day}});
  Sql("INSERT INTO MOMENTS VALUES (2, 1e300), (3, -9e999)");
  auto Session = MakeSession();
  TTable Table(nullptr, Session.get());
  Table.SetDatabaseName("SQ");
  Table.SetTableName("MOMENTS");
  Table.Open();
  EXPECT_EQ(Table.FieldByName("At")->AsString(), "2024-03-01 13:05:09");
  Table.Next();
  EXPECT_EQ(MessageOf([&] { Table.FieldByName("At")->AsString(); }), "Date and time value 1e+300 is out of range");
  Table.Next();
  EXPECT_THROW(Table.FieldByName("At")->AsString(), EConvertError);
  EXPECT_EQ(Table.FieldByName("ID")->AsInteger(), 3);  // the row itself still reads

  // The texts themselves, at the edge of the range and beyond it.
  EXPECT_NO_THROW(DateText(1e11));
  EXPECT_EQ(TimeText(-1e11), "00:00:00");
  EXPECT_THROW(DateText(std::nan("")), EConvertError);
  EXPECT_THROW(TimeText(std::numeric_limits<double>::infinity()), EConvertError);
  EXPECT_THROW(DateTimeText(1.0000001e11), EConvertError);
}

TEST(TTable, DeletedRowsAndWideIntegersInSqlite) {
  WriteBoth("CHANGING", {{"ID", ftInteger}, {"Big", ftLargeint}}, {{1, 1}, {2, 2}, {3, 3}});
  auto Session = MakeSession();
  TTable Table(nullptr, Session.get());
  Table.SetDatabaseName("SQ");
  Table.SetTableName("CHANGING");
  Table.Open();
  Table.Next();
  TBookmark Mark = Table.GetBookmark();
  // An open walk holds SQLite's read lock; bookmarks outlive Close.
  Table.Close();
  Sql("DELETE FROM CHANGING WHERE ID = 2; UPDATE CHANGING SET Big = 10000000000 WHERE ID = 3");
  Table.Open();
  EXPECT_THROW(Table.GotoBookmark(Mark), Exception);
  EXPECT_EQ(Table.FieldByName("ID")->AsInteger(), 1);  // position kept
  Table.FreeBookmark(Mark);
  Table.Next();
  EXPECT_EQ(Table.FieldByName("ID")->AsInteger(), 3);
  EXPECT_THROW(Table.FieldByName("Big")->AsInteger(), EConvertError);
  EXPECT_DOUBLE_EQ(Table.FieldByName("Big")->AsFloat(), 1e10);
  EXPECT_DOUBLE_EQ(std::get<double>(Table.FieldValues("Big")), 1e10);
  EXPECT_EQ(Table.RecordCount(), 2);
}

// A declared size beyond what a text can hold is clamped, and a negative
// one declares none.
TEST(TTable, SqliteDeclaredSizesAreClamped) {
  Sql("DROP TABLE IF EXISTS SIZES; CREATE TABLE SIZES (a VARCHAR(99999999999), b CHAR(-5), c TEXT(+7), "
      "d VARCHAR( 12 ), e NVARCHAR(2147483648), f VARCHAR(99999999999999999999999999))");
  auto Session = MakeSession();
  TTable Table(nullptr, Session.get());
  Table.SetDatabaseName("SQ");
  Table.SetTableName("SIZES");
  Table.Open();
  const std::vector<int32_t> Expected{1000000000, 0, 7, 12, 1000000000, 1000000000};
  ASSERT_EQ(Table.FieldCount(), 6);
  for (size_t i = 0; i < Expected.size(); ++i) {
    EXPECT_EQ(Table.Fields(static_cast<int32_t>(i))->DataType(), ftString) << i;
    EXPECT_EQ(Table.Fields(static_cast<int32_t>(i))->Size(), Expected[i]) << i;
  }
}

TEST(TTable, SqliteDeclaredTypesMapToCategories) {
  Sql("DROP TABLE IF EXISTS DECL; CREATE TABLE DECL (a SMALLINT, b INTEGER, c BIGINT, d REAL, e FLOAT, "
      "f DOUBLE PRECISION, g NUMERIC(10,2), h DECIMAL, i TEXT, j VARCHAR(20), k CHAR(3), l BOOLEAN, m DATE, "
      "n TIME, o DATETIME, p TIMESTAMP, q BLOB, r UNSIGNED BIG INT, s NATIVE CHARACTER(4), t, u SOMETHING)");
  Sql("INSERT INTO DECL (l, m, i) VALUES ('true', '2024-03-01', 'x')");
  auto Session = MakeSession();
  TTable Table(nullptr, Session.get());
  Table.SetDatabaseName("SQ");
  Table.SetTableName("decl");
  Table.Open();
  const std::vector<TFieldType> Expected{ftSmallint, ftInteger, ftLargeint, ftFloat,   ftFloat,    ftFloat,  ftBCD,
                                         ftBCD,      ftString,  ftString,   ftString,  ftBoolean,  ftDate,   ftTime,
                                         ftDateTime, ftDateTime, ftBlob,    ftLargeint, ftString,  ftBlob,   ftFloat};
  ASSERT_EQ(Table.FieldCount(), static_cast<int32_t>(Expected.size()));
  for (size_t i = 0; i < Expected.size(); ++i)
    EXPECT_EQ(FieldTypeName(Table.Fields(static_cast<int32_t>(i))->DataType()), FieldTypeName(Expected[i])) << i;
  EXPECT_EQ(Table.FieldByName("j")->Size(), 20);
  EXPECT_TRUE(Table.FieldByName("l")->AsBoolean());
  EXPECT_EQ(Table.FieldByName("m")->AsString(), "2024-03-01");
  EXPECT_DOUBLE_EQ(Table.FieldByName("m")->AsFloat(), 45352.0);
  EXPECT_THROW(Table.FieldByName("i")->AsFloat(), EConvertError);
}

}  // namespace
