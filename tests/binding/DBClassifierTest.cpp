// TDBClassifier over real Paradox and SQLite tables: defaults, building and
// preparing the columns, rows into records (missing markers, one-based
// codes), the learning and classifying passes (row restored, silent abort,
// errors, 75 for 3 of 4), the classifier's record events bound and unbound,
// a k-NN classifier searching the table through them, copying and the class
// registry.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "BindingTables.h"
#include "ClassRegistry.h"
#include "Classifier.h"
#include "DBClassifier.h"
#include "Table.h"
#include "Exceptions.h"
#include "RecordingClassifier.h"
#include "TestSupport.h"

namespace {

// The pages' settings: small integers are value codes, the class is "Class".
void ConfigureLikePages(TDBClassifier& B) {
  B.SetClassField("Class");
  B.SetAutoAttributes(true);
  B.DataType().SetSmallInt(TAttributeType::atDiscreteIndexed);
}

std::vector<std::string> ColumnNames(const TDBClassifier& B) {
  std::vector<std::string> Names;
  for (int32_t I = 0; I < B.Attributes().Count(); ++I) Names.push_back(B.Attributes().Items(I)->FieldName());
  return Names;
}

struct TBound {
  std::unique_ptr<TTable> Table;
  std::unique_ptr<TRecordingClassifier> C = std::make_unique<TRecordingClassifier>(nullptr);
  std::unique_ptr<TDBClassifier> B = std::make_unique<TDBClassifier>(nullptr);
  TBound(TStore Store, const std::string& Name, bool ZeroBased = true) : Table(OpenTable(Store, Name)) {
    C->SetIndexesZeroBased(ZeroBased);
    B->SetDataset(Table.get());
    B->SetClassifier(C.get());
    ConfigureLikePages(*B);
  }
};

}  // namespace

TEST(TDBClassifier, NewBindingDefaults) {
  TDBClassifier B(nullptr);
  EXPECT_EQ(B.IgnoreFields().Count(), 1);
  EXPECT_EQ(B.IgnoreFields().Strings(0), "ID");
  EXPECT_EQ(B.MissingDiscreteValue(), "999");
  EXPECT_EQ(B.MissingDiscreteIndex(), 999);
  EXPECT_FALSE(B.AutoAttributes());
  EXPECT_FALSE(B.Busy());
  EXPECT_EQ(B.Classifier(), nullptr);
  EXPECT_EQ(B.Dataset(), nullptr);
  EXPECT_EQ(B.Attributes().Count(), 0);
  EXPECT_EQ(B.ClassField(), "");
  EXPECT_EQ(B.ClassColumn(), nullptr);
  EXPECT_EQ(B.DataType().SmallInt(), TAttributeType::atFloat);
  EXPECT_EQ(B.Attributes().Owner(), &B);
}

TEST(TDBClassifier, AutoAttributesBuildAndNumberTheColumns) {
  for (TStore S : AllStores) {
    SCOPED_TRACE(StoreName(S));
    TBound T(S, "SHARED");
    T.B->IgnoreFields().Add("x");  // the ignore list ignores letter case
    T.B->LearnDataset(0);
    EXPECT_EQ(ColumnNames(*T.B), (std::vector<std::string>{"A", "B", "Class"}));
    const TFieldColumns& Cols = T.B->Attributes();
    EXPECT_EQ(Cols.Items(0)->AttributeKind(), TAttributeKind::akDiscrete);
    EXPECT_EQ(Cols.Items(0)->AttributeIndex(), 0);
    EXPECT_EQ(Cols.Items(1)->AttributeKind(), TAttributeKind::akDiscreteIndexed);
    EXPECT_EQ(Cols.Items(1)->AttributeIndex(), 1);
    EXPECT_TRUE(Cols.Items(2)->DefinesClass());
    EXPECT_EQ(T.B->ClassColumn(), Cols.Items(2));
    EXPECT_EQ(T.C->DiscreteAttributeCount(), 2);
    EXPECT_EQ(T.C->FloatAttributeCount(), 0);
    EXPECT_EQ(T.B->DiscreteBuffer().size(), 2u);
    EXPECT_EQ(T.B->FloatBuffer().size(), 0u);
    EXPECT_EQ(T.C->Calls.size(), 5u);
  }
}

