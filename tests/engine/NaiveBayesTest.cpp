// Tests of the naive Bayes classifier: the m-estimate response, learning and
// the list-wide Totals, their agreement with the class counts after
// deleting, resetting and editing classes, and the published properties.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Classifier.h"
#include "Exceptions.h"
#include "PropertyStream.h"
#include "Stream.h"
#include "TestSupport.h"

namespace {

using IntVec = std::vector<int32_t>;
using FloatVec = std::vector<double>;

// The worked example: class A learns (0, 1), (0, 1), (1, 1), class B (1, 0).
std::unique_ptr<TNaiveBayes> WorkedExample(int32_t Attributes) {
  auto B = MakeClassifier<TNaiveBayes>(Attributes);
  const IntVec A[] = {{0, 1}, {0, 1}, {1, 1}};
  for (const IntVec& R : A) B->Learn("A", IntVec(R.begin(), R.begin() + Attributes), FloatVec{});
  const IntVec Rb{1, 0};
  B->Learn("B", IntVec(Rb.begin(), Rb.begin() + Attributes), FloatVec{});
  return B;
}

std::vector<double> Responses(TNaiveBayes& B, const IntVec& D, const FloatVec& F = {}) {
  std::vector<double> R(static_cast<size_t>(B.Classes()->Count()));
  B.ClassifyResponse(D, F, R);
  return R;
}

// Totals as the sums of the class counts, value by value.
void ExpectTotalsMatchClasses(const TNaiveBayes& B) {
  const TBClassesList& L = *B.Classes();
  const auto& Totals = L.Totals();
  ASSERT_GE(Totals.size(), static_cast<size_t>(L.DiscreteCount()));
  for (size_t i = 0; i < static_cast<size_t>(L.DiscreteCount()); ++i) {
    int32_t MaxValueCount = 0;
    for (int32_t c = 0; c < L.Count(); ++c) MaxValueCount = std::max(MaxValueCount, L.GetData(c)->Discrete()[i].ValueCount);
    EXPECT_EQ(Totals[i].ValueCount, MaxValueCount) << "attribute " << i;
    ASSERT_GE(Totals[i].Counts.size(), static_cast<size_t>(Totals[i].ValueCount));
    for (size_t v = 0; v < Totals[i].Counts.size(); ++v) {
      int32_t Sum = 0;
      for (int32_t c = 0; c < L.Count(); ++c) {
        const auto& Counts = L.GetData(c)->Discrete()[i].Counts;
        if (v < Counts.size()) Sum += Counts[v];
      }
      EXPECT_EQ(Totals[i].Counts[v], Sum) << "attribute " << i << ", value " << v;
    }
  }
}

}  // namespace

TEST(TNaiveBayes, NewClassifierDefaults) {
  TNaiveBayes B(nullptr);
  EXPECT_EQ(B.M(), 2);
  EXPECT_EQ(B.RejectProbability(), 0.01);
  EXPECT_EQ(B.TypeName(), "TNaiveBayes");
  EXPECT_EQ(B.Classes()->Count(), 0);
  EXPECT_EQ(B.Classes()->TypeName(), "TBClassesList");
  EXPECT_TRUE(B.Classes()->Totals().empty());
}

TEST(TNaiveBayes, MIsClampedToOneThroughTen) {
  TNaiveBayes B(nullptr);
  B.SetM(0);
  EXPECT_EQ(B.M(), 1);
  B.SetM(-5);
  EXPECT_EQ(B.M(), 1);
  B.SetM(11);
  EXPECT_EQ(B.M(), 10);
  B.SetM(7);
  EXPECT_EQ(B.M(), 7);
}

