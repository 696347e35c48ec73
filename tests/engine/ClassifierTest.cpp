// TClassifier: settings, missing values, combined attribute index, LearnData
// over the record events, ClassifyTest and the published property table.
// The base is abstract, so it is exercised through TLinearClassifier.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <limits>
#include <memory>

#include "Classifier.h"
#include "Exceptions.h"
#include "PropertyStream.h"
#include "TestSupport.h"

namespace {

// An outside data source answering the record events from a small table.
struct TableSource {
  struct Row {
    int32_t ClassIndex;
    std::string ClassName;
    std::vector<int32_t> D;
    std::vector<double> F;
  };
  std::vector<Row> Rows;
  size_t Next = 0;
  int Pushes = 0, Pops = 0, Firsts = 0, Lasts = 0, IndexCalls = 0, NameCalls = 0;
  void* PoppedBookmark = nullptr;
  int Token = 0;

  void Connect(TClassifier& C, bool Index, bool Name, bool Push = true, bool First = true, bool Pop = true) {
    if (Push) C.SetOnPushPosition([this](void*& B, TObject*) { ++Pushes; B = &Token; });
    if (First) C.SetOnFirstRecord([this](TObject*) { ++Firsts; Next = 0; });
    C.SetOnLastRecord([this](TObject*) { ++Lasts; });
    if (Pop) C.SetOnPopPosition([this](void* B, TObject*) { ++Pops; PoppedBookmark = B; });
    if (Index)
      C.SetOnIndexNextRecord([this](int32_t& Ci, std::span<int32_t> D, std::span<double> F, bool& IsLast) {
        ++IndexCalls;
        const Row& R = Rows[Next++];
        Ci = R.ClassIndex;
        std::copy(R.D.begin(), R.D.end(), D.begin());
        std::copy(R.F.begin(), R.F.end(), F.begin());
        IsLast = Next == Rows.size();
      });
    if (Name)
      C.SetOnNameNextRecord([this](std::string& Cn, std::span<int32_t> D, std::span<double> F, bool& IsLast) {
        ++NameCalls;
        const Row& R = Rows[Next++];
        Cn = R.ClassName;
        std::copy(R.D.begin(), R.D.end(), D.begin());
        std::copy(R.F.begin(), R.F.end(), F.begin());
        IsLast = Next == Rows.size();
      });
  }
};

TableSource ThreeRows() {
  TableSource S;
  S.Rows = {{0, "a", {1}, {1.0}}, {1, "b", {2}, {2.0}}, {0, "a", {1}, {3.0}}};
  return S;
}

}  // namespace

TEST(TClassifier, NewClassifierDefaults) {
  TLinearClassifier C(nullptr);
  EXPECT_EQ(C.MissingFloatValue(), "999");
  EXPECT_EQ(C.MissingFloat(), 999.0);
  EXPECT_EQ(C.MissingDiscreteIndex(), -1);
  EXPECT_TRUE(C.IndexesZeroBased());
  EXPECT_FALSE(C.InternalPruning());
  EXPECT_EQ(C.AttributeCount(), 0);
  EXPECT_EQ(C.DiscreteAttributeCount(), 0);
  EXPECT_EQ(C.FloatAttributeCount(), 0);
  EXPECT_FALSE(C.OnClassifyTest());
  EXPECT_FALSE(C.OnIndexNextRecord());
  int32_t Index = 42;
  EXPECT_EQ(C.MaxPriorProbability(Index), 0.0);
}

TEST(TClassifier, AttributeCountsClampAndSum) {
  TLinearClassifier C(nullptr);
  C.SetDiscreteAttributeCount(-5);
  EXPECT_EQ(C.DiscreteAttributeCount(), 0);
  C.SetDiscreteAttributeCount(3);
  C.SetFloatAttributeCount(2);
  EXPECT_EQ(C.AttributeCount(), 5);
  C.SetAttributeCount(7);
  EXPECT_EQ(C.AttributeCount(), 5);
  C.SetFloatAttributeCount(-1);
  EXPECT_EQ(C.FloatAttributeCount(), 0);
  EXPECT_EQ(C.AttributeCount(), 3);
}