TEST(TDBClassifier, RowsReachTheClassifierWithCodesAndMissingMarkers) {
  for (TStore S : AllStores) {
    SCOPED_TRACE(StoreName(S));
    TBound T(S, "SHARED");
    T.B->LearnDataset(7);
    ASSERT_EQ(T.C->Calls.size(), 5u);
    // A: red 0; blue sorts in front (0) and red becomes 1; "999" and the
    // null text are missing. B: 999 is the indexed missing marker.
    const std::vector<std::vector<int32_t>> D{{0, 1}, {0, 3}, {1, -1}, {-1, 2}, {-1, 1}};
    const std::vector<double> X{0.5, 1.5, 2.5, 999, 0.25};
    const std::vector<int32_t> Class{1, 2, 1, 2, 1};
    for (size_t R = 0; R < 5; ++R) {
      SCOPED_TRACE(R);
      EXPECT_FALSE(T.C->Calls[R].ByName);
      EXPECT_EQ(T.C->Calls[R].D, D[R]);
      ASSERT_EQ(T.C->Calls[R].F.size(), 1u);
      EXPECT_EQ(T.C->Calls[R].F[0], X[R]);  // a missing float passes as the table holds it
      EXPECT_EQ(T.C->Calls[R].ClassIndex, Class[R]);
    }
    EXPECT_EQ(T.B->Attributes().Items(0)->AttributeValueList().ToVector(),
              (std::vector<std::string>{"blue", "red"}));
  }
}

TEST(TDBClassifier, OneBasedClassifierGetsIndexedValuesMinusOne) {
  for (TStore S : AllStores) {
    SCOPED_TRACE(StoreName(S));
    TBound T(S, "SHARED", /*ZeroBased=*/false);
    T.B->LearnDataset(0);
    ASSERT_EQ(T.C->Calls.size(), 5u);
    EXPECT_EQ(T.C->Calls[1].D[1], 2);         // B = 3
    EXPECT_EQ(T.C->Calls[2].D[1], -1);        // the marker stays missing, not 998
    EXPECT_EQ(T.C->Calls[0].D[0], 0);         // text codes are positions, not shifted
    EXPECT_EQ(T.C->Calls[1].ClassIndex, 2);   // LearnIndex applies its own base
  }
}

TEST(TDBClassifier, OtherMissingMarkers) {
  TBound T(TStore::Sqlite, "SHARED");
  T.B->SetMissingDiscreteValue("red");
  T.B->SetMissingDiscreteIndex(1);
  T.B->LearnDataset(0);
  ASSERT_EQ(T.C->Calls.size(), 5u);
  EXPECT_EQ(T.C->Calls[0].D, (std::vector<int32_t>{-1, -1}));
  EXPECT_EQ(T.C->Calls[3].D, (std::vector<int32_t>{0, 2}));  // "999" is a value now, sorted before blue
  EXPECT_EQ(T.B->Attributes().Items(0)->AttributeValueList().ToVector(),
            (std::vector<std::string>{"999", "blue"}));
}

TEST(TDBClassifier, TextClassLearnsByName) {
  for (TStore S : AllStores) {
    SCOPED_TRACE(StoreName(S));
    TBound T(S, "TEXTCLASS");
    T.B->SetClassField("Kind");
    T.B->LearnDataset(0);
    ASSERT_EQ(T.C->Calls.size(), 3u);
    EXPECT_TRUE(T.C->Calls[0].ByName);
    EXPECT_EQ(T.C->Calls[0].ClassName, "yes");
    EXPECT_EQ(T.C->Calls[1].ClassName, "no");
  }
}

TEST(TDBClassifier, ClassErrors) {
  TBound T(TStore::Paradox, "TEXTCLASS");
  T.B->SetClassField("Cls");  // a float field
  EXPECT_EQ(MessageOf([&] { T.B->LearnDataset(0); }), "Class must be discrete!");
  EXPECT_FALSE(T.B->Busy());
  T.B->SetClassField("Nothing");
  EXPECT_EQ(MessageOf([&] { T.B->LearnDataset(0); }), "No field defined for class!");
  EXPECT_EQ(MessageOf([&] { T.B->ClassifyDataset(0); }), "No field defined for class!");
  EXPECT_EQ(MessageOf([&] { T.B->LearnRecord(); }), "No field defined for class!");
  int32_t Ci = 0;
  std::string Cn;
  bool IsLast = false;
  EXPECT_EQ(MessageOf([&] { T.B->DoIndexNextRecord(Ci, {}, {}, IsLast); }), "No field defined for class!");
  EXPECT_EQ(MessageOf([&] { T.B->DoNameNextRecord(Cn, {}, {}, IsLast); }), "No field defined for class!");
  EXPECT_TRUE(T.C->Calls.empty());
}

