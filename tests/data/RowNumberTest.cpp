// Rows by number: RecNo, SetRecNo and ReadRows over tables longer than the
// step between noted keys, filtered and not, and over a SQLite table whose
// rowids have gaps.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "DataTestTables.h"
#include "Exceptions.h"

namespace {

constexpr int32_t kRows = 1000;

// "COUNTED": ID 1..1000, Odd = ID mod 2.
void EnsureCounted() {
  static bool Done = false;
  if (Done) return;
  Done = true;
  TRows Rows;
  for (int32_t Id = 1; Id <= kRows; ++Id) Rows.push_back({Id, Id % 2});
  WriteBoth("COUNTED", {{"ID", ftInteger}, {"Odd", ftSmallint}}, Rows);
}

class TRowNumbersOn : public ::testing::TestWithParam<TStore> {
protected:
  void SetUp() override {
    EnsureCounted();
    Session = MakeSession();
    Table = std::make_unique<TTable>(nullptr, Session.get());
    Table->SetDatabaseName(AliasOf(GetParam()));
    Table->SetTableName(GetParam() == TStore::Paradox ? "COUNTED.DB" : "COUNTED");
    Table->SetAfterScroll([this](TDataSet&) { ++Scrolls; });
  }
  int32_t Id() const { return Table->FieldByName("ID")->AsInteger(); }
  std::vector<int32_t> ReadIds(int32_t First, int32_t Count) {
    std::vector<int32_t> Ids;
    const int32_t Current = Table->RecNo();
    Table->ReadRows(First, Count, [&](int32_t RecNo) {
      EXPECT_EQ(Table->RecNo(), Current) << "the dataset stays on its row while row " << RecNo << " is read";
      Ids.push_back(Id());
    });
    return Ids;
  }
  std::vector<int32_t> Range(int32_t From, int32_t To, int32_t Step = 1) {
    std::vector<int32_t> Ids;
    for (int32_t I = From; I <= To; I += Step) Ids.push_back(I);
    return Ids;
  }