TEST(TClassifier, MissingFloatValueParsing) {
  TLinearClassifier C(nullptr);
  C.SetMissingFloatValue("NAN");
  EXPECT_TRUE(std::isnan(C.MissingFloat()));
  EXPECT_EQ(C.MissingFloatValue(), "NAN");
  C.SetMissingFloatValue("-1.5");
  EXPECT_EQ(C.MissingFloat(), -1.5);
  C.SetMissingFloatValue("1e-7");
  EXPECT_EQ(C.MissingFloat(), 1e-7);
  C.SetMissingFloatValue("xNANx");
  EXPECT_TRUE(std::isnan(C.MissingFloat()));
  C.SetMissingFloatValue("INF");
  EXPECT_EQ(C.MissingFloat(), std::numeric_limits<double>::infinity());
  C.SetMissingFloatValue("-INF");
  EXPECT_EQ(C.MissingFloat(), -std::numeric_limits<double>::infinity());
  C.SetMissingFloatValue("INFINITE-");
  EXPECT_EQ(C.MissingFloat(), -std::numeric_limits<double>::infinity());
  C.SetMissingFloatValue("999");
  // The substring rules are case-sensitive, and a failed parse keeps the old value.
  for (const char* Bad : {"nan", "inf", "abc", "", "1,5"}) {
    EXPECT_THROW(C.SetMissingFloatValue(Bad), EConvertError) << Bad;
    EXPECT_EQ(C.MissingFloatValue(), "999");
    EXPECT_EQ(C.MissingFloat(), 999.0);
  }
}

TEST(TClassifier, MissingFloatValueIgnoresProcessLocale) {
  const std::string Saved = std::setlocale(LC_NUMERIC, nullptr);
  const bool Switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
  TLinearClassifier C(nullptr);
  C.SetMissingFloatValue("-1.5");
  const double Value = C.MissingFloat();
  std::setlocale(LC_NUMERIC, Saved.c_str());
  EXPECT_EQ(Value, -1.5) << (Switched ? "with a comma locale" : "no comma locale installed");
}

TEST(TClassifier, MissingValuesAreNeitherLearnedNorScored) {
  auto C = MakeClassifier(1, 1);
  C->SetMissingFloatValue("-2.5");
  C->SetMissingDiscreteIndex(4);
  C->Learn("a", std::vector<int32_t>{4}, std::vector<double>{-2.5});
  C->Learn("a", std::vector<int32_t>{-3}, std::vector<double>{std::numeric_limits<double>::quiet_NaN()});
  C->Learn("a", std::vector<int32_t>{-1}, std::vector<double>{-std::numeric_limits<double>::infinity()});
  const TClassesListItem* Item = C->Classes()->GetData(0);
  EXPECT_EQ(Item->LearnedCases(), 3);
  EXPECT_EQ(Item->Discrete()[0].Count, 0);
  EXPECT_EQ(Item->Float()[0].Count, 0);
  // 999 is an ordinary value once the missing value is something else.
  C->Learn("a", std::vector<int32_t>{0}, std::vector<double>{999.0});
  EXPECT_EQ(Item->Float()[0].Count, 1);
}

TEST(TClassifier, CombinedAttributeIndex) {
  auto C = MakeClassifier(3, 2);
  C->Learn("a", std::vector<int32_t>{0, 0, 0}, std::vector<double>{0, 0});
  C->SetAttributeEnabled(3, false);
  EXPECT_FALSE(C->FloatAttributeStateGet(0));
  EXPECT_FALSE(C->GetAttributeEnabled(3));
  for (int32_t i : {0, 1, 2, 4}) EXPECT_TRUE(C->GetAttributeEnabled(i)) << i;
  C->SetAttributeEnabled(1, false);
  EXPECT_FALSE(C->DiscreteAttributeStateGet(1));
  EXPECT_THROW(C->GetAttributeEnabled(5), Exception);
  EXPECT_THROW(C->SetAttributeEnabled(-1, true), Exception);
}