TEST(TDBClassifier, UnsupportedAndMissingFields) {
  for (TStore S : AllStores) {
    SCOPED_TRACE(StoreName(S));
    TBound T(S, "ODD");
    EXPECT_EQ(MessageOf([&] { T.B->LearnDataset(0); }), "Unsupported field type detected!");
    EXPECT_FALSE(T.B->Busy());
    EXPECT_TRUE(T.C->Calls.empty());

    TBound M(S, "SHARED");
    M.B->SetAutoAttributes(false);
    for (const char* Name : {"A", "Gone", "Class"}) M.B->Attributes().Add()->SetFieldName(Name);
    M.B->SetClassField("Class");
    EXPECT_EQ(MessageOf([&] { M.B->LearnDataset(0); }), "Field 'Gone' not found");
    EXPECT_TRUE(M.C->Calls.empty());
  }
}

TEST(TDBClassifier, HandBuiltColumnsKeepTheirKinds) {
  TBound T(TStore::Paradox, "SHARED");
  T.B->SetAutoAttributes(false);
  TFieldColumn* X = T.B->Attributes().Add();
  X->SetFieldName("X");
  TFieldColumn* B = T.B->Attributes().Add();
  B->SetFieldName("B");
  B->SetAttributeKind(TAttributeKind::akFloat);  // not decided by the template
  T.B->Attributes().Add()->SetFieldName("Class");
  T.B->SetClassField("Class");
  T.B->LearnDataset(0);
  EXPECT_EQ(T.C->FloatAttributeCount(), 2);
  EXPECT_EQ(T.C->DiscreteAttributeCount(), 0);
  ASSERT_EQ(T.C->Calls.size(), 5u);
  EXPECT_EQ(T.C->Calls[1].F, (std::vector<double>{1.5, 3.0}));
  EXPECT_EQ(T.C->Calls[2].F, (std::vector<double>{2.5, 999.0}));  // floats know no missing marker
}

TEST(TDBClassifier, PassesOnInactiveDatasetOrWhileBusyDoNothing) {
  TBound T(TStore::Paradox, "SHARED");
  T.Table->Close();
  T.B->LearnDataset(0);
  EXPECT_TRUE(T.C->Calls.empty());
  EXPECT_EQ(T.B->ClassifyDataset(0), 0.0);
  T.Table->Open();
  int Nested = 0;
  T.B->SetOnLearnDataset([&](TObject* Sender, int32_t Split) {
    EXPECT_EQ(Sender, T.B.get());
    EXPECT_EQ(Split, 3);
    EXPECT_TRUE(T.B->Busy());
    T.B->LearnDataset(4);  // re-entering is refused
    EXPECT_EQ(T.B->ClassifyDataset(0), 0.0);
    ++Nested;
  });
  T.B->LearnDataset(3);
  EXPECT_EQ(Nested, 1);
  EXPECT_EQ(T.C->Calls.size(), 5u);
  EXPECT_FALSE(T.B->Busy());
  TDBClassifier Unbound(nullptr);
  Unbound.LearnDataset(0);  // no dataset: nothing
  EXPECT_EQ(Unbound.ClassifyDataset(0), 0.0);
}

TEST(TDBClassifier, PassesRestoreRowControlsAndCursor) {
  for (TStore S : AllStores) {
    SCOPED_TRACE(StoreName(S));
    TBound T(S, "SHARED");
    int32_t Cursor = 0;
    std::vector<int32_t> CursorSets;
    T.B->SetScreenCursorHook({[&] { return Cursor; }, [&](int32_t V) { CursorSets.push_back(V); Cursor = V; }});
    T.B->SetOnLearnDataset([&](TObject*, int32_t) { Cursor = -11; });  // a busy cursor
    MoveToId(*T.Table, 3);
    T.B->LearnDataset(0);
    EXPECT_EQ(CurrentId(*T.Table), 3);
    EXPECT_FALSE(T.Table->ControlsDisabled());
    EXPECT_EQ(CursorSets, (std::vector<int32_t>{0}));
    EXPECT_EQ(Cursor, 0);

    T.Table->DisableControls();  // disabled before: stays disabled
    MoveToId(*T.Table, 4);
    T.B->ClassifyDataset(0);
    EXPECT_EQ(CurrentId(*T.Table), 4);
    EXPECT_TRUE(T.Table->ControlsDisabled());
    T.B->LearnDataset(0);
    EXPECT_TRUE(T.Table->ControlsDisabled());
    T.Table->EnableControls();
    EXPECT_FALSE(T.Table->ControlsDisabled());
  }
}