TEST(TNaiveBayes, MEstimateWorkedExample) {
  auto One = WorkedExample(1);
  EXPECT_EQ(One->Classes()->Totals()[0].Counts[0], 2);
  EXPECT_EQ(One->Classes()->Totals()[0].Counts[1], 2);
  auto R0 = Responses(*One, {0});
  EXPECT_NEAR(R0[0], 0.83333, 5e-6);
  EXPECT_NEAR(R0[1], 0.16667, 5e-6);
  EXPECT_DOUBLE_EQ(R0[0], 5.0 / 6.0);
  auto R1 = Responses(*One, {1});
  EXPECT_NEAR(R1[0], 0.58333, 5e-6);
  EXPECT_NEAR(R1[1], 0.41667, 5e-6);
  EXPECT_EQ(One->Classify(IntVec{1}, FloatVec{}), 0);

  // Value 1 of the second attribute lies beyond B's ValueCount: neutral for B.
  auto Two = WorkedExample(2);
  auto R = Responses(*Two, {0, 1});
  EXPECT_NEAR(R[0], 1.08333, 5e-6);
  EXPECT_DOUBLE_EQ(R[0], 13.0 / 12.0);
  EXPECT_NEAR(R[1], 0.16667, 5e-6);
  EXPECT_EQ(Two->Classify(IntVec{0, 1}, FloatVec{}), 0);
  EXPECT_EQ(Two->ClassName(Two->Classify(IntVec{1, 0}, FloatVec{})), "B");

  // The m-estimate itself, and M changing the next response.
  auto* A = static_cast<TBClassesListItem*>(Two->Classes()->GetData(0));
  const double P = A->PriorProbability();
  EXPECT_DOUBLE_EQ(A->InformationGain(0, 0, 2, P), 5.0 / 6.0);
  EXPECT_DOUBLE_EQ(A->InformationGain(1, 0, 2, P), (2 * P + 0) / (2 + 1));
  EXPECT_DOUBLE_EQ(A->InformationGain(0, 9, 2, P), P);  // beyond every count
  EXPECT_EQ(MessageOf([&] { A->InformationGain(2, 0, 2, P); }), "AttributeIndex out of range");
  One->SetM(10);
  EXPECT_DOUBLE_EQ(Responses(*One, {0})[0], 4.0 / 6.0 * ((10 * 4.0 / 6.0 + 2) / 12) * 1.5);
}

TEST(TNaiveBayes, AllClassesAtOnceAnswerAsEachClassAlone) {
  // More classes than one block, some disabled, some attributes disabled,
  // values beyond some classes' counts and missing ones.
  std::mt19937 Rng(3);
  std::uniform_int_distribution<int32_t> Value(-1, 7), Class(0, 18);
  auto B = MakeClassifier<TNaiveBayes>(4);
  for (int n = 0; n < 400; ++n) B->LearnIndex(Class(Rng), IntVec{Value(Rng), Value(Rng), Value(Rng), 1}, FloatVec{});
  B->Classes()->GetData(3)->SetEnabled(false);
  B->Classes()->GetData(8)->SetEnabled(false);
  B->Classes()->GetData(5)->EditDiscrete()[2].Enabled = false;
  for (int n = 0; n < 50; ++n) {
    const IntVec Query{Value(Rng), Value(Rng), Value(Rng), Value(Rng) + 1};
    std::vector<double> All(19);
    const int32_t Best = B->ClassifyResponse(Query, FloatVec{}, All);
    double Top = 0.0;
    int32_t TopIndex = -1;
    for (int32_t c = 0; c < 19; ++c) {
      const double One = B->Classes()->GetData(c)->Classify(Query, FloatVec{});
      ASSERT_EQ(All[static_cast<size_t>(c)], One) << "class " << c;
      if (One > Top) {
        Top = One;
        TopIndex = c;
      }
    }
    EXPECT_EQ(Best, TopIndex);
  }
}

TEST(TNaiveBayes, FloatAttributesTakeNoPart) {
  auto B = MakeClassifier<TNaiveBayes>(1, 2);
  B->Learn("x", IntVec{0}, FloatVec{1.0, 2.0});
  B->Learn("y", IntVec{1}, FloatVec{-5.0, 7.0});
  EXPECT_EQ(Responses(*B, {0}, {1.0, 2.0}), Responses(*B, {0}, {-5.0, 1e300}));
  const TFloatRecord& F = B->Classes()->GetData(0)->Float()[1];
  EXPECT_EQ(F.Count, 0);
  EXPECT_EQ(F.Mean, 0.0);
  // Not even the length of the float record is looked at by the response.
  EXPECT_EQ(B->Classes()->GetData(0)->Classify(IntVec{0}, FloatVec{}), Responses(*B, {0}, {0, 0})[0]);
}