TEST(TClassifier, EnableDisableFamilyAndAssignAttributeState) {
  auto C = MakeClassifier(2, 2);
  C->Learn("a", std::vector<int32_t>{0, 0}, std::vector<double>{0, 0});
  C->DisableAttributes();
  for (int32_t i = 0; i < 4; ++i) EXPECT_FALSE(C->GetAttributeEnabled(i));
  C->EnableFloatAttributes();
  EXPECT_FALSE(C->GetAttributeEnabled(1));
  EXPECT_TRUE(C->GetAttributeEnabled(2));
  C->EnableDiscreteAttributes();
  C->DisableFloatAttributes();
  EXPECT_TRUE(C->GetAttributeEnabled(0));
  EXPECT_FALSE(C->GetAttributeEnabled(3));
  C->EnableAttributes();
  C->SetAttributeEnabled(0, false);
  C->SetAttributeEnabled(3, false);

  auto Copy = MakeClassifier(2, 2);
  Copy->Learn("x", std::vector<int32_t>{0, 0}, std::vector<double>{0, 0});
  Copy->AssignAttributeState(*C);
  EXPECT_FALSE(Copy->GetAttributeEnabled(0));
  EXPECT_TRUE(Copy->GetAttributeEnabled(1));
  EXPECT_TRUE(Copy->GetAttributeEnabled(2));
  EXPECT_FALSE(Copy->GetAttributeEnabled(3));
}

TEST(TClassifier, LearnDataWalksIndexEventsAndRestoresPosition) {
  auto C = MakeClassifier(1, 1);
  TableSource S = ThreeRows();
  S.Connect(*C, true, true);
  C->LearnData();
  // Index event wins over the name event.
  EXPECT_EQ(S.IndexCalls, 3);
  EXPECT_EQ(S.NameCalls, 0);
  EXPECT_EQ(S.Pushes, 1);
  EXPECT_EQ(S.Firsts, 1);
  EXPECT_EQ(S.Lasts, 1);
  EXPECT_EQ(S.Pops, 1);
  EXPECT_EQ(S.PoppedBookmark, &S.Token);
  ASSERT_EQ(C->Classes()->Count(), 2);
  EXPECT_EQ(C->ClassName(0), "0");
  EXPECT_EQ(C->Classes()->GetData(0)->LearnedCases(), 2);
  EXPECT_EQ(C->Classes()->GetData(0)->Float()[0].Mean, 2.0);
}

TEST(TClassifier, LearnDataDeliversZeroBasedPositionsWhenOneBased) {
  auto C = MakeClassifier(1, 1);
  C->SetIndexesZeroBased(false);
  TableSource S = ThreeRows();
  S.Connect(*C, true, false);
  C->LearnData();
  ASSERT_EQ(C->Classes()->Count(), 2);
  EXPECT_EQ(C->ClassName(0), "1");
  EXPECT_EQ(C->ClassName(1), "2");
  EXPECT_EQ(C->Classes()->GetData(0)->LearnedCases(), 2);
  EXPECT_EQ(C->Classes()->GetData(1)->LearnedCases(), 1);
}

TEST(TClassifier, LearnDataByNameAndSingleRecord) {
  auto C = MakeClassifier(1, 1);
  TableSource S = ThreeRows();
  S.Connect(*C, false, true);
  C->LearnData();
  EXPECT_EQ(S.NameCalls, 3);
  EXPECT_EQ(C->ClassIndex("B"), 1);

  auto One = MakeClassifier(1, 1);
  TableSource First = ThreeRows();
  First.Rows.resize(1);  // IsLast on the first call
  First.Connect(*One, true, false);
  One->LearnData();
  EXPECT_EQ(First.IndexCalls, 1);
  EXPECT_EQ(One->Classes()->LearnedCases(), 1);
}