TEST(TDBClassifier, SilentAbortKeepsTheRowsLearnedSoFar) {
  for (TStore S : AllStores) {
    SCOPED_TRACE(StoreName(S));
    TBound T(S, "SHARED");
    T.C->BeforeLearn = [](size_t Done) {
      if (Done == 3) throw EAbort();
    };
    MoveToId(*T.Table, 2);
    EXPECT_NO_THROW(T.B->LearnDataset(0));
    EXPECT_EQ(T.C->Calls.size(), 3u);
    EXPECT_EQ(CurrentId(*T.Table), 2);
    EXPECT_FALSE(T.B->Busy());
    EXPECT_FALSE(T.Table->ControlsDisabled());
  }
}

TEST(TDBClassifier, OtherErrorsPropagateAfterRestoring) {
  TBound T(TStore::Sqlite, "SHARED");
  T.C->BeforeLearn = [](size_t Done) {
    if (Done == 2) throw Exception("disk on fire");
  };
  MoveToId(*T.Table, 5);
  EXPECT_EQ(MessageOf([&] { T.B->LearnDataset(0); }), "disk on fire");
  EXPECT_EQ(T.C->Calls.size(), 2u);
  EXPECT_EQ(CurrentId(*T.Table), 5);
  EXPECT_FALSE(T.B->Busy());
  EXPECT_FALSE(T.Table->ControlsDisabled());
}

TEST(TDBClassifier, ClassifyDatasetCountsExactNameMatches) {
  for (TStore S : AllStores) {
    SCOPED_TRACE(StoreName(S));
    TBound T(S, "ACC");
    T.B->LearnDataset(0);
    T.C->Answers = {0, 1, 0, 0};  // "1", "2", "1", "1" against 1, 2, 1, 2
    int Told = 0;
    T.B->SetOnClassifyDataset([&](TObject* Sender, int32_t Split) {
      EXPECT_EQ(Sender, T.B.get());
      EXPECT_EQ(Split, 9);
      EXPECT_TRUE(T.B->Busy());
      ++Told;
    });
    EXPECT_DOUBLE_EQ(T.B->ClassifyDataset(9), 75.0);
    EXPECT_EQ(Told, 1);
    T.B->SetOnClassifyDataset(nullptr);
    T.C->Names = {"1", "Reject"};
    T.C->Classified = 0;
    T.C->Answers = {-1, -1, -1, -1};
    EXPECT_EQ(T.B->ClassifyDataset(0), 0.0);
  }
}

TEST(TDBClassifier, ClassifyDatasetWithTheLinearClassifier) {
  for (TStore S : AllStores) {
    SCOPED_TRACE(StoreName(S));
    auto Table = OpenTable(S, "ACC");
    TLinearClassifier LC(nullptr);
    LC.SetIndexesZeroBased(false);
    LC.SetRejectProbability(1e-7);
    TDBClassifier B(nullptr);
    B.SetDataset(Table.get());
    B.SetClassifier(&LC);
    ConfigureLikePages(B);
    B.LearnDataset(0);
    EXPECT_EQ(LC.ClassName(0), "1");
    EXPECT_DOUBLE_EQ(B.ClassifyDataset(0), 75.0);  // B = 1 is mostly class 1
    MoveToId(*Table, 2);
    EXPECT_EQ(B.ClassifyRecord(), "2");
    EXPECT_EQ(CurrentId(*Table), 2);
    // The test hook of pruning measures the same way.
    EXPECT_DOUBLE_EQ(LC.ClassifyTest(), 75.0);
    EXPECT_NO_THROW(LC.Prune());
  }
}

TEST(TDBClassifier, ClassifyDatasetOverNoRowsIsZero) {
  for (TStore S : AllStores) {
    SCOPED_TRACE(StoreName(S));
    TBound T(S, "EMPTY");
    T.B->LearnDataset(0);
    EXPECT_TRUE(T.C->Calls.empty());
    EXPECT_EQ(T.C->DiscreteAttributeCount(), 2);
    EXPECT_EQ(T.B->ClassifyDataset(0), 0.0);

    TBound F(S, "SHARED");
    F.B->LearnDataset(0);
    F.Table->SetFilter("[ID] > 100");
    F.Table->SetFiltered(true);
    EXPECT_EQ(F.B->ClassifyDataset(0), 0.0);
  }
}

