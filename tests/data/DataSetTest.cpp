// The dataset walk, fields, bookmarks, filters and events over real Paradox
// and SQLite tables.
#include <gtest/gtest.h>

#include "DataTestTables.h"
#include "Exceptions.h"
#include "FieldValue.h"

namespace {

class TDataSetOn : public ::testing::TestWithParam<TStore> {
protected:
  void SetUp() override {
    EnsurePeople();
    Session = MakeSession();
    Table = std::make_unique<TTable>(nullptr, Session.get());
    Table->SetDatabaseName(AliasOf(GetParam()));
    Table->SetTableName(GetParam() == TStore::Paradox ? "PEOPLE.DB" : "PEOPLE");
  }
  std::vector<int32_t> Ids() {
    std::vector<int32_t> Result;
    for (Table->First(); !Table->Eof(); Table->Next()) Result.push_back(Table->FieldByName("ID")->AsInteger());
    return Result;
  }
  std::unique_ptr<TSession> Session;
  std::unique_ptr<TTable> Table;
};

TEST_P(TDataSetOn, WalksAllRowsInOrderAndStaysOnTheLastAtEof) {
  Table->Open();
  EXPECT_TRUE(Table->Active());
  EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 2, 3, 4, 5}));
  EXPECT_TRUE(Table->Eof());
  EXPECT_EQ(Table->FieldByName("ID")->AsInteger(), 5);
  Table->Next();  // at the end nothing moves
  EXPECT_EQ(Table->FieldByName("ID")->AsInteger(), 5);
  EXPECT_EQ(Table->RecordCount(), 5);
}

TEST_P(TDataSetOn, FieldsDescribeTheTable) {
  Table->Open();
  ASSERT_EQ(Table->FieldCount(), 5);
  EXPECT_EQ(Table->Fields(0)->FieldName(), "ID");
  EXPECT_EQ(Table->Fields(0)->DataType(), ftInteger);
  EXPECT_EQ(Table->Fields(1)->DataType(), ftString);
  EXPECT_EQ(Table->Fields(2)->DataType(), ftSmallint);
  EXPECT_EQ(Table->Fields(3)->DataType(), ftFloat);
  EXPECT_EQ(Table->FindField("score"), Table->Fields(3));
  EXPECT_EQ(Table->FindField("Scor"), nullptr);
  EXPECT_THROW(Table->Fields(5), EListError);
  try {
    Table->FieldByName("Splt3");
    FAIL();
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Field 'Splt3' not found");
  }
}

TEST_P(TDataSetOn, ValuesAndNulls) {
  Table->Open();
  TField* Name = Table->FieldByName("Name");
  TField* Age = Table->FieldByName("Age");
  TField* Score = Table->FieldByName("Score");
  EXPECT_EQ(Name->AsString(), "Ann");
  EXPECT_EQ(Age->AsInteger(), 30);
  EXPECT_EQ(Age->AsString(), "30");
  EXPECT_DOUBLE_EQ(Score->AsFloat(), 1.5);
  EXPECT_EQ(Score->AsString(), "1.5");
  EXPECT_EQ(Score->AsInteger(), 2);  // rounded
  Table->Next();
  EXPECT_TRUE(Age->IsNull());
  EXPECT_EQ(Age->AsInteger(), 0);
  EXPECT_EQ(Age->AsString(), "");
  EXPECT_DOUBLE_EQ(Age->AsFloat(), 0.0);
  EXPECT_TRUE(VarIsNull(Table->FieldValues("Age")));
  Table->Next();
  EXPECT_TRUE(Score->IsNull());
  EXPECT_DOUBLE_EQ(Score->AsFloat(), 0.0);
  Table->Next();
  EXPECT_TRUE(Name->IsNull());
  EXPECT_EQ(Name->AsString(), "");
  EXPECT_DOUBLE_EQ(Score->AsFloat(), -3.0);
  EXPECT_EQ(VarToInt(Table->FieldValues("ID")), 4);
  EXPECT_EQ(std::get<int32_t>(Table->FieldValues("Age")), 25);
  EXPECT_DOUBLE_EQ(VarToFloat(Table->FieldValues("Score")), -3.0);
  Table->First();
  EXPECT_EQ(std::get<std::string>(Table->FieldValues("name")), "Ann");
  EXPECT_THROW(Name->AsInteger(), EConvertError);  // "Ann" is no number
}