TEST(TClassifier, LearnDataKeepsUnwrittenRecordElements) {
  auto C = MakeClassifier(2, 0);
  int Call = 0;
  C->SetOnPushPosition([](void*&, TObject*) {});
  C->SetOnFirstRecord([](TObject*) {});
  C->SetOnPopPosition([](void*, TObject*) {});
  C->SetOnIndexNextRecord([&](int32_t& Ci, std::span<int32_t> D, std::span<double>, bool& IsLast) {
    Ci = 0;
    if (Call == 0) D[1] = 7;  // written once only
    D[0] = Call;
    IsLast = ++Call == 2;
  });
  C->LearnData();
  EXPECT_EQ(C->Classes()->GetData(0)->Discrete()[1].Counts[7], 2);
}

TEST(TClassifier, LearnDataReportsMissingEvents) {
  auto Expect = [](bool Push, bool First, bool Next, bool Pop, const char* Message, int Learned) {
    auto C = MakeClassifier(1, 1);
    TableSource S = ThreeRows();
    S.Connect(*C, Next, false, Push, First, Pop);
    try {
      C->LearnData();
      ADD_FAILURE() << "no error for " << Message;
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), Message);
    }
    EXPECT_EQ(C->Classes()->LearnedCases(), Learned) << Message;
    return S;
  };
  Expect(false, true, true, true, "OnPushPosition event not assigned!", 0);
  Expect(true, false, true, true, "OnFirstRecord event not assigned!", 0);
  Expect(true, true, false, true, "FOnNextRecord events not assigned!", 0);
  // Without OnPopPosition every record is learned and OnLastRecord called first.
  const TableSource S = Expect(true, true, true, false, "OnPopPosition event not assigned!", 3);
  EXPECT_EQ(S.Lasts, 1);
}

TEST(TClassifier, LearnDataStopsAtHandlerError) {
  auto C = MakeClassifier(1, 1);
  TableSource S = ThreeRows();
  S.Connect(*C, true, false);
  C->SetOnIndexNextRecord([&](int32_t& Ci, std::span<int32_t> D, std::span<double> F, bool& IsLast) {
    if (S.Next == 2) throw Exception("source broken");
    Ci = 0;
    D[0] = 0;
    F[0] = 0;
    IsLast = ++S.Next == 3;
  });
  EXPECT_THROW(C->LearnData(), Exception);
  EXPECT_EQ(C->Classes()->LearnedCases(), 2);
  EXPECT_EQ(S.Lasts, 0);
  EXPECT_EQ(S.Pops, 0);
}

TEST(TClassifier, ClassifyTestReturnsHandlerValue) {
  TLinearClassifier C(nullptr);
  EXPECT_EQ(C.ClassifyTest(), 0.0);
  TObject* Sender = nullptr;
  C.SetOnClassifyTest([&](TObject* S, double& Succes) {
    Sender = S;
    Succes = 87.5;
  });
  EXPECT_EQ(C.ClassifyTest(), 87.5);
  EXPECT_EQ(Sender, &C);
}