TEST(TDBClassifier, ClassifyDatasetSeesOnlyFilteredRows) {
  TBound T(TStore::Paradox, "ACC");
  T.B->LearnDataset(0);
  T.Table->SetFilter("[ID] <= 2");
  T.Table->SetFiltered(true);
  T.C->Answers = {0, 0};  // "1" right, "1" wrong
  EXPECT_DOUBLE_EQ(T.B->ClassifyDataset(0), 50.0);
}

TEST(TDBClassifier, OperationsWithoutClassifierRaise) {
  auto Table = OpenTable(TStore::Paradox, "SHARED");
  TDBClassifier B(nullptr);
  B.SetDataset(Table.get());
  ConfigureLikePages(B);
  EXPECT_EQ(MessageOf([&] { B.LearnDataset(0); }), "No classifier assigned!");
  EXPECT_FALSE(B.Busy());
  EXPECT_EQ(MessageOf([&] { B.PrepareAttributes(); }), "No classifier assigned!");
  EXPECT_EQ(MessageOf([&] { B.ClassifyRecord(); }), "No classifier assigned!");
  EXPECT_EQ(MessageOf([&] { B.Clear(); }), "No classifier assigned!");
  EXPECT_EQ(B.Attributes().Count(), 0);  // Clear emptied the columns first
}

TEST(TDBClassifier, ClearEmptiesColumnsAndClassifier) {
  TBound T(TStore::Paradox, "SHARED");
  T.B->LearnDataset(0);
  ASSERT_GT(T.B->Attributes().Count(), 0);
  T.B->Clear();
  EXPECT_EQ(T.B->Attributes().Count(), 0);
  EXPECT_EQ(T.B->ClassColumn(), nullptr);
  EXPECT_EQ(T.C->Clears, 1);
  EXPECT_EQ(MessageOf([&] { T.B->LearnRecord(); }), "No field defined for class!");
  EXPECT_NO_THROW(T.B->ClassifyRecord());  // no columns: an empty query
}

TEST(TDBClassifier, WithoutColumnsClassifyRecordAsksNothingAndRejects) {
  TBound T(TStore::Paradox, "SHARED");
  T.B->LearnDataset(0);
  T.B->Clear();
  T.C->Answers = {1};  // a classifier that would answer a class
  const size_t Asked = T.C->Classified;
  EXPECT_EQ(T.B->ClassifyRecord(), "Reject");
  EXPECT_EQ(T.C->Classified, Asked);
}

TEST(TDBClassifier, BindingSetsAndRemovesTheHandlers) {
  TLinearClassifier First(nullptr), Second(nullptr);
  First.SetMissingDiscreteIndex(999);
  First.SetOnLastRecord([](TObject*) {});
  auto B = std::make_unique<TDBClassifier>(nullptr);
  B->SetClassifier(&First);
  EXPECT_EQ(B->Classifier(), &First);
  EXPECT_EQ(First.MissingDiscreteIndex(), -1);
  EXPECT_TRUE(First.OnFirstRecord() && First.OnIndexNextRecord() && First.OnNameNextRecord() &&
              First.OnPushPosition() && First.OnPopPosition() && First.OnClassifyTest());
  EXPECT_TRUE(First.OnLastRecord());  // left as it is

  B->SetClassifier(&Second);
  EXPECT_FALSE(First.OnFirstRecord() || First.OnIndexNextRecord() || First.OnNameNextRecord() ||
               First.OnPushPosition() || First.OnPopPosition() || First.OnClassifyTest());
  EXPECT_TRUE(First.OnLastRecord());
  EXPECT_TRUE(Second.OnIndexNextRecord() && Second.OnClassifyTest());

  B->SetClassifier(nullptr);
  EXPECT_EQ(B->Classifier(), nullptr);
  EXPECT_FALSE(Second.OnIndexNextRecord() || Second.OnClassifyTest());

  B->SetClassifier(&Second);
  B.reset();  // a binding that goes first takes its handlers along
  EXPECT_FALSE(Second.OnIndexNextRecord() || Second.OnPushPosition() || Second.OnClassifyTest());
}