TEST(TNaiveBayes, NoUsableAttributeGivesThePrior) {
  auto B = WorkedExample(2);
  const double PA = B->Classes()->GetData(0)->PriorProbability();
  const double PB = B->Classes()->GetData(1)->PriorProbability();
  EXPECT_DOUBLE_EQ(PA, 4.0 / 6.0);
  // Missing values, and values beyond every class's ValueCount.
  EXPECT_EQ(Responses(*B, {-1, -7}), (std::vector<double>{PA, PB}));
  EXPECT_EQ(Responses(*B, {5, 5}), (std::vector<double>{PA, PB}));
  B->SetMissingDiscreteIndex(0);
  EXPECT_EQ(Responses(*B, {0, 0}), (std::vector<double>{PA, PB}));
  B->SetMissingDiscreteIndex(-1);
  B->DisableAttributes();
  EXPECT_EQ(Responses(*B, {0, 1}), (std::vector<double>{PA, PB}));
}

TEST(TNaiveBayes, DisabledClassAnswersZero) {
  auto B = WorkedExample(1);
  B->Classes()->GetData(0)->SetEnabled(false);
  auto R = Responses(*B, {0});
  EXPECT_EQ(R[0], 0.0);
  EXPECT_GT(R[1], 0.0);
  EXPECT_EQ(B->Classify(IntVec{0}, FloatVec{}), 1);
}

TEST(TNaiveBayes, CountsGrowAsTheAlgorithmSays) {
  auto B = MakeClassifier<TNaiveBayes>(1);
  B->Learn("c", IntVec{4}, FloatVec{});
  const TDiscreteRecord& R = B->Classes()->GetData(0)->Discrete()[0];
  EXPECT_EQ(R.ValueCount, 5);
  EXPECT_EQ(R.Counts.size(), 10u);  // max(2 x ValueCount, 8)
  EXPECT_EQ(R.Count, 1);
  EXPECT_EQ(R.Mode, 0);  // not kept by naive Bayes
  EXPECT_EQ(B->Classes()->Totals()[0].ValueCount, 5);
  EXPECT_EQ(B->Classes()->Totals()[0].Counts.size(), 10u);
  EXPECT_EQ(B->Classes()->Totals()[0].Count, 0);

  // A second class whose count array is shorter although it reaches a
  // higher value: Totals still cover every value.
  B->Learn("d", IntVec{0}, FloatVec{});
  B->Learn("d", IntVec{6}, FloatVec{});
  EXPECT_EQ(B->Classes()->GetData(1)->Discrete()[0].Counts.size(), 8u);
  EXPECT_EQ(B->Classes()->Totals()[0].ValueCount, 7);
  ExpectTotalsMatchClasses(*B);

  EXPECT_THROW(B->Learn("c", IntVec{MaxDiscreteValueCode + 1}, FloatVec{}), Exception);
  EXPECT_EQ(B->Classes()->GetData(0)->Discrete()[0].Count, 1);
}

TEST(TNaiveBayes, TotalsAreTheSumsOfTheClassCounts) {
  std::mt19937 Rng(11);
  std::uniform_int_distribution<int32_t> Value(-1, 12), Class(0, 4);
  auto B = MakeClassifier<TNaiveBayes>(3);
  B->Learn("first", IntVec{2, 2, 2}, FloatVec{});
  B->DiscreteAttributeStateSet(1, false);  // skipped by learning in every class
  for (int n = 0; n < 500; ++n)
    B->LearnIndex(Class(Rng), IntVec{Value(Rng), Value(Rng), Value(Rng)}, FloatVec{});
  ExpectTotalsMatchClasses(*B);
  EXPECT_EQ(B->Classes()->GetData(0)->Discrete()[1].Count, 1);
}

