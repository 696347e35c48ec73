// TStatisticClassifier: class creation while learning, the decision rules of
// Classify (32-bit) and ClassifyResponse (64-bit), attribute state, count
// setters, resets, MaxPriorProbability and the entropy measures.
#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "Classifier.h"
#include "Exceptions.h"
#include "TestSupport.h"

namespace {

using IntVec = std::vector<int32_t>;
using FloatVec = std::vector<double>;

// One discrete attribute; class Name learns value 0 Zeros times and 1 Ones times.
void LearnCounts(TLinearClassifier& C, const std::string& Name, int Zeros, int Ones) {
  for (int i = 0; i < Zeros; ++i) C.Learn(Name, IntVec{0}, FloatVec{});
  for (int i = 0; i < Ones; ++i) C.Learn(Name, IntVec{1}, FloatVec{});
}

}  // namespace

TEST(TStatisticClassifier, LearnByNameIgnoresCase) {
  auto C = MakeClassifier(1, 0);
  C->Learn("Yes", IntVec{0}, FloatVec{});
  C->Learn("YES", IntVec{0}, FloatVec{});
  ASSERT_EQ(C->Classes()->Count(), 1);
  EXPECT_EQ(C->ClassName(0), "Yes");
  EXPECT_EQ(C->Classes()->GetData(0)->LearnedCases(), 2);
  EXPECT_EQ(C->ClassIndex("yEs"), 0);
  EXPECT_EQ(C->ClassIndex("no"), -1);
  EXPECT_EQ(C->ClassName(1), "Reject");
  EXPECT_EQ(C->ClassName(-1), "Reject");
}

TEST(TStatisticClassifier, LearnIndexCreatesMissingClasses) {
  auto Z = MakeClassifier(1, 0);
  Z->LearnIndex(2, IntVec{0}, FloatVec{});
  ASSERT_EQ(Z->Classes()->Count(), 3);
  EXPECT_EQ(Z->ClassName(0), "0");
  EXPECT_EQ(Z->ClassName(2), "2");
  EXPECT_EQ(Z->Classes()->GetData(2)->LearnedCases(), 1);
  EXPECT_THROW(Z->LearnIndex(-1, IntVec{0}, FloatVec{}), EListError);

  auto O = MakeClassifier(1, 0);
  O->SetIndexesZeroBased(false);
  O->LearnIndex(2, IntVec{0}, FloatVec{});
  ASSERT_EQ(O->Classes()->Count(), 2);
  EXPECT_EQ(O->ClassName(0), "1");
  EXPECT_EQ(O->ClassName(1), "2");
  EXPECT_EQ(O->Classes()->GetData(1)->LearnedCases(), 1);
  EXPECT_THROW(O->LearnIndex(0, IntVec{0}, FloatVec{}), EListError);
  EXPECT_EQ(MessageOf([&] { O->LearnIndex(std::numeric_limits<int32_t>::max(), IntVec{0}, FloatVec{}); }),
            "Class index 2147483647 out of range (more than 16777216 classes)");
  EXPECT_EQ(O->Classes()->Count(), 2);
  // Existing classes keep their names.
  O->Learn("x", IntVec{0}, FloatVec{});
  O->LearnIndex(4, IntVec{0}, FloatVec{});
  EXPECT_EQ(O->ClassName(2), "x");
  EXPECT_EQ(O->ClassName(3), "4");
}

TEST(TStatisticClassifier, TiesGoToTheFirstClass) {
  auto C = MakeClassifier(1, 0);
  LearnCounts(*C, "a", 2, 1);
  LearnCounts(*C, "b", 2, 1);
  std::vector<double> R(2);
  EXPECT_EQ(C->Classify(IntVec{1}, FloatVec{}), 0);
  EXPECT_EQ(C->ClassifyResponse(IntVec{1}, FloatVec{}, R), 0);
  EXPECT_EQ(R[0], 0.5);
  EXPECT_EQ(R[1], 0.5);
}