TEST(TDBClassifier, DestroyedClassifierOrDatasetIsDropped) {
  TDBClassifier B(nullptr);
  auto C = std::make_unique<TLinearClassifier>(nullptr);
  auto Table = OpenTable(TStore::Paradox, "SHARED");
  B.SetClassifier(C.get());
  B.SetDataset(Table.get());
  ConfigureLikePages(B);
  B.LearnDataset(0);
  C.reset();
  EXPECT_EQ(B.Classifier(), nullptr);
  Table.reset();
  EXPECT_EQ(B.Dataset(), nullptr);
  B.LearnDataset(0);  // no dataset: nothing, no stale field is read
  EXPECT_EQ(B.ClassifyDataset(0), 0.0);
  EXPECT_EQ(B.Attributes().Items(0)->Field(), nullptr);

  // Siblings of one owner: destroying the owner in any order is clean.
  TComponent Form(nullptr);
  auto* Knn = CreateOwned<TKNearestNeighbors>(Form);
  auto* Bind = CreateOwned<TDBClassifier>(Form);
  Bind->SetClassifier(Knn);
  delete Knn;
  EXPECT_EQ(Bind->Classifier(), nullptr);
}

TEST(TDBClassifier, LearnDataThroughTheHandlers) {
  for (TStore S : AllStores) {
    SCOPED_TRACE(StoreName(S));
    TBound T(S, "SHARED", /*ZeroBased=*/false);
    T.B->LearnDataset(0);  // prepares the columns
    T.C->Calls.clear();
    MoveToId(*T.Table, 4);
    T.C->LearnData();
    ASSERT_EQ(T.C->Calls.size(), 5u);
    // The event delivers zero-based positions; LearnData hands LearnIndex
    // the classifier's own base again.
    EXPECT_EQ(T.C->Calls[0].ClassIndex, 1);
    EXPECT_EQ(T.C->Calls[1].ClassIndex, 2);
    EXPECT_EQ(T.C->Calls[1].D, (std::vector<int32_t>{0, 2}));
    EXPECT_EQ(CurrentId(*T.Table), 4);

    // The index handler by itself: the row, then the move.
    T.Table->First();
    int32_t Ci = -5;
    std::vector<int32_t> D(2);
    std::vector<double> F(1);
    bool IsLast = true;
    T.B->DoIndexNextRecord(Ci, D, F, IsLast);
    EXPECT_EQ(Ci, 0);
    EXPECT_FALSE(IsLast);
    EXPECT_EQ(CurrentId(*T.Table), 2);
    std::string Cn;
    MoveToId(*T.Table, 5);
    T.B->DoNameNextRecord(Cn, D, F, IsLast);
    EXPECT_EQ(Cn, "1");
    EXPECT_EQ(F[0], 0.25);
    EXPECT_TRUE(IsLast);
  }
}

TEST(TDBClassifier, IndexHandlerGivesPositionsOfTextClasses) {
  TBound T(TStore::Sqlite, "TEXTCLASS");
  T.B->SetClassField("Kind");
  T.B->LearnDataset(0);
  T.C->Names = {"no", "yes"};
  int32_t Ci = 7;
  std::vector<int32_t> D(1);
  std::vector<double> F(1);
  bool IsLast = false;
  T.Table->First();
  T.B->DoIndexNextRecord(Ci, D, F, IsLast);
  EXPECT_EQ(Ci, 1);
  T.C->Names = {"no"};
  T.B->DoIndexNextRecord(Ci, D, F, IsLast);
  EXPECT_EQ(Ci, 0);
  T.B->DoIndexNextRecord(Ci, D, F, IsLast);
  EXPECT_EQ(Ci, -1);  // a class the classifier does not know
  EXPECT_TRUE(IsLast);
}

TEST(TDBClassifier, KNearestNeighborsWithoutStoreSearchesTheTable) {
  for (TStore S : AllStores) {
    SCOPED_TRACE(StoreName(S));
    auto Table = OpenTable(S, "KNN");
    TKNearestNeighbors Knn(nullptr);
    Knn.SetIndexesZeroBased(false);
    Knn.SetStoreExamples(false);
    Knn.SetKNeighbors(1);
    TDBClassifier B(nullptr);
    B.SetDataset(Table.get());
    B.SetClassifier(&Knn);
    ConfigureLikePages(B);
    B.LearnDataset(0);
    EXPECT_EQ(Knn.ExampleCount(), 0);
    ASSERT_EQ(Knn.Classes().Count(), 2);
    // Each row's nearest neighbour is itself: the query must survive the
    // walk that refills the binding's records.
    for (int32_t Id : {1, 2, 3, 4, 5}) {
      MoveToId(*Table, Id);
      const std::string Expected = Table->FieldByName("Class")->AsString();
      EXPECT_EQ(B.ClassifyRecord(), Expected) << "row " << Id;
      EXPECT_EQ(CurrentId(*Table), Id);
    }
    EXPECT_DOUBLE_EQ(B.ClassifyDataset(0), 100.0);
  }
}