  std::unique_ptr<TSession> Session;
  std::unique_ptr<TTable> Table;
  int32_t Scrolls = 0;
};

TEST_P(TRowNumbersOn, RecNoFollowsTheWalkAndBookmarks) {
  Table->Open();
  EXPECT_EQ(Table->RecNo(), 1);
  for (int32_t I = 0; I < 299; ++I) Table->Next();
  EXPECT_EQ(Table->RecNo(), 300);
  TBookmark Mark = Table->GetBookmark();
  Table->First();
  EXPECT_EQ(Table->RecNo(), 1);
  Table->GotoBookmark(Mark);
  Table->FreeBookmark(Mark);
  EXPECT_EQ(Table->RecNo(), 300);
  EXPECT_EQ(Id(), 300);
}

TEST_P(TRowNumbersOn, SetRecNoGoesAnywhereWithoutAWalkBefore) {
  Table->Open();
  Scrolls = 0;
  // Far jumps first (nothing noted yet), then back, then near the steps.
  for (int32_t Row : {700, 3, 1000, 257, 256, 255, 513, 1}) {
    Table->SetRecNo(Row);
    EXPECT_EQ(Table->RecNo(), Row);
    EXPECT_EQ(Id(), Row);
    EXPECT_FALSE(Table->Eof());
  }
  EXPECT_EQ(Scrolls, 8);
  Table->SetRecNo(1);  // already there: no move, no event
  EXPECT_EQ(Scrolls, 8);
  // The walk goes on from a row reached by number.
  Table->SetRecNo(998);
  Table->Next();
  Table->Next();
  EXPECT_EQ(Id(), 1000);
  Table->Next();
  EXPECT_TRUE(Table->Eof());
  EXPECT_EQ(Table->RecNo(), 1000);
}

TEST_P(TRowNumbersOn, SetRecNoOutOfRangeRaisesAndStays) {
  Table->Open();
  Table->SetRecNo(42);
  Scrolls = 0;
  for (int32_t Bad : {0, -1, kRows + 1}) {
    try {
      Table->SetRecNo(Bad);
      FAIL() << Bad;
    } catch (const Exception& E) {
      EXPECT_NE(E.Message().find("Record number " + std::to_string(Bad) + " out of range"), std::string::npos)
          << E.Message();
    }
    EXPECT_EQ(Table->RecNo(), 42);
    EXPECT_EQ(Id(), 42);
  }
  EXPECT_EQ(Scrolls, 0);
  Table->Close();
  EXPECT_THROW(Table->SetRecNo(1), Exception);
  EXPECT_THROW(Table->ReadRows(1, 1, [](int32_t) {}), Exception);
}

TEST_P(TRowNumbersOn, ReadRowsLeavesTheCurrentRowAlone) {
  Table->Open();
  Table->SetRecNo(10);
  Scrolls = 0;
  EXPECT_EQ(ReadIds(600, 40), Range(600, 639));
  EXPECT_EQ(ReadIds(1, 3), Range(1, 3));
  EXPECT_EQ(ReadIds(990, 64), Range(990, 1000));  // clipped at the end
  EXPECT_TRUE(ReadIds(1001, 5).empty());
  EXPECT_EQ(ReadIds(-2, 4), Range(1, 1));  // numbers before the first row do not exist
  EXPECT_EQ(Scrolls, 0);
  EXPECT_EQ(Table->RecNo(), 10);
  EXPECT_EQ(Id(), 10);
  Table->Next();
  EXPECT_EQ(Id(), 11);
}

TEST_P(TRowNumbersOn, ReadRowsRestoresAfterAnErrorAndAtEof) {
  Table->Open();
  while (!Table->Eof()) Table->Next();
  EXPECT_THROW(Table->ReadRows(5, 10, [](int32_t RecNo) {
                 if (RecNo == 8) throw Exception("stop");
               }),
               Exception);
  EXPECT_TRUE(Table->Eof());
  EXPECT_EQ(Id(), kRows);
  EXPECT_EQ(Table->RecNo(), kRows);
}

TEST_P(TRowNumbersOn, FilteredRowsAreNumberedUnderTheFilter) {
  Table->SetFilter("Odd = 0");
  Table->SetFiltered(true);
  Table->Open();
  EXPECT_EQ(Table->RecordCount(), kRows / 2);
  Table->SetRecNo(300);
  EXPECT_EQ(Id(), 600);
  EXPECT_EQ(ReadIds(499, 5), (std::vector<int32_t>{998, 1000}));
  EXPECT_EQ(Table->RecNo(), 300);
  EXPECT_THROW(Table->SetRecNo(501), Exception);
  Table->SetFiltered(false);
  EXPECT_EQ(Table->RecNo(), 1);
  Table->SetRecNo(999);
  EXPECT_EQ(Id(), 999);
}

INSTANTIATE_TEST_SUITE_P(Stores, TRowNumbersOn, ::testing::ValuesIn(AllStores),
                         [](const auto& Info) { return std::string(StoreName(Info.param)); });

// Rowids with gaps: numbers count the rows that are there, not the rowids.
TEST(TDataSet, RowNumbersSkipRowidGaps) {
  EnsureCounted();
  {
    TRows Rows;
    for (int32_t Id = 1; Id <= kRows; ++Id) Rows.push_back({Id, Id % 2});
    auto Sq = CreateSqliteTable(DataFolder().SqliteFile.string(), "GAPPED", {{"ID", ftInteger}, {"Odd", ftSmallint}});
    for (const auto& Row : Rows) Sq->AppendRow(Row);
    Sq->Close();
  }
  sqlite3* Db = nullptr;
  ASSERT_EQ(sqlite3_open(DataFolder().SqliteFile.c_str(), &Db), SQLITE_OK);
  // Every third row from 100 on goes, the first of them right on a step.
  EXPECT_EQ(sqlite3_exec(Db, "DELETE FROM GAPPED WHERE ID >= 100 AND ID % 3 = 1", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(Db);
  std::vector<int32_t> Left;
  for (int32_t Id = 1; Id <= kRows; ++Id)
    if (Id < 100 || Id % 3 != 1) Left.push_back(Id);

  auto Session = MakeSession();
  TTable Table(nullptr, Session.get());
  Table.SetDatabaseName("SQ");
  Table.SetTableName("GAPPED");
  Table.Open();
  ASSERT_EQ(Left.size(), 699u);
  for (size_t Row : {size_t{650}, size_t{5}, Left.size(), size_t{257}, size_t{256}, size_t{600}}) {
    Table.SetRecNo(static_cast<int32_t>(Row));
    EXPECT_EQ(Table.FieldByName("ID")->AsInteger(), Left[Row - 1]) << Row;
  }
  std::vector<int32_t> Read;
  Table.ReadRows(250, 20, [&](int32_t) { Read.push_back(Table.FieldByName("ID")->AsInteger()); });
  EXPECT_EQ(Read, std::vector<int32_t>(Left.begin() + 249, Left.begin() + 269));
}

}  // namespace