TEST(TClassifier, PublishedPropertiesInOrder) {
  TLinearClassifier C(nullptr);
  TPropertyList List;
  C.DefineProperties(List);
  std::vector<std::string> Names;
  for (const TPropertyInfo& P : List) Names.push_back(P.Name);
  const std::vector<std::string> Expected = {"Tag", "OnClassifyTest", "IndexesZeroBased", "MissingDiscreteIndex",
                                             "MissingFloatValue", "AttributeCount", "FloatAttributeCount",
                                             "DiscreteAttributeCount", "RejectProbability", "UsePriorProbability",
                                             "Classes.Strings"};
  EXPECT_EQ(Names, Expected);
  auto Find = [&](const std::string& Name) -> const TPropertyInfo& {
    for (const TPropertyInfo& P : List)
      if (P.Name == Name) return P;
    throw Exception("no " + Name);
  };
  auto Stored = [&](const std::string& Name) {
    const TPropertyInfo& P = Find(Name);
    return !P.Stored || P.Stored(C);
  };
  EXPECT_FALSE(Stored("OnClassifyTest"));
  C.SetOnClassifyTest([](TObject*, double&) {});
  EXPECT_TRUE(Stored("OnClassifyTest"));
  EXPECT_EQ(Find("OnClassifyTest").Kind, TPropertyKind::pkEvent);
  EXPECT_TRUE(Stored("RejectProbability"));
  C.SetRejectProbability(0.0);
  EXPECT_TRUE(Stored("RejectProbability"));  // 0 is not the constructor's value
  EXPECT_FALSE(Stored("Classes.Strings"));
  EXPECT_TRUE(Stored("UsePriorProbability"));
  EXPECT_TRUE(Stored("MissingFloatValue"));

  // Reading "Classes.Strings" replaces every class by a fresh one.
  C.SetDiscreteAttributeCount(2);
  C.Learn("old", std::vector<int32_t>{1, 1}, std::vector<double>{});
  Find("Classes.Strings").Set(C, std::vector<std::string>{"yes", "no"});
  ASSERT_EQ(C.Classes()->Count(), 2);
  EXPECT_EQ(C.ClassName(1), "no");
  EXPECT_EQ(C.Classes()->LearnedCases(), 0);
  EXPECT_EQ(C.Classes()->GetData(0)->Discrete().size(), 2u);
  EXPECT_TRUE(Stored("Classes.Strings"));
  EXPECT_EQ(std::get<std::vector<std::string>>(Find("Classes.Strings").Get(C)),
            (std::vector<std::string>{"yes", "no"}));
}

TEST(TClassifier, PropertyBlockOfNewLinearClassifier) {
  auto C = MakeClassifier(2, 1);
  TMemoryStream S;
  WriteComponent(S, *C);
  const std::vector<uint8_t>& B = S.Bytes();
  auto Contains = [&](const std::string& Text) {
    return std::search(B.begin(), B.end(), Text.begin(), Text.end()) != B.end();
  };
  ASSERT_GE(B.size(), 4u);
  EXPECT_EQ(std::string(B.begin(), B.begin() + 4), "TPF0");
  for (const char* Name : {"TLinearClassifier", "IndexesZeroBased", "MissingDiscreteIndex", "MissingFloatValue",
                           "999", "AttributeCount", "FloatAttributeCount", "DiscreteAttributeCount",
                           "RejectProbability", "UsePriorProbability"})
    EXPECT_TRUE(Contains(Name)) << Name;
  EXPECT_FALSE(Contains("Classes.Strings"));
  EXPECT_FALSE(Contains("OnClassifyTest"));
  EXPECT_EQ(B[B.size() - 1], 0);
  EXPECT_EQ(B[B.size() - 2], 0);

  // Read back into a fresh classifier: the settings come through the setters.
  C->SetRejectProbability(0.25);
  C->SetUsePriorProbability(true);
  C->SetMissingFloatValue("NAN");
  TMemoryStream S2;
  WriteComponent(S2, *C);
  S2.SetPosition(0);
  TLinearClassifier R(nullptr);
  ReadComponent(S2, R);
  EXPECT_EQ(R.DiscreteAttributeCount(), 2);
  EXPECT_EQ(R.FloatAttributeCount(), 1);
  EXPECT_EQ(R.AttributeCount(), 3);
  EXPECT_EQ(R.RejectProbability(), 0.25);
  EXPECT_TRUE(R.UsePriorProbability());
  EXPECT_TRUE(std::isnan(R.MissingFloat()));
}

TEST(TClassifier, LearnDataRefusesAbsurdClassIndex) {
  auto C = MakeClassifier(1, 0);
  C->SetIndexesZeroBased(false);
  C->SetOnPushPosition([](void*&, TObject*) {});
  C->SetOnFirstRecord([](TObject*) {});
  C->SetOnPopPosition([](void*, TObject*) {});
  C->SetOnIndexNextRecord([](int32_t& Ci, std::span<int32_t>, std::span<double>, bool& IsLast) {
    Ci = std::numeric_limits<int32_t>::max();
    IsLast = true;
  });
  try {
    C->LearnData();
    ADD_FAILURE() << "no error";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Class index 2147483647 out of range (more than 16777216 classes)");
  }
  EXPECT_EQ(C->Classes()->Count(), 0);
}