TEST(TDBClassifier, ReopenedDatasetIsReadThroughItsNewFields) {
  for (TStore S : AllStores) {
    SCOPED_TRACE(StoreName(S));
    TBound T(S, "SHARED");
    T.B->LearnDataset(0);
    T.Table->Close();  // destroys the fields the pass had bound
    EXPECT_THROW(T.B->ClassifyRecord(), Exception);
    EXPECT_THROW(T.B->ReadRecord(), Exception);
    T.Table->Open();
    MoveToId(*T.Table, 2);
    T.C->Answers = {1};
    EXPECT_EQ(T.B->ClassifyRecord(), "2");
    EXPECT_EQ(T.B->DiscreteBuffer()[1], 3);
    T.C->Calls.clear();
    T.B->LearnRecord();
    ASSERT_EQ(T.C->Calls.size(), 1u);
    EXPECT_EQ(T.C->Calls[0].ClassIndex, 2);
    T.Table->Close();
    T.Table->Open();
    T.C->Classified = 0;
    T.C->Answers = {0, 1, 0, 1, 0};
    EXPECT_DOUBLE_EQ(T.B->ClassifyDataset(0), 100.0);
  }
}

TEST(TDBClassifier, FieldsAreKeptOnlyForTheDatasetAndColumnTheyWereFoundFor) {
  for (TStore S : AllStores) {
    SCOPED_TRACE(StoreName(S));
    TBound T(S, "SHARED");
    T.B->LearnDataset(0);
    MoveToId(*T.Table, 2);
    T.B->ReadRecord();
    EXPECT_EQ(T.B->DiscreteBuffer()[1], 3);
    // A field set by hand is looked up by name again on the next read.
    T.B->Attributes().Items(1)->SetField(T.Table->FieldByName("ID"));
    T.B->ReadRecord();
    EXPECT_EQ(T.B->DiscreteBuffer()[1], 3);
    // Another dataset opened as often has fields of the same generation:
    // they must be found anew all the same.
    auto Other = OpenTable(S, "SHARED");
    ASSERT_EQ(Other->FieldsGeneration(), T.Table->FieldsGeneration());
    T.B->SetDataset(Other.get());
    MoveToId(*Other, 3);
    T.B->ReadRecord();
    EXPECT_EQ(T.B->DiscreteBuffer()[1], -1);  // row 3 of the other table: 999
    EXPECT_EQ(T.B->Attributes().Items(1)->Field(), Other->FieldByName("B"));
    // A renamed column reads its new field.
    T.B->Attributes().Items(1)->SetFieldName("ID");
    T.B->ReadRecord();
    EXPECT_EQ(T.B->DiscreteBuffer()[1], 3);
  }
}

TEST(TDBClassifier, RowThatCannotBeRegainedIsReported) {
  TBound T(TStore::Paradox, "SHARED");
  T.B->LearnDataset(0);
  MoveToId(*T.Table, 2);
  // The handler filters the starting row away: going back to it fails, and
  // the pass says so instead of leaving the position silently elsewhere.
  T.B->SetOnClassifyDataset([&](TObject*, int32_t) {
    T.Table->SetFilter("[ID] <> 2");
    T.Table->SetFiltered(true);
  });
  EXPECT_NE(MessageOf([&] { T.B->ClassifyDataset(0); }).find("Record not found"), std::string::npos);
  EXPECT_FALSE(T.B->Busy());
  EXPECT_FALSE(T.Table->ControlsDisabled());
}

TEST(TDBClassifier, AfterScrollGuessesOnlyWhileNotBusy) {
  // The interactive page's pattern: every row change classifies the row,
  // except while the binding walks the table itself.
  TBound T(TStore::Sqlite, "SHARED");
  int Scrolls = 0, Guesses = 0;
  T.Table->SetAfterScroll([&](TDataSet&) {
    ++Scrolls;
    if (!T.B->Busy()) {
      T.B->ClassifyRecord();
      ++Guesses;
    }
  });
  T.B->LearnDataset(0);
  EXPECT_GT(Scrolls, 5);
  EXPECT_EQ(Guesses, 0);
  T.Table->Next();
  EXPECT_EQ(Guesses, 1);
}