TEST(TNaiveBayes, DeletedClassLeavesAModelAsIfNeverLearned) {
  std::mt19937 Rng(5);
  std::uniform_int_distribution<int32_t> Value(0, 5), Class(0, 3);
  auto Full = MakeClassifier<TNaiveBayes>(2);
  auto Without = MakeClassifier<TNaiveBayes>(2);
  for (const char* Name : {"c0", "c1", "c2", "c3"}) Full->Classes()->Add(Name);
  for (const char* Name : {"c1", "c2", "c3"}) Without->Classes()->Add(Name);
  for (int n = 0; n < 300; ++n) {
    const int32_t c = Class(Rng);
    const IntVec R{Value(Rng), Value(Rng)};
    Full->LearnIndex(c, R, FloatVec{});
    if (c > 0) Without->LearnIndex(c - 1, R, FloatVec{});
  }
  Full->Classes()->Delete(0);
  ExpectTotalsMatchClasses(*Full);
  for (int32_t a = 0; a < 7; ++a)
    for (int32_t b = 0; b < 7; ++b) EXPECT_EQ(Responses(*Full, {a, b}), Responses(*Without, {a, b}));

  // Learning goes on from the rebuilt counts.
  Full->LearnIndex(1, IntVec{9, 0}, FloatVec{});
  Without->LearnIndex(1, IntVec{9, 0}, FloatVec{});
  ExpectTotalsMatchClasses(*Full);
  EXPECT_EQ(Responses(*Full, {9, 0}), Responses(*Without, {9, 0}));

  Full->Clear();
  EXPECT_EQ(Full->Classes()->Count(), 0);
  EXPECT_EQ(Full->Classes()->Totals().size(), 2u);
  EXPECT_EQ(Full->Classes()->Totals()[0].ValueCount, 0);
  Full->Learn("again", IntVec{1, 1}, FloatVec{});
  ExpectTotalsMatchClasses(*Full);
}

TEST(TNaiveBayes, CountsPlacedFromOutsideAreSummedBeforeUse) {
  // What reading a model back does: fresh classes whose records receive
  // counts directly, with no learning and no learned cases.
  auto Learned = WorkedExample(1);
  auto Loaded = MakeClassifier<TNaiveBayes>(1);
  for (int32_t c = 0; c < 2; ++c) {
    Loaded->Classes()->Add(Learned->Classes()->Strings(c));
    Loaded->Classes()->GetData(c)->EditDiscrete() = Learned->Classes()->GetData(c)->Discrete();
  }
  // Equal priors of 1/2: A answers (2 x 0.5 + 2) / 4 = 0.75, B 0.25.
  auto R = Responses(*Loaded, {0});
  EXPECT_DOUBLE_EQ(R[0], 0.75);
  EXPECT_DOUBLE_EQ(R[1], 0.25);
  Loaded->Classes()->InvalidateTotals();
  ExpectTotalsMatchClasses(*Loaded);

  // A damaged record (counts shorter than its ValueCount, more records than
  // the attribute count) is read without leaving the arrays.
  TClassesListItem* Damaged = Loaded->Classes()->GetData(1);
  Damaged->EditDiscrete()[0].ValueCount = 40;
  Loaded->Classes()->InvalidateTotals();
  R = Responses(*Loaded, {30});
  EXPECT_DOUBLE_EQ(R[1], 0.5 * (2 * 0.5 / (2 + 0)) * 2);
  EXPECT_EQ(Loaded->Classes()->Totals()[0].ValueCount, 40);
  EXPECT_GE(Loaded->Classes()->Totals()[0].Counts.size(), 40u);
  Loaded->Learn("B", IntVec{30}, FloatVec{});
  EXPECT_EQ(Damaged->Discrete()[0].Counts[30], 1);
  EXPECT_EQ(Loaded->Classes()->Totals()[0].Counts[30], 1);
  Damaged->EditDiscrete().push_back(Damaged->Discrete()[0]);
  Damaged->LearnDiscrete(IntVec{1, 2});
  EXPECT_EQ(Loaded->Classes()->Totals().size(), 2u);
  EXPECT_EQ(Loaded->Classes()->Totals()[1].Counts[2], 1);
}