TEST_P(TDataSetOn, ClosedDatasetRefusesRowOperations) {
  Table->Open();
  TField* Id = Table->FieldByName("ID");
  Table->Close();
  EXPECT_FALSE(Table->Active());
  EXPECT_EQ(Table->FieldCount(), 0);
  EXPECT_THROW(Table->First(), Exception);
  EXPECT_THROW(Table->RecordCount(), Exception);
  EXPECT_THROW(Table->GetBookmark(), Exception);
  (void)Id;  // fields die with Close; only the dataset is asked here
  Table->Open();
  EXPECT_THROW(Table->SetTableName("OTHER.DB"), Exception);
}

TEST_P(TDataSetOn, BookmarksRestoreTheRow) {
  Table->Open();
  Table->Next();
  Table->Next();
  TBookmark Mark = Table->GetBookmark();
  TBookmark Other = Table->GetBookmark();
  while (!Table->Eof()) Table->Next();
  Table->GotoBookmark(Mark);
  EXPECT_FALSE(Table->Eof());
  EXPECT_EQ(Table->FieldByName("ID")->AsInteger(), 3);
  Table->Next();
  EXPECT_EQ(Table->FieldByName("ID")->AsInteger(), 4);
  Table->FreeBookmark(Mark);
  EXPECT_THROW(Table->GotoBookmark(Mark), Exception);  // freed
  int Local = 0;
  EXPECT_THROW(Table->GotoBookmark(&Local), Exception);
  Table->FreeBookmark(nullptr);
  Table->GotoBookmark(Other);
  EXPECT_EQ(Table->FieldByName("ID")->AsInteger(), 3);
  Table->FreeBookmark(Other);
}

TEST_P(TDataSetOn, BookmarkOfARowTheFilterHidesIsNotFound) {
  Table->Open();
  Table->Next();  // ID 2, Split0 = 1
  TBookmark Mark = Table->GetBookmark();
  Table->SetFilter("[Split0] = 0");
  Table->SetFiltered(true);
  try {
    Table->GotoBookmark(Mark);
    FAIL();
  } catch (const Exception& E) {
    EXPECT_NE(E.Message().find("Record not found"), std::string::npos);
  }
  EXPECT_EQ(Table->FieldByName("ID")->AsInteger(), 1);  // position kept
  Table->FreeBookmark(Mark);
}

TEST_P(TDataSetOn, FilterLimitsWalkAndCount) {
  Table->SetFilter("[Split0] = 1");
  Table->SetFiltered(true);
  Table->Open();
  EXPECT_EQ(Table->RecordCount(), 2);
  EXPECT_EQ(Ids(), (std::vector<int32_t>{2, 4}));
  Table->SetFilter("[Split0] = 0");  // applies at once, back on the first row
  EXPECT_EQ(Table->FieldByName("ID")->AsInteger(), 1);
  EXPECT_EQ(Table->RecordCount(), 3);
  EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 3, 5}));
  Table->SetFilter("Age >= 30 and not (Name = 'Dora')");
  EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 3}));
  Table->SetFilter("Score < 0 OR Name IS NULL");
  EXPECT_EQ(Ids(), (std::vector<int32_t>{4}));
  Table->SetFilter("ID > 99");
  EXPECT_TRUE(Table->Eof());
  EXPECT_EQ(Table->RecordCount(), 0);
  TBookmark Empty = Table->GetBookmark();
  Table->GotoBookmark(Empty);  // a bookmark of no row goes to the start
  EXPECT_TRUE(Table->Eof());
  Table->FreeBookmark(Empty);
  Table->SetFiltered(false);
  EXPECT_EQ(Table->RecordCount(), 5);
  Table->SetFilter("");  // not filtered: only stored
  Table->SetFiltered(true);
  EXPECT_EQ(Table->RecordCount(), 5);
}

TEST_P(TDataSetOn, BadFilterKeepsTheOldOneInForce) {
  Table->SetFilter("[Split0] = 1");
  Table->SetFiltered(true);
  Table->Open();
  EXPECT_THROW(Table->SetFilter("[Split0] = "), Exception);
  EXPECT_EQ(Table->Filter(), "[Split0] = 1");
  EXPECT_EQ(Table->RecordCount(), 2);
  Table->Close();
  Table->SetFilter("[Splt3] = 0");
  try {
    Table->Open();
    FAIL();
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Field 'Splt3' not found");
  }
  EXPECT_FALSE(Table->Active());
}