TEST(TDBClassifier, SetClassFieldMarksTheFirstMatchingColumn) {
  TDBClassifier B(nullptr);
  for (const char* Name : {"A", "Class", "Class"}) B.Attributes().Add()->SetFieldName(Name);
  B.SetClassField("Class");
  EXPECT_TRUE(B.Attributes().Items(1)->DefinesClass());
  EXPECT_FALSE(B.Attributes().Items(2)->DefinesClass());
  B.SetClassField("A");
  EXPECT_TRUE(B.Attributes().Items(0)->DefinesClass());
  EXPECT_FALSE(B.Attributes().Items(1)->DefinesClass());
  B.SetClassField("class");  // exact comparison: no column matches, columns stay
  EXPECT_EQ(B.ClassField(), "class");
  EXPECT_TRUE(B.Attributes().Items(0)->DefinesClass());
}

TEST(TDBClassifier, AssignCopiesSettingsAndReferences) {
  TLinearClassifier C(nullptr);
  auto Table = OpenTable(TStore::Paradox, "SHARED");
  TDBClassifier Source(nullptr);
  Source.SetDataset(Table.get());
  Source.SetClassifier(&C);
  Source.SetMissingDiscreteValue("?");
  Source.SetMissingDiscreteIndex(-7);
  Source.IgnoreFields().Add("Value");
  Source.DataType().SetSmallInt(TAttributeType::atDiscreteIndexed);
  Source.SetAutoAttributes(true);
  Source.Attributes().Add()->SetFieldName("B");
  Source.Attributes().Add()->SetFieldName("Class");
  Source.SetClassField("Class");

  TDBClassifier Copy(nullptr);
  Copy.Assign(Source);
  EXPECT_EQ(Copy.Dataset(), Table.get());
  EXPECT_EQ(Copy.Classifier(), &C);
  EXPECT_EQ(Copy.MissingDiscreteValue(), "?");
  EXPECT_EQ(Copy.MissingDiscreteIndex(), -7);
  EXPECT_EQ(Copy.IgnoreFields().ToVector(), (std::vector<std::string>{"ID", "Value"}));
  EXPECT_EQ(Copy.DataType().SmallInt(), TAttributeType::atDiscreteIndexed);
  EXPECT_TRUE(Copy.AutoAttributes());
  EXPECT_EQ(ColumnNames(Copy), (std::vector<std::string>{"B", "Class"}));
  EXPECT_TRUE(Copy.Attributes().Items(1)->DefinesClass());
  EXPECT_EQ(Copy.ClassField(), "Class");
  EXPECT_NE(Copy.Attributes().Items(0), Source.Attributes().Items(0));
  // The classifier now answers the copy's handlers.
  Copy.SetAutoAttributes(false);
  Copy.LearnDataset(0);
  EXPECT_EQ(C.DiscreteAttributeCount(), 1);

  TStringList Other;
  EXPECT_THROW(Copy.Assign(Other), EConvertError);
}

TEST(TDBClassifier, PublishedPropertiesAndRegistry) {
  TDBClassifier B(nullptr);
  TPropertyList List;
  B.DefineProperties(List);
  std::vector<std::string> Names;
  for (const TPropertyInfo& P : List) Names.push_back(P.Name);
  ASSERT_GE(Names.size(), 20u);
  EXPECT_EQ(Names[1], "MissingDiscreteValue");
  EXPECT_EQ(Names[4], "IgnoreFields.Strings");
  EXPECT_EQ(Names[9], "DataType.SmallInt");
  for (TPropertyInfo& P : List)
    if (P.Name == "DataType.SmallInt") P.Set(B, TPropertyValue(int32_t(1)));
  EXPECT_EQ(B.DataType().SmallInt(), TAttributeType::atDiscreteIndexed);

  InitializeDBClassifierUnit();
  InitializeDBClassifierUnit();
  EXPECT_TRUE(IsClassRegistered("TDBClassifier"));
  std::unique_ptr<TComponent> Made(CreateComponentByName("tdbclassifier", nullptr));
  EXPECT_NE(dynamic_cast<TDBClassifier*>(Made.get()), nullptr);
  FinalizeDBClassifierUnit();
  EXPECT_TRUE(IsClassRegistered("TDBClassifier"));  // counted
  FinalizeDBClassifierUnit();
  EXPECT_FALSE(IsClassRegistered("TDBClassifier"));
  FinalizeDBClassifierUnit();  // one too many is harmless
}
