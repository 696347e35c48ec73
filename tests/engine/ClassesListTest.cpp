// TClassesList and TClassesListItem: item creation and ownership, learned
// case totals, the three resets, the prior, and the unit's Mean and StdDev.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "Classifier.h"
#include "Exceptions.h"

namespace {

// A linear classifier with D discrete and F float attributes; its list is a
// concrete TClassesList whose items count cases through the base Learn.
struct ListFixture {
  TLinearClassifier C{nullptr};
  TClassesList& L = *C.Classes();
  ListFixture() {
    C.SetDiscreteAttributeCount(2);
    C.SetFloatAttributeCount(1);
  }
  void LearnInto(int32_t Index, std::vector<int32_t> D = {1, 2}, std::vector<double> F = {1.5}) {
    L.GetData(Index)->Learn(D, F);
  }
};

}  // namespace

TEST(TClassesList, AddCreatesInitialisedItem) {
  ListFixture F;
  TClassesList& L = F.L;
  EXPECT_EQ(L.Add("A"), 0);
  const TClassesListItem* Item = L.GetData(0);
  ASSERT_NE(Item, nullptr);
  EXPECT_EQ(Item->Owner(), &L);
  EXPECT_TRUE(Item->Enabled());
  EXPECT_EQ(Item->LearnedCases(), 0);
  ASSERT_EQ(Item->Discrete().size(), 2u);
  ASSERT_EQ(Item->Float().size(), 1u);
  for (const TDiscreteRecord& R : Item->Discrete()) {
    EXPECT_TRUE(R.Enabled);
    EXPECT_EQ(R.Weight, 1.0);
    EXPECT_EQ(R.Count, 0);
    EXPECT_EQ(R.ValueCount, 0);
    EXPECT_TRUE(R.Counts.empty());
  }
  EXPECT_TRUE(Item->Float()[0].Enabled);
  EXPECT_EQ(Item->Float()[0].Weight, 1.0);
  EXPECT_EQ(dynamic_cast<const TLClassesListItem*>(Item) != nullptr, true);
}

TEST(TClassesList, TotalsAndPrior) {
  ListFixture F;
  TClassesList& L = F.L;
  L.Add("A");
  L.Add("B");
  EXPECT_DOUBLE_EQ(L.GetData(0)->PriorProbability(), 0.5);
  F.LearnInto(0);
  F.LearnInto(0);
  F.LearnInto(1);
  EXPECT_EQ(L.GetData(0)->LearnedCases(), 2);
  EXPECT_EQ(L.GetData(1)->LearnedCases(), 1);
  EXPECT_EQ(L.LearnedCases(), 3);
  EXPECT_DOUBLE_EQ(L.GetData(0)->PriorProbability(), 0.6);
  // SetLearnedCases of an item bypasses the total; the list's own setter does nothing.
  L.GetData(1)->SetLearnedCases(10);
  L.SetLearnedCases(99);
  EXPECT_EQ(L.LearnedCases(), 3);
}

TEST(TClassesList, DeleteInsertAndClear) {
  ListFixture F;
  TClassesList& L = F.L;
  L.Add("A");
  L.Add("B");
  F.LearnInto(0);
  F.LearnInto(0);
  F.LearnInto(1);
  L.Delete(0);
  EXPECT_EQ(L.Count(), 1);
  EXPECT_EQ(L.Strings(0), "B");
  EXPECT_EQ(L.LearnedCases(), 1);
  L.Insert(0, "Z");
  EXPECT_EQ(L.Strings(0), "Z");
  EXPECT_EQ(L.GetData(0)->Discrete().size(), 2u);
  EXPECT_EQ(L.GetData(1)->LearnedCases(), 1);
  EXPECT_THROW(L.Insert(5, "Q"), EListError);
  EXPECT_THROW(L.Delete(2), EListError);
  EXPECT_THROW(L.GetData(-1), EListError);
  EXPECT_EQ(L.Count(), 2);
  L.Clear();
  EXPECT_EQ(L.Count(), 0);
  EXPECT_EQ(L.LearnedCases(), 0);
}

TEST(TClassesList, NamesCompareWithoutCaseAndMayRepeat) {
  ListFixture F;
  TClassesList& L = F.L;
  L.Add("Yes");
  L.Add("yes");
  EXPECT_EQ(L.Count(), 2);
  EXPECT_EQ(L.IndexOf("YES"), 0);
}

TEST(TClassesList, TextAndAssignCreateFreshItems) {
  ListFixture F;
  TClassesList& L = F.L;
  L.Add("old");
  F.LearnInto(0);
  L.SetText("a\r\nb\r\n");
  ASSERT_EQ(L.Count(), 2);
  EXPECT_EQ(L.LearnedCases(), 0);
  EXPECT_NE(L.GetData(1), nullptr);
  TStringList Names;
  Names.Add("x");
  Names.Add("y");
  Names.Add("z");
  L.Assign(Names);
  ASSERT_EQ(L.Count(), 3);
  EXPECT_EQ(L.Strings(2), "z");
  EXPECT_EQ(L.GetData(2)->Float().size(), 1u);
}