TEST(TStatisticClassifier, ClassifyComparesAt32BitsClassifyResponseAt64) {
  auto C = MakeClassifier(2, 0);
  for (const char* Name : {"a", "b"}) C->Learn(Name, IntVec{0, 1}, FloatVec{});
  // Value 0 of the second attribute lies below ValueCount but was never seen:
  // score 0 with weight counting. B's slightly lighter weight lifts its
  // response above 0.5 by less than a float can show.
  C->Classes()->GetData(1)->EditDiscrete()[1].Weight = 1.0 - 1e-12;
  std::vector<double> R(2);
  EXPECT_EQ(C->ClassifyResponse(IntVec{0, 0}, FloatVec{}, R), 1);
  EXPECT_GT(R[1], R[0]);
  EXPECT_EQ(C->Classify(IntVec{0, 0}, FloatVec{}), 0);
}

TEST(TStatisticClassifier, RejectRules) {
  auto C = MakeClassifier(1, 0);
  LearnCounts(*C, "a", 200, 1);  // value 1 scores 1/200 = 0.005
  std::vector<double> R(1);
  EXPECT_EQ(C->Classify(IntVec{1}, FloatVec{}), -1);
  EXPECT_EQ(C->ClassName(C->Classify(IntVec{1}, FloatVec{})), "Reject");
  EXPECT_EQ(C->ClassifyResponse(IntVec{1}, FloatVec{}, R), -1);
  EXPECT_EQ(R[0], static_cast<double>(1.0f / 200.0f));  // the score is a 32-bit quotient
  EXPECT_EQ(C->Classify(IntVec{0}, FloatVec{}), 0);
  // A response equal to RejectProbability is accepted.
  C->SetRejectProbability(static_cast<double>(static_cast<float>(0.005)));
  EXPECT_EQ(C->Classify(IntVec{1}, FloatVec{}), 0);

  // RejectProbability 0 and every response 0 (value never seen by the class).
  C->SetRejectProbability(0.0);
  EXPECT_EQ(C->Classify(IntVec{7}, FloatVec{}), 0);
  EXPECT_EQ(C->ClassifyResponse(IntVec{7}, FloatVec{}, R), -1);
  EXPECT_EQ(R[0], 0.0);
}

TEST(TStatisticClassifier, EmptyListAndResponseLength) {
  auto C = MakeClassifier(1, 0);
  EXPECT_EQ(C->Classify(IntVec{0}, FloatVec{}), -1);
  C->SetRejectProbability(0.0);
  EXPECT_EQ(C->Classify(IntVec{0}, FloatVec{}), 0);
  std::vector<double> None;
  EXPECT_EQ(C->ClassifyResponse(IntVec{0}, FloatVec{}, None), -1);
  LearnCounts(*C, "a", 1, 0);
  LearnCounts(*C, "b", 1, 0);
  std::vector<double> Short(1, -7.0);
  EXPECT_EQ(MessageOf([&] { C->ClassifyResponse(IntVec{0}, FloatVec{}, Short); }),
            "Length(Response) <> Classes.Count");
  EXPECT_EQ(Short[0], -7.0);
}

TEST(TStatisticClassifier, AttributeStateLivesInTheClasses) {
  auto C = MakeClassifier(2, 1);
  // No classes: setting changes nothing, reading has no class to ask.
  C->DisableAttributes();
  EXPECT_THROW(C->DiscreteAttributeStateGet(0), EListError);
  C->Learn("a", IntVec{0, 0}, FloatVec{0});
  EXPECT_TRUE(C->DiscreteAttributeStateGet(0));
  EXPECT_TRUE(C->FloatAttributeStateGet(0));
  C->DiscreteAttributeStateSet(1, false);
  C->Learn("b", IntVec{0, 0}, FloatVec{0});
  EXPECT_FALSE(C->Classes()->GetData(0)->Discrete()[1].Enabled);
  EXPECT_TRUE(C->Classes()->GetData(1)->Discrete()[1].Enabled);  // new class starts enabled
  C->FloatAttributeStateSet(0, false);
  EXPECT_FALSE(C->Classes()->GetData(1)->Float()[0].Enabled);

  EXPECT_EQ(MessageOf([&] { C->DiscreteAttributeStateSet(2, true); }), "Index > DiscreteCount-1!");
  EXPECT_EQ(MessageOf([&] { C->FloatAttributeStateSet(1, true); }), "Index > FloatCount-1!");
  EXPECT_EQ(MessageOf([&] { C->DiscreteAttributeStateGet(2); }), "Index > DiscreteAttributeCount-1");
  EXPECT_EQ(MessageOf([&] { C->FloatAttributeStateGet(1); }), "Index > FloatAttributeCount-1");
  EXPECT_EQ(MessageOf([&] { C->DiscreteAttributeStateSet(-1, true); }), "Index < 0!");
  EXPECT_EQ(MessageOf([&] { C->FloatAttributeStateGet(-1); }), "Index < 0");
}