TEST_P(TDataSetOn, AfterScrollFiresOnEveryRowChange) {
  std::vector<int32_t> Seen;
  Table->SetAfterScroll([&](TDataSet& D) { Seen.push_back(D.FieldByName("ID")->AsInteger()); });
  Table->Open();
  EXPECT_EQ(Seen, (std::vector<int32_t>{1}));
  Table->Next();
  Table->Next();
  TBookmark Mark = Table->GetBookmark();
  Table->First();
  Table->GotoBookmark(Mark);
  Table->FreeBookmark(Mark);
  EXPECT_EQ(Seen, (std::vector<int32_t>{1, 2, 3, 1, 3}));
  Seen.clear();
  Table->DisableControls();  // views only: the event still fires
  while (!Table->Eof()) Table->Next();
  Table->EnableControls();
  EXPECT_EQ(Seen, (std::vector<int32_t>{4, 5}));  // the failed move at the end does not fire
}

TEST_P(TDataSetOn, ControlsNest) {
  EXPECT_FALSE(Table->ControlsDisabled());
  Table->DisableControls();
  Table->DisableControls();
  Table->EnableControls();
  EXPECT_TRUE(Table->ControlsDisabled());
  Table->EnableControls();
  EXPECT_FALSE(Table->ControlsDisabled());
  Table->EnableControls();  // never below zero
  Table->DisableControls();
  EXPECT_TRUE(Table->ControlsDisabled());
}

TEST_P(TDataSetOn, EmptyTableIsAtEofAtOnce) {
  static bool Written = false;
  if (!Written) {
    WriteBoth("NOTHING", {{"ID", ftInteger}, {"Name", ftString, 4}}, {});
    Written = true;
  }
  Table->SetTableName(GetParam() == TStore::Paradox ? "NOTHING.DB" : "NOTHING");
  int Scrolls = 0;
  Table->SetAfterScroll([&](TDataSet&) { ++Scrolls; });
  Table->Open();
  EXPECT_TRUE(Table->Eof());
  EXPECT_EQ(Table->RecordCount(), 0);
  EXPECT_EQ(Table->FieldCount(), 2);
  EXPECT_TRUE(Table->FieldByName("ID")->IsNull());
  EXPECT_EQ(Table->FieldByName("ID")->AsInteger(), 0);
  EXPECT_EQ(Scrolls, 1);
  TBookmark Mark = Table->GetBookmark();
  Table->GotoBookmark(Mark);
  Table->FreeBookmark(Mark);
  EXPECT_TRUE(Table->Eof());
}

TEST_P(TDataSetOn, FreeNotificationReachesWatchers) {
  struct TWatcher : TComponent {
    TWatcher() : TComponent(nullptr) {}
    TComponent* Seen = nullptr;
    void Notification(TComponent* C, TOperation Op) override {
      if (Op == TOperation::opRemove) Seen = C;
      TComponent::Notification(C, Op);
    }
  } Watcher;
  Watcher.FreeNotification(Table.get());
  TTable* Raw = Table.get();
  Table.reset();
  EXPECT_EQ(Watcher.Seen, Raw);
}

TEST_P(TDataSetOn, TableForgetsADestroyedSession) {
  Table->Open();
  Session.reset();
  EXPECT_EQ(Table->Session(), nullptr);
  EXPECT_EQ(Table->FieldByName("ID")->AsInteger(), 1);  // the open cursor stays readable
  Table->Close();
  EXPECT_THROW(Table->Open(), Exception);
}

TEST_P(TDataSetOn, FieldsStayWhileOpenAndAreFoundByNameInAnyCase) {
  Table->Open();
  TField* Score = Table->FindField("SCORE");
  ASSERT_EQ(Score, Table->Fields(3));
  EXPECT_EQ(Table->FindField("sCoRe"), Score);
  EXPECT_EQ(Table->FindField("Score "), nullptr);
  EXPECT_EQ(Table->FindField(""), nullptr);
  const uint64_t Opened = Table->FieldsGeneration();
  Table->Next();
  Table->SetFiltered(true);
  Table->First();
  EXPECT_EQ(Table->FindField("score"), Score);
  EXPECT_EQ(Table->FieldsGeneration(), Opened);
  Table->Close();
  EXPECT_NE(Table->FieldsGeneration(), Opened);
  EXPECT_EQ(Table->FindField("score"), nullptr);
  Table->Open();
  const uint64_t Reopened = Table->FieldsGeneration();
  EXPECT_NE(Reopened, Opened);
  ASSERT_NE(Table->FindField("score"), nullptr);
  EXPECT_EQ(Table->FindField("score")->FieldName(), "Score");
}

INSTANTIATE_TEST_SUITE_P(TDataSet, TDataSetOn, ::testing::ValuesIn(AllStores),
                         [](const auto& Info) { return std::string(StoreName(Info.param)); });

}  // namespace