TEST(TNaiveBayes, ResetsEmptyCountsAndTotals) {
  auto B = WorkedExample(2);
  B->DiscreteAttributeStateSet(1, false);
  B->SoftReset();
  EXPECT_EQ(B->Classes()->Count(), 2);
  EXPECT_EQ(B->Classes()->LearnedCases(), 0);
  EXPECT_EQ(B->Classes()->Totals().size(), 2u);
  EXPECT_TRUE(B->Classes()->Totals()[0].Counts.empty());
  EXPECT_EQ(B->Classes()->GetData(0)->Discrete()[0].ValueCount, 0);
  EXPECT_FALSE(B->DiscreteAttributeStateGet(1));
  B->Learn("B", IntVec{3, 3}, FloatVec{});
  ExpectTotalsMatchClasses(*B);

  B->Reset();
  EXPECT_TRUE(B->DiscreteAttributeStateGet(1));
  EXPECT_EQ(B->Classes()->Totals()[0].ValueCount, 0);
  EXPECT_TRUE(B->Classes()->Totals()[0].Counts.empty());
  EXPECT_EQ(B->Classes()->GetData(1)->Discrete()[0].Count, 0);
  // Relearning gives the worked example again.
  const IntVec A[] = {{0, 1}, {0, 1}, {1, 1}};
  for (const IntVec& R : A) B->Learn("A", R, FloatVec{});
  B->Learn("B", IntVec{1, 0}, FloatVec{});
  EXPECT_DOUBLE_EQ(Responses(*B, {0, 1})[0], 13.0 / 12.0);
}

TEST(TNaiveBayes, AttributeCountResizesTotals) {
  auto B = WorkedExample(2);
  B->SetDiscreteAttributeCount(2);  // same count: everything stays
  EXPECT_EQ(B->Classes()->Totals()[0].Counts[0], 2);
  B->SetDiscreteAttributeCount(3);
  EXPECT_EQ(B->Classes()->Totals().size(), 3u);
  for (const TDiscreteRecord& T : B->Classes()->Totals()) {
    EXPECT_TRUE(T.Counts.empty());
    EXPECT_EQ(T.ValueCount, 0);
  }
  EXPECT_EQ(B->Classes()->GetData(0)->Discrete().size(), 3u);
  EXPECT_EQ(B->Classes()->GetData(0)->LearnedCases(), 3);
  B->SetDiscreteAttributeCount(-1);
  EXPECT_TRUE(B->Classes()->Totals().empty());
  EXPECT_EQ(B->DiscreteAttributeCount(), 0);
}

TEST(TNaiveBayes, RecordsOfTheWrongLength) {
  auto B = WorkedExample(1);
  EXPECT_EQ(MessageOf([&] { B->Learn("A", IntVec{0, 0}, FloatVec{}); }),
            "Length(NewDiscreteRecord) <> Length(Discrete)!");
  // The case was counted before the record was rejected; the counts were not.
  EXPECT_EQ(B->Classes()->GetData(0)->LearnedCases(), 4);
  EXPECT_EQ(B->Classes()->GetData(0)->Discrete()[0].Count, 3);
  EXPECT_EQ(B->Classes()->Totals()[0].Counts[0], 2);
  std::vector<double> R(2);
  EXPECT_EQ(MessageOf([&] { B->ClassifyResponse(IntVec{}, FloatVec{}, R); }),
            "Length(Discrete) <> Length(DiscreteSource)!");
  EXPECT_EQ(MessageOf([&] { B->Classify(IntVec{1, 1}, FloatVec{}); }), "Length(Discrete) <> Length(DiscreteSource)!");
}

TEST(TNaiveBayes, PublishedPropertiesAndPropertyBlock) {
  auto B = WorkedExample(1);
  B->SetM(7);
  TPropertyList List;
  B->DefineProperties(List);
  std::vector<std::string> Names;
  for (const TPropertyInfo& P : List)
    if (!P.Stored || P.Stored(*B)) Names.push_back(P.Name);
  EXPECT_EQ(Names, (std::vector<std::string>{"IndexesZeroBased", "MissingDiscreteIndex", "MissingFloatValue",
                                             "AttributeCount", "FloatAttributeCount", "DiscreteAttributeCount",
                                             "RejectProbability", "M", "Classes.Strings"}));

  TMemoryStream Stream;
  WriteComponent(Stream, *B);
  Stream.SetPosition(0);
  TNaiveBayes Copy(nullptr);
  ReadComponent(Stream, Copy);
  EXPECT_EQ(Copy.M(), 7);
  EXPECT_EQ(Copy.DiscreteAttributeCount(), 1);
  EXPECT_EQ(Copy.Classes()->ToVector(), (std::vector<std::string>{"A", "B"}));
  // Fresh classes: every response is the (equal) prior.
  EXPECT_EQ(Responses(Copy, {0}), (std::vector<double>{0.5, 0.5}));
}