TEST(TStatisticClassifier, CountSettersRebuildRecords) {
  auto C = MakeClassifier(1, 1);
  C->Learn("a", IntVec{3}, FloatVec{2.0});
  C->SetDiscreteAttributeCount(1);  // unchanged: keeps what was learned
  TClassesListItem* Item = C->Classes()->GetData(0);
  EXPECT_EQ(Item->Discrete()[0].Count, 1);
  C->DiscreteAttributeStateSet(0, false);
  C->SetDiscreteAttributeCount(2);
  ASSERT_EQ(Item->Discrete().size(), 2u);
  EXPECT_EQ(Item->Discrete()[0].Count, 0);
  EXPECT_TRUE(Item->Discrete()[0].Enabled);
  EXPECT_EQ(Item->Float()[0].Count, 1);
  EXPECT_EQ(Item->LearnedCases(), 1);
  EXPECT_EQ(C->Classes()->DiscreteCount(), 2);
  C->SetFloatAttributeCount(0);
  EXPECT_TRUE(Item->Float().empty());
  EXPECT_EQ(C->Classes()->FloatCount(), 0);
  C->Learn("a", IntVec{1, 1}, FloatVec{});
  EXPECT_EQ(Item->LearnedCases(), 2);
}

TEST(TStatisticClassifier, ResetsAndClear) {
  auto C = MakeClassifier(1, 1);
  C->Learn("a", IntVec{3}, FloatVec{2.0});
  C->Learn("b", IntVec{1}, FloatVec{1.0});
  C->FloatAttributeStateSet(0, false);
  C->SoftReset();
  EXPECT_EQ(C->Classes()->Count(), 2);
  EXPECT_EQ(C->Classes()->LearnedCases(), 0);
  EXPECT_FALSE(C->FloatAttributeStateGet(0));
  C->Reset();
  EXPECT_TRUE(C->FloatAttributeStateGet(0));
  C->Clear();
  EXPECT_EQ(C->Classes()->Count(), 0);
}

TEST(TStatisticClassifier, MaxPriorProbability) {
  auto C = MakeClassifier(1, 0);
  int32_t Index = 7;
  EXPECT_EQ(C->MaxPriorProbability(Index), 0.0);
  EXPECT_EQ(Index, -1);
  LearnCounts(*C, "a", 3, 0);
  LearnCounts(*C, "b", 5, 0);
  LearnCounts(*C, "c", 5, 0);
  EXPECT_DOUBLE_EQ(C->MaxPriorProbability(Index), 5.0 * 100.0 / 13.0);
  EXPECT_EQ(Index, 1);
}

TEST(TStatisticClassifier, EntropyMeasures) {
  auto C = MakeClassifier(1, 1);
  int32_t Index = 0;
  EXPECT_EQ(C->Entropy(), 0.0);
  EXPECT_EQ(C->MaxEntropy(Index), 0.0);
  // Five classes sharing discrete value 0 (entropy 1/5); float means 0,0,0,5,5
  // with zero deviations (overlaps 0, 0, 0.5, 0.5, 0: entropy 1/5).
  const double Means[] = {0, 0, 0, 5, 5};
  for (int k = 0; k < 5; ++k) C->Learn(std::string(1, static_cast<char>('a' + k)), IntVec{0}, FloatVec{Means[k]});
  EXPECT_DOUBLE_EQ(C->MaxDiscreteEntropy(Index), 20.0);
  EXPECT_EQ(Index, 0);
  EXPECT_DOUBLE_EQ(C->MaxFloatEntropy(Index), 20.0);
  EXPECT_EQ(Index, 0);
  EXPECT_EQ(C->MaxEntropy(Index), 20.0);
  EXPECT_EQ(Index, 1);  // the tie goes to the float attribute, combined index
  EXPECT_DOUBLE_EQ(C->Entropy(), 20.0);

  auto None = MakeClassifier(0, 0);
  EXPECT_EQ(None->Entropy(), 0.0);
  EXPECT_EQ(None->MaxDiscreteEntropy(Index), 0.0);
  EXPECT_EQ(Index, -1);
}