TEST(TClassesList, WrongLengthIsCountedBeforeItIsRejected) {
  ListFixture F;
  TClassesList& L = F.L;
  L.Add("A");
  EXPECT_THROW(F.LearnInto(0, {1}, {1.0}), Exception);
  EXPECT_EQ(L.GetData(0)->LearnedCases(), 1);
  EXPECT_EQ(L.LearnedCases(), 1);
  // A float record of the wrong length fails after the discrete values counted.
  EXPECT_THROW(F.LearnInto(0, {1, 2}, {}), Exception);
  EXPECT_EQ(L.GetData(0)->Discrete()[0].Count, 1);
  EXPECT_EQ(L.GetData(0)->Float()[0].Count, 0);
}

TEST(TClassesList, ResetsKeepWhatTheyShould) {
  ListFixture F;
  TClassesList& L = F.L;
  L.Add("A");
  L.Add("B");
  F.LearnInto(0);
  F.LearnInto(1);
  TClassesListItem& A = *L.GetData(0);
  A.EditDiscrete()[0].Enabled = false;
  A.EditDiscrete()[1].Weight = 3.0;
  A.EditFloat()[0].Enabled = false;
  A.EditFloat()[0].Weight = 0.5;

  A.ResetWeights();
  EXPECT_EQ(A.Discrete()[1].Weight, 1.0);
  EXPECT_EQ(A.Float()[0].Weight, 1.0);
  EXPECT_EQ(A.Discrete()[1].Count, 1);
  EXPECT_FALSE(A.Discrete()[0].Enabled);
  A.EditDiscrete()[1].Weight = 3.0;

  A.SoftReset();
  EXPECT_FALSE(A.Discrete()[0].Enabled);
  EXPECT_FALSE(A.Float()[0].Enabled);
  EXPECT_EQ(A.Discrete()[1].Weight, 3.0);
  EXPECT_EQ(A.Discrete()[1].Count, 0);
  EXPECT_EQ(A.Discrete()[1].ValueCount, 0);
  EXPECT_TRUE(A.Discrete()[1].Counts.empty());
  EXPECT_EQ(A.LearnedCases(), 0);
  EXPECT_EQ(L.LearnedCases(), 1);
  EXPECT_TRUE(A.Enabled());

  F.LearnInto(0);
  A.Reset();
  EXPECT_TRUE(A.Discrete()[0].Enabled);
  EXPECT_TRUE(A.Float()[0].Enabled);
  EXPECT_EQ(A.Discrete()[1].Weight, 1.0);
  EXPECT_EQ(A.Float()[0].Mean, 0.0);
  EXPECT_EQ(A.Float()[0].Count, 0);
  EXPECT_EQ(L.LearnedCases(), 1);
  EXPECT_EQ(A.Discrete().size(), 2u);

  L.Reset();
  EXPECT_EQ(L.LearnedCases(), 0);
  EXPECT_EQ(L.GetData(1)->Float()[0].Count, 0);
}

TEST(TClassesListItem, InitializeReplacesRecords) {
  TLClassesList L(nullptr);
  L.Add("A");
  TClassesListItem& Item = *L.GetData(0);
  Item.InitializeDiscrete(3);
  Item.InitializeFLoat(2);
  EXPECT_EQ(Item.Discrete().size(), 3u);
  EXPECT_EQ(Item.Float().size(), 2u);
  EXPECT_EQ(Item.Float()[1].Weight, 1.0);
  Item.InitializeDiscrete(0);
  EXPECT_TRUE(Item.Discrete().empty());
}

TEST(TClassesListItem, UnitMeanStdDevAndNaNOrInf) {
  EXPECT_EQ(Mean(std::vector<double>{}), 0.0);
  EXPECT_EQ(Mean(std::vector<double>{1, 2, 3}), 2.0);
  EXPECT_EQ(StdDev(std::vector<double>{5}, 5), 0.0);
  EXPECT_EQ(StdDev(std::vector<double>{}, 0), 0.0);
  EXPECT_EQ(StdDev(std::vector<double>{1, 2, 3}, 2), 1.0);
  EXPECT_TRUE(IsNaNOrInf(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_TRUE(IsNaNOrInf(std::numeric_limits<double>::infinity()));
  EXPECT_TRUE(IsNaNOrInf(-std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(IsNaNOrInf(std::numeric_limits<double>::max()));
  EXPECT_FALSE(IsNaNOrInf(0.0));
}
