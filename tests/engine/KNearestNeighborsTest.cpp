// Tests of the k-nearest-neighbours classifier: distances, the neighbour
// list's tie rules, the vote, learning and the example store, the resets,
// the leave-one-out test and the search over an outside data source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
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

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

// A classifier with the given attribute counts that stores its examples.
std::unique_ptr<TKNearestNeighbors> Make(int32_t D, int32_t F, bool Store = true) {
  auto K = MakeClassifier<TKNearestNeighbors>(D, F);
  K->SetStoreExamples(Store);
  return K;
}

TKRecord Candidate(double Distance, int32_t Example) { return {Distance, 0, Example}; }

std::vector<int32_t> ExampleIndexes(const TKNearestNeighbors& K) {
  std::vector<int32_t> Result;
  for (const TKRecord& R : K.Neighbors()) Result.push_back(R.ExampleIndex);
  return Result;
}

}  // namespace

TEST(TKNearestNeighbors, NewClassifierDefaults) {
  TKNearestNeighbors K(nullptr);
  EXPECT_EQ(K.KNeighbors(), 10);
  EXPECT_FALSE(K.StoreExamples());
  EXPECT_EQ(K.LeaveOneOut(), -1);
  EXPECT_EQ(K.DistanceModel(), TDistanceModel::dmNorm1);
  EXPECT_EQ(K.Classes().Count(), 0);
  EXPECT_EQ(K.ExampleCount(), 0);
  EXPECT_FALSE(K.SpanChanged());
  EXPECT_FALSE(K.InternalPruning());
  int32_t Index = 42;
  EXPECT_EQ(K.MaxPriorProbability(Index), 0.0);
  EXPECT_EQ(Index, 42);
  EXPECT_EQ(K.ClassName(0), "Reject");
}

TEST(TKNearestNeighbors, KNeighborsClampsAndLeavesNeighbors) {
  auto K = Make(0, 0);
  K->SetKNeighbors(0);
  EXPECT_EQ(K->KNeighbors(), 1);
  K->SetKNeighbors(-4);
  EXPECT_EQ(K->KNeighbors(), 1);
  K->SetKNeighbors(3);
  for (double D : {1.0, 2.0, 3.0}) K->InsertNeighbors(Candidate(D, 0));
  K->SetKNeighbors(1);
  EXPECT_EQ(K->Neighbors().size(), 3u);
  // A huge K only means every candidate is kept.
  K->SetKNeighbors(2147483647);
  K->LearnIndex(0, IntVec{}, FloatVec{});
  K->LearnIndex(0, IntVec{}, FloatVec{});
  EXPECT_EQ(K->Classify(IntVec{}, FloatVec{}), 0);
  EXPECT_EQ(K->Neighbors().size(), 2u);
}

TEST(TKNearestNeighbors, FloatRangeStartsAtZeroAndScalesDistances) {
  auto K = Make(0, 1);
  K->LearnIndex(0, IntVec{}, FloatVec{2.0});
  K->LearnIndex(1, IntVec{}, FloatVec{10.0});
  ASSERT_TRUE(K->SpanChanged());
  EXPECT_EQ(K->FloatSpans()[0].Max, 10.0);
  EXPECT_EQ(K->FloatSpans()[0].Min, 0.0);
  K->PrepareFloatSpan();
  EXPECT_EQ(K->FloatSpans()[0].Scale, 0.1);

  EXPECT_DOUBLE_EQ(K->Distance(IntVec{}, FloatVec{10.0}, IntVec{}, FloatVec{4.0}), std::sqrt(0.6));
  K->SetDistanceModel(TDistanceModel::dmNorm2);
  EXPECT_DOUBLE_EQ(K->Distance(IntVec{}, FloatVec{10.0}, IntVec{}, FloatVec{4.0}), 0.6);

  // The search ranks both examples by the same distances.
  K->SetDistanceModel(TDistanceModel::dmNorm1);
  K->SetKNeighbors(2);
  EXPECT_EQ(K->Classify(IntVec{}, FloatVec{4.0}), 0);
  ASSERT_EQ(K->Neighbors().size(), 2u);
  EXPECT_DOUBLE_EQ(K->Neighbors()[0].Distance, std::sqrt(0.2));
  EXPECT_DOUBLE_EQ(K->Neighbors()[1].Distance, std::sqrt(0.6));
  EXPECT_EQ(K->Neighbors()[1].ClassIndex, 1);
}

TEST(TKNearestNeighbors, DiscreteMismatchesAndMissingValues) {
  auto K = Make(3, 0);
  int32_t Count = 0;
  // One equal, one differing, one missing in the query.
  EXPECT_EQ(K->DiscreteSum(IntVec{1, 2, 3}, IntVec{1, 5, -1}, Count), 1);
  EXPECT_EQ(Count, 2);
  EXPECT_DOUBLE_EQ(K->Distance(IntVec{1, 2, 3}, FloatVec{}, IntVec{1, 5, -1}, FloatVec{}), std::sqrt(0.5));
  // MissingDiscreteIndex marks its own code missing on either side.
  K->SetMissingDiscreteIndex(2);
  EXPECT_EQ(K->DiscreteSum(IntVec{1, 2, 3}, IntVec{1, 5, 4}, Count), 1);
  EXPECT_EQ(Count, 2);
  // A disabled attribute leaves both the sum and the count.
  K->SetMissingDiscreteIndex(-1);
  K->SetAttributeEnabled(2, false);
  EXPECT_EQ(K->DiscreteSum(IntVec{1, 2, 3}, IntVec{1, 5, 4}, Count), 1);
  EXPECT_EQ(Count, 2);
}

TEST(TKNearestNeighbors, MissingFloatValuesAreNotCompared) {
  auto K = Make(0, 3);
  K->LearnIndex(0, IntVec{}, FloatVec{4.0, 4.0, 4.0});
  K->PrepareFloatSpan();
  int32_t Count = 0;
  // NaN, infinity and the missing value 999 on either side drop out.
  EXPECT_DOUBLE_EQ(K->FloatSum(FloatVec{NaN, 999.0, 1.0}, FloatVec{2.0, 3.0, -Inf}, Count), 0.0);
  EXPECT_EQ(Count, 0);
  EXPECT_DOUBLE_EQ(K->FloatSum(FloatVec{0.0, 999.0, 4.0}, FloatVec{2.0, 3.0, 3.0}, Count), 0.75);
  EXPECT_EQ(Count, 2);
  K->SetFloatAttributeCount(3);  // same count: nothing changes
  K->FloatAttributeStateSet(0, false);
  EXPECT_DOUBLE_EQ(K->FloatSum(FloatVec{0.0, 999.0, 4.0}, FloatVec{2.0, 3.0, 3.0}, Count), 0.25);
  EXPECT_EQ(Count, 1);
}

TEST(TKNearestNeighbors, IncomparableCandidateHasDistanceZero) {
  auto K = Make(2, 1);
  K->SetKNeighbors(3);
  K->LearnIndex(0, IntVec{1, 1}, FloatVec{5.0});   // distance > 0
  K->LearnIndex(1, IntVec{-1, -1}, FloatVec{NaN});  // nothing comparable
  K->LearnIndex(0, IntVec{0, 0}, FloatVec{0.0});   // exact match
  K->Classify(IntVec{0, 0}, FloatVec{0.0});
  EXPECT_EQ(ExampleIndexes(*K), (std::vector<int32_t>{1, 2, 0}));
  EXPECT_EQ(K->Neighbors()[0].Distance, 0.0);
  EXPECT_EQ(K->Neighbors()[1].Distance, 0.0);
}

TEST(TKNearestNeighbors, EmptyRangeScalesByOneThousandth) {
  auto K = Make(0, 1);
  K->LearnIndex(0, IntVec{}, FloatVec{0.0});
  K->LearnIndex(0, IntVec{}, FloatVec{0.0});
  K->PrepareFloatSpan();
  EXPECT_EQ(K->FloatSpans()[0].Scale, 0.001);
}

TEST(TKNearestNeighbors, SpansCountMissingValueButNotNaNOrInfinity) {
  auto K = Make(0, 1);
  K->LearnIndex(0, IntVec{}, FloatVec{999.0});
  EXPECT_EQ(K->FloatSpans()[0].Max, 999.0);
  K->LearnIndex(0, IntVec{}, FloatVec{NaN});
  K->LearnIndex(0, IntVec{}, FloatVec{Inf});
  K->LearnIndex(0, IntVec{}, FloatVec{-Inf});
  EXPECT_EQ(K->FloatSpans()[0].Max, 999.0);
  EXPECT_EQ(K->FloatSpans()[0].Min, 0.0);
  K->LearnIndex(0, IntVec{}, FloatVec{-1.0});
  EXPECT_EQ(K->FloatSpans()[0].Min, -1.0);
  // The 999 widened the range but is not compared.
  K->PrepareFloatSpan();
  int32_t Count = 0;
  EXPECT_EQ(K->FloatSum(FloatVec{999.0}, FloatVec{1.0}, Count), 0.0);
  EXPECT_EQ(Count, 0);
}

TEST(TKNearestNeighbors, NeighborListTieRules) {
  auto K = Make(0, 0);
  K->SetKNeighbors(3);
  const double Distances[] = {5, 1, 3, 1, 7};
  for (int32_t i = 0; i < 5; ++i) K->InsertNeighbors(Candidate(Distances[i], i));
  EXPECT_EQ(ExampleIndexes(*K), (std::vector<int32_t>{1, 3, 2}));

  // A full list drops a candidate that only ties its farthest entry.
  K->ClearNeighbors();
  K->SetKNeighbors(2);
  K->InsertNeighbors(Candidate(1, 0));
  K->InsertNeighbors(Candidate(2, 1));
  K->InsertNeighbors(Candidate(2, 2));
  EXPECT_EQ(ExampleIndexes(*K), (std::vector<int32_t>{0, 1}));
  K->InsertNeighbors(Candidate(1, 3));  // ties the first: goes after it
  EXPECT_EQ(ExampleIndexes(*K), (std::vector<int32_t>{0, 3}));

  // K = 1: replaced only by a strictly nearer candidate.
  K->ClearNeighbors();
  K->SetKNeighbors(1);
  K->InsertNeighbors(Candidate(2, 0));
  K->InsertNeighbors(Candidate(2, 1));
  K->InsertNeighbors(Candidate(3, 2));
  EXPECT_EQ(ExampleIndexes(*K), (std::vector<int32_t>{0}));
  K->InsertNeighbors(Candidate(1.5, 3));
  EXPECT_EQ(ExampleIndexes(*K), (std::vector<int32_t>{3}));

  // Second entry of a growing list: before the first only when nearer.
  K->ClearNeighbors();
  K->SetKNeighbors(4);
  K->InsertNeighbors(Candidate(2, 0));
  K->InsertNeighbors(Candidate(2, 1));
  K->InsertNeighbors(Candidate(1, 2));
  EXPECT_EQ(ExampleIndexes(*K), (std::vector<int32_t>{2, 0, 1}));
}

TEST(TKNearestNeighbors, SearchKeepsTheFirstKOfAStableSort) {
  // Many ties (few distinct values), some missing values: the list must
  // equal the first K candidates of a stable sort by the distances
  // Distance() gives, for every K, both models, a skipped example and a
  // missing value changed after the examples were stored.
  std::mt19937 Rng(7);
  std::uniform_int_distribution<int32_t> Value(-1, 3);
  auto K = Make(3, 2);
  auto Float = [&] {
    const int32_t V = Value(Rng);
    return V < 0 ? NaN : V == 3 ? 999.0 : static_cast<double>(V);
  };
  for (int32_t i = 0; i < 203; ++i)
    K->LearnIndex(i % 3, IntVec{Value(Rng), Value(Rng), Value(Rng)},
                  i % 5 == 0 ? FloatVec{Float(), Float()} : FloatVec{static_cast<double>(i % 3), i * 0.25});
  const IntVec QD{1, 0, 2};
  const FloatVec QF{1.0, 20.0};
  for (int32_t k : {1, 2, 5, 17, 199, 250})
    for (const char* Missing : {"999", "2", "NAN"})
      for (TDistanceModel Model : {TDistanceModel::dmNorm1, TDistanceModel::dmNorm2}) {
    K->SetMissingFloatValue(Missing);
    K->SetDistanceModel(Model);
    K->SetLeaveOneOut(k % 7);
    K->SetKNeighbors(k);
    K->Classify(QD, QF);
    std::vector<TKRecord> Expected;
    for (int32_t i = 0; i < K->ExampleCount(); ++i) {
      if (i == K->LeaveOneOut()) continue;
      const TExampleRecord& E = K->Examples()[static_cast<size_t>(i)];
      Expected.push_back({K->Distance(E.DiscreteValues, E.FloatValues, QD, QF), E.ClassIndex, i});
    }
    std::stable_sort(Expected.begin(), Expected.end(),
                     [](const TKRecord& A, const TKRecord& B) { return A.Distance < B.Distance; });
    Expected.resize(std::min<size_t>(Expected.size(), static_cast<size_t>(k)));
    ASSERT_EQ(K->Neighbors().size(), Expected.size()) << "K = " << k;
    for (size_t i = 0; i < Expected.size(); ++i) {
      ASSERT_EQ(K->Neighbors()[i].ExampleIndex, Expected[i].ExampleIndex)
          << "K = " << k << ", missing " << Missing << ", rank " << i;
      ASSERT_EQ(K->Neighbors()[i].Distance, Expected[i].Distance);
    }
  }
}

TEST(TKNearestNeighbors, MajorityVote) {
  auto K = Make(0, 0);
  K->SetKNeighbors(10);
  for (int32_t c : {1, 0, 2, 1, 0}) K->InsertNeighbors({1.0, c, -1});
  std::vector<double> Votes(3, 9.0);
  EXPECT_EQ(K->FindMajorityClass(Votes), 0);  // 2, 2, 1: the lowest position wins
  EXPECT_EQ(Votes, (std::vector<double>{2, 2, 1}));
  // Positions outside the votes (an unknown name, a shortened class list)
  // are not counted.
  K->InsertNeighbors({1.0, -1, -1});
  K->InsertNeighbors({1.0, 5, -1});
  K->InsertNeighbors({1.0, 2, -1});
  K->InsertNeighbors({1.0, 2, -1});
  EXPECT_EQ(K->FindMajorityClass(Votes), 2);
  EXPECT_EQ(Votes, (std::vector<double>{2, 2, 3}));
  std::vector<double> None;
  EXPECT_EQ(K->FindMajorityClass(None), 0);
}

TEST(TKNearestNeighbors, NoExamplesAnswersFirstPosition) {
  auto K = Make(1, 0);
  EXPECT_EQ(K->Classify(IntVec{0}, FloatVec{}), 0);
  EXPECT_EQ(K->ClassName(0), "Reject");
  K->Classes().Add("first");
  EXPECT_EQ(K->Classify(IntVec{0}, FloatVec{}), 0);
  EXPECT_EQ(K->ClassName(K->Classify(IntVec{0}, FloatVec{})), "first");
  EXPECT_EQ(K->ClassName(1), "Reject");
  EXPECT_EQ(K->ClassName(-1), "Reject");
}

TEST(TKNearestNeighbors, LearnIndexCreatesMissingClasses) {
  auto K = Make(1, 0);
  K->LearnIndex(3, IntVec{0}, FloatVec{});
  EXPECT_EQ(K->ClassNames(), (std::vector<std::string>{"0", "1", "2", "3"}));
  EXPECT_EQ(K->Examples()[0].ClassIndex, 3);

  auto One = Make(1, 0);
  One->SetIndexesZeroBased(false);
  One->LearnIndex(3, IntVec{0}, FloatVec{});
  EXPECT_EQ(One->ClassNames(), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(One->Examples()[0].ClassIndex, 2);
  // Existing classes keep their names.
  One->LearnIndex(1, IntVec{0}, FloatVec{});
  EXPECT_EQ(One->Classes().Count(), 3);
  EXPECT_EQ(One->Examples()[1].ClassIndex, 0);

  // Positions below 0, and absurdly large ones, change nothing.
  EXPECT_THROW(One->LearnIndex(0, IntVec{0}, FloatVec{}), EListError);
  EXPECT_THROW(K->LearnIndex(-1, IntVec{0}, FloatVec{}), EListError);
  EXPECT_EQ(MessageOf([&] { K->LearnIndex(2000000000, IntVec{0}, FloatVec{}); }),
            "Class index 2000000000 out of range (more than 16777216 classes)");
  EXPECT_EQ(One->ExampleCount(), 2);
  EXPECT_EQ(K->ExampleCount(), 1);
  EXPECT_EQ(K->Classes().Count(), 4);
}

TEST(TKNearestNeighbors, LearnByNameInOrderOfFirstAppearance) {
  auto K = Make(1, 0);
  K->Learn("b", IntVec{0}, FloatVec{});
  K->Learn("a", IntVec{1}, FloatVec{});
  K->Learn("B", IntVec{2}, FloatVec{});
  EXPECT_EQ(K->ClassNames(), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(K->ClassIndex("A"), 1);
  EXPECT_EQ(K->ClassIndex("c"), -1);
  EXPECT_EQ(K->Examples()[2].ClassIndex, 0);

  // One-based: the position goes through LearnIndex as position + 1.
  auto One = Make(1, 0);
  One->SetIndexesZeroBased(false);
  One->Learn("x", IntVec{0}, FloatVec{});
  One->Learn("y", IntVec{0}, FloatVec{});
  EXPECT_EQ(One->ClassNames(), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(One->Examples()[1].ClassIndex, 1);
}

TEST(TKNearestNeighbors, RecordsOfTheWrongLengthChangeNothing) {
  auto K = Make(2, 1);
  EXPECT_EQ(MessageOf([&] { K->LearnIndex(0, IntVec{1}, FloatVec{1.0}); }),
            "Length(DiscreteRecord) <> DiscreteAttributeCount!");
  EXPECT_EQ(MessageOf([&] { K->Learn("a", IntVec{1, 2}, FloatVec{}); }), "Length(FloatRecord) <> FloatAttributeCount!");
  EXPECT_EQ(MessageOf([&] { K->AddExample(0, IntVec{1, 2, 3}, FloatVec{1.0}); }),
            "Length(DiscreteRecord) <> DiscreteAttributeCount!");
  EXPECT_EQ(K->Classes().Count(), 0);
  EXPECT_EQ(K->ExampleCount(), 0);
  EXPECT_FALSE(K->SpanChanged());
  // The query is checked too, before anything is searched.
  EXPECT_EQ(MessageOf([&] { K->Classify(IntVec{1, 2}, FloatVec{}); }), "Length(FloatRecord) <> FloatAttributeCount!");
}

TEST(TKNearestNeighbors, StoreGrowsByTwiceTheCountPlus37) {
  auto K = Make(1, 1);
  K->LearnIndex(0, IntVec{0}, FloatVec{0.0});
  EXPECT_EQ(K->Examples().size(), 39u);
  for (int32_t i = 1; i < 39; ++i) K->LearnIndex(0, IntVec{i}, FloatVec{0.5});
  EXPECT_EQ(K->Examples().size(), 39u);
  K->LearnIndex(0, IntVec{39}, FloatVec{1.0});
  EXPECT_EQ(K->Examples().size(), 117u);
  EXPECT_EQ(K->ExampleCount(), 40);
  EXPECT_EQ(K->Examples()[39].DiscreteValues, IntVec{39});
  EXPECT_EQ(K->Examples()[0].FloatValues, FloatVec{0.0});

  K->SetStoreExamples(false);
  EXPECT_EQ(K->ExampleCount(), 0);
  EXPECT_TRUE(K->Examples().empty());
  // Without storing, learning still widens the ranges.
  K->LearnIndex(0, IntVec{0}, FloatVec{8.0});
  EXPECT_EQ(K->ExampleCount(), 0);
  EXPECT_EQ(K->FloatSpans()[0].Max, 8.0);
}

TEST(TKNearestNeighbors, ExampleCountCanOnlyDropExamples) {
  auto K = Make(1, 0);
  for (int32_t i = 0; i < 3; ++i) K->LearnIndex(i, IntVec{i}, FloatVec{});
  EXPECT_EQ(MessageOf([&] { K->SetExampleCount(4); }), "ExampleCount 4 out of range (0..3)");
  EXPECT_EQ(MessageOf([&] { K->SetExampleCount(-1); }), "ExampleCount -1 out of range (0..3)");
  K->SetExampleCount(1);
  EXPECT_EQ(K->ExampleCount(), 1);
  K->SetKNeighbors(5);
  K->Classify(IntVec{2}, FloatVec{});
  EXPECT_EQ(K->Neighbors().size(), 1u);
  K->LearnIndex(2, IntVec{7}, FloatVec{});
  EXPECT_EQ(K->Examples()[1].DiscreteValues, IntVec{7});
}

TEST(TKNearestNeighbors, ChangedCountsMakeStoredExamplesFail) {
  auto K = Make(1, 1);
  K->LearnIndex(0, IntVec{1}, FloatVec{1.0});
  K->SetFloatAttributeCount(2);
  EXPECT_EQ(MessageOf([&] { K->Classify(IntVec{1}, FloatVec{1.0, 2.0}); }),
            "Length(FloatRecord) <> FloatAttributeCount!");
  EXPECT_EQ(K->FloatSpans().size(), 2u);
  EXPECT_EQ(K->FloatSpans()[0].Max, 0.0);

  auto D = Make(1, 1);
  D->LearnIndex(0, IntVec{1}, FloatVec{1.0});
  D->SetDiscreteAttributeCount(3);
  EXPECT_EQ(MessageOf([&] { D->Classify(IntVec{1, 1, 1}, FloatVec{1.0}); }),
            "Length(DiscreteRecord) <> DiscreteAttributeCount!");
  D->SetDiscreteAttributeCount(-2);
  EXPECT_EQ(D->DiscreteAttributeCount(), 0);
  EXPECT_EQ(D->AttributeCount(), 1);
}

TEST(TKNearestNeighbors, AttributeStates) {
  auto K = Make(3, 2);
  K->SetAttributeEnabled(3, false);
  EXPECT_FALSE(K->FloatAttributeStateGet(0));
  EXPECT_TRUE(K->GetAttributeEnabled(4));
  K->DisableAttributes();
  for (int32_t i = 0; i < 5; ++i) EXPECT_FALSE(K->GetAttributeEnabled(i));
  EXPECT_EQ(MessageOf([&] { K->DiscreteAttributeStateSet(3, true); }), "Index > (Length(DiscreteParams)-1)");
  EXPECT_EQ(MessageOf([&] { K->DiscreteAttributeStateGet(3); }), "Index > (Length(DiscreteParams)-1)");
  EXPECT_EQ(MessageOf([&] { K->FloatAttributeStateSet(2, true); }), "Index > (Length(FloatParams)-1)");
  EXPECT_EQ(MessageOf([&] { K->FloatAttributeStateGet(2); }), "Index > (Length(FloatParams)-1)");
  EXPECT_EQ(MessageOf([&] { K->DiscreteAttributeStateSet(-1, true); }), "Index < 0!");
  EXPECT_EQ(MessageOf([&] { K->FloatAttributeStateGet(-1); }), "Index < 0");
  // A changed count resets that kind's switches only.
  K->SetFloatAttributeCount(1);
  EXPECT_TRUE(K->FloatAttributeStateGet(0));
  EXPECT_FALSE(K->DiscreteAttributeStateGet(0));
  K->ResetParams();
  EXPECT_TRUE(K->DiscreteAttributeStateGet(2));
  EXPECT_EQ(K->DiscreteParams()[2].Weight, 1.0);
}

TEST(TKNearestNeighbors, ResetsForgetByDepth) {
  auto Learned = [] {
    auto K = Make(1, 1);
    K->LearnIndex(1, IntVec{1}, FloatVec{4.0});
    K->LearnIndex(0, IntVec{0}, FloatVec{-2.0});
    K->Classify(IntVec{1}, FloatVec{1.0});
    K->SetAttributeEnabled(0, false);
    return K;
  };
  auto R = Learned();
  R->Reset();
  EXPECT_EQ(R->FloatSpans()[0].Max, 0.0);
  EXPECT_EQ(R->FloatSpans()[0].Scale, 0.0);
  EXPECT_EQ(R->Classes().Count(), 0);
  EXPECT_EQ(R->ExampleCount(), 0);
  EXPECT_TRUE(R->Neighbors().empty());
  EXPECT_TRUE(R->GetAttributeEnabled(0));
  EXPECT_TRUE(R->SpanChanged());
  // The next search recomputes the scales from the emptied ranges.
  R->Classify(IntVec{1}, FloatVec{1.0});
  EXPECT_EQ(R->FloatSpans()[0].Scale, 0.001);

  auto S = Learned();
  S->SoftReset();
  EXPECT_EQ(S->FloatSpans()[0].Min, 0.0);
  EXPECT_EQ(S->Classes().Count(), 0);
  EXPECT_EQ(S->ExampleCount(), 0);
  EXPECT_TRUE(S->Neighbors().empty());
  EXPECT_FALSE(S->GetAttributeEnabled(0));

  auto C = Learned();
  C->Clear();
  EXPECT_EQ(C->FloatSpans()[0].Min, -2.0);
  EXPECT_EQ(C->Classes().Count(), 0);
  EXPECT_EQ(C->ExampleCount(), 0);
  EXPECT_EQ(C->Neighbors().size(), 2u);
  EXPECT_FALSE(C->GetAttributeEnabled(0));

  auto E = Learned();
  E->ClearExamples();
  EXPECT_EQ(E->Classes().Count(), 2);
  EXPECT_EQ(E->ExampleCount(), 0);
  EXPECT_EQ(E->Neighbors().size(), 2u);
  EXPECT_EQ(E->FloatSpans()[0].Max, 4.0);
}

TEST(TKNearestNeighbors, SetClassesCopiesNamesAndShortListIsSafe) {
  auto K = Make(1, 0);
  K->LearnIndex(2, IntVec{0}, FloatVec{});
  K->LearnIndex(2, IntVec{1}, FloatVec{});
  K->LearnIndex(0, IntVec{5}, FloatVec{});
  TStringList Names;
  Names.Add("only");
  K->SetClasses(Names);
  EXPECT_EQ(K->ClassNames(), std::vector<std::string>{"only"});
  K->SetClasses(K->Classes());
  EXPECT_EQ(K->ClassNames(), std::vector<std::string>{"only"});
  // The examples of class 2 no longer have a class to vote for.
  K->SetKNeighbors(3);
  std::vector<double> Response(1);
  EXPECT_EQ(K->ClassifyResponse(IntVec{0}, FloatVec{}, Response), 0);
  EXPECT_EQ(Response, std::vector<double>{1.0});
  EXPECT_EQ(K->Classify(IntVec{0}, FloatVec{}), 0);
}

TEST(TKNearestNeighbors, ClassifyResponseCountsNeighboursPerClass) {
  auto K = Make(1, 0);
  K->SetKNeighbors(3);
  K->LearnIndex(0, IntVec{0}, FloatVec{});
  K->LearnIndex(1, IntVec{1}, FloatVec{});
  K->LearnIndex(1, IntVec{1}, FloatVec{});
  K->LearnIndex(2, IntVec{2}, FloatVec{});
  std::vector<double> Response(3);
  EXPECT_EQ(K->ClassifyResponse(IntVec{1}, FloatVec{}, Response), 1);
  EXPECT_EQ(Response, (std::vector<double>{1, 2, 0}));
  // The length is checked after the search.
  std::vector<double> Short(2);
  K->ClearNeighbors();
  EXPECT_EQ(MessageOf([&] { K->ClassifyResponse(IntVec{0}, FloatVec{}, Short); }), "Length(Response) <> Classes.Count");
  EXPECT_EQ(K->Neighbors().size(), 3u);
}

TEST(TKNearestNeighbors, LeaveOneOutTest) {
  auto K = Make(1, 0);
  EXPECT_EQ(MessageOf([&] { Make(1, 0, false)->ClassifyTest(); }), "StoreExamples = False!");
  EXPECT_EQ(K->ClassifyTest(), 0.0);

  // With K = 1 each example is classified by its nearest other example:
  // the three of value 0 and 1 agree with their class, the lone 9 does not.
  K->SetKNeighbors(1);
  K->LearnIndex(0, IntVec{0}, FloatVec{});
  K->LearnIndex(0, IntVec{0}, FloatVec{});
  K->LearnIndex(1, IntVec{9}, FloatVec{});
  K->SetLeaveOneOut(2);
  K->LearnIndex(0, IntVec{1}, FloatVec{});
  EXPECT_EQ(K->ClassifyTest(), 75.0);
  EXPECT_EQ(K->LeaveOneOut(), 2);

  // Restored also when the test fails midway.
  K->SetDiscreteAttributeCount(2);
  EXPECT_EQ(MessageOf([&] { K->ClassifyTest(); }), "Length(DiscreteRecord) <> DiscreteAttributeCount!");
  EXPECT_EQ(K->LeaveOneOut(), 2);
}

TEST(TKNearestNeighbors, LeaveOneOutSkipsOneExample) {
  auto K = Make(1, 0);
  K->SetKNeighbors(5);
  for (int32_t i = 0; i < 3; ++i) K->LearnIndex(0, IntVec{i}, FloatVec{});
  K->SetLeaveOneOut(1);
  K->Classify(IntVec{1}, FloatVec{});
  EXPECT_EQ(ExampleIndexes(*K), (std::vector<int32_t>{0, 2}));
}

// --- Search over an outside data source -------------------------------------------

namespace {

struct Row {
  int32_t ClassIndex;
  std::string ClassName;
  IntVec D;
  FloatVec F;
};

// A data source that hands out its rows through the record events and
// counts every call. ThrowAtRow raises inside the next-record handler when
// that row is reached.
struct FakeSource {
  std::vector<Row> Rows;
  size_t Position = 5;  // somewhere in the middle, as a user would leave it
  int Push = 0, First = 0, Next = 0, Last = 0, Pop = 0;
  int ThrowAtRow = -1;
  std::vector<std::string> Calls;
  int Token = 0;

  void Attach(TKNearestNeighbors& K, bool ByIndex = true, bool ByName = false) {
    K.SetOnPushPosition([this](void*& Bookmark, TObject*) {
      ++Push;
      Calls.push_back("push");
      Token = static_cast<int>(Position);
      Bookmark = &Token;
    });
    K.SetOnPopPosition([this](void* Bookmark, TObject*) {
      ++Pop;
      Calls.push_back("pop");
      Position = static_cast<size_t>(*static_cast<int*>(Bookmark));
    });
    K.SetOnFirstRecord([this](TObject*) {
      ++First;
      Calls.push_back("first");
      Position = 0;
    });
    K.SetOnLastRecord([this](TObject*) {
      ++Last;
      Calls.push_back("last");
    });
    if (ByIndex)
      K.SetOnIndexNextRecord([this](int32_t& ClassIndex, std::span<int32_t> D, std::span<double> F, bool& IsLast) {
        const Row& R = Fetch(IsLast, "index");
        ClassIndex = R.ClassIndex;
        std::copy(R.D.begin(), R.D.end(), D.begin());
        std::copy(R.F.begin(), R.F.end(), F.begin());
      });
    if (ByName)
      K.SetOnNameNextRecord([this](std::string& Name, std::span<int32_t> D, std::span<double> F, bool& IsLast) {
        const Row& R = Fetch(IsLast, "name");
        Name = R.ClassName;
        std::copy(R.D.begin(), R.D.end(), D.begin());
        std::copy(R.F.begin(), R.F.end(), F.begin());
      });
  }

  const Row& Fetch(bool& IsLast, const char* Kind) {
    ++Next;
    Calls.push_back(Kind);
    if (static_cast<int>(Position) == ThrowAtRow) throw Exception("source failed");
    const Row& R = Rows.at(Position);
    ++Position;
    IsLast = Position == Rows.size();
    return R;
  }
};

class TKNearestNeighborsSource : public ::testing::Test {
protected:
  void SetUp() override {
    K = Make(1, 1, false);
    K->Learn("a", IntVec{0}, FloatVec{0.0});
    K->Learn("b", IntVec{0}, FloatVec{10.0});
    K->SetKNeighbors(3);
    Source.Rows = {{0, "a", {0}, {1.0}}, {1, "B", {0}, {9.0}}, {1, "b", {1}, {8.0}},
                   {0, "zz", {0}, {2.0}}, {1, "b", {0}, {7.0}}};
  }
  std::unique_ptr<TKNearestNeighbors> K;
  FakeSource Source;
};

}  // namespace

TEST_F(TKNearestNeighborsSource, SearchesEveryRecordAndReturnsToThePosition) {
  Source.Attach(*K);
  K->SetLeaveOneOut(0);  // plays no part here
  EXPECT_EQ(K->Classify(IntVec{0}, FloatVec{8.5}), 1);
  EXPECT_EQ(Source.Calls, (std::vector<std::string>{"push", "first", "index", "index", "index", "index", "index",
                                                    "last", "pop"}));
  EXPECT_EQ(Source.Position, 5u);
  ASSERT_EQ(K->Neighbors().size(), 3u);
  EXPECT_EQ(K->Neighbors()[0].ClassIndex, 1);
  EXPECT_EQ(K->Neighbors()[0].ExampleIndex, -1);
  EXPECT_DOUBLE_EQ(K->Neighbors()[0].Distance, std::sqrt(0.05 / 2));
  // A second search walks the source again.
  K->Classify(IntVec{0}, FloatVec{1.0});
  EXPECT_EQ(Source.Push, 2);
  EXPECT_EQ(Source.Next, 10);
  EXPECT_EQ(Source.Pop, 2);
}

TEST_F(TKNearestNeighborsSource, IndexEventTakesPrecedenceAndNamesUseClasses) {
  Source.Attach(*K, true, true);
  K->Classify(IntVec{0}, FloatVec{2.0});
  EXPECT_EQ(std::count(Source.Calls.begin(), Source.Calls.end(), "name"), 0);

  // By name: "B" finds class b regardless of case, the unknown "zz" is -1
  // and does not vote.
  K->SetOnIndexNextRecord(nullptr);
  K->SetKNeighbors(5);
  std::vector<double> Response(2);
  K->ClassifyResponse(IntVec{0}, FloatVec{2.0}, Response);
  EXPECT_EQ(Response, (std::vector<double>{1, 3}));
  std::vector<int32_t> Classes;
  for (const TKRecord& R : K->Neighbors()) Classes.push_back(R.ClassIndex);
  EXPECT_EQ(Classes, (std::vector<int32_t>{-1, 0, 1, 1, 1}));
}

TEST_F(TKNearestNeighborsSource, FirstAndLastRecordAreOptional) {
  Source.Attach(*K);
  K->SetOnFirstRecord(nullptr);
  K->SetOnLastRecord(nullptr);
  Source.Position = 3;
  K->Classify(IntVec{0}, FloatVec{2.0});
  EXPECT_EQ(Source.Calls, (std::vector<std::string>{"push", "index", "index", "pop"}));
  EXPECT_EQ(K->Neighbors().size(), 2u);
}

TEST_F(TKNearestNeighborsSource, MissingEventsAreReportedInOrder) {
  Source.Attach(*K);
  K->SetOnPushPosition(nullptr);
  EXPECT_EQ(MessageOf([&] { K->Classify(IntVec{0}, FloatVec{2.0}); }), "OnPushPosition event not assigned!");
  EXPECT_TRUE(Source.Calls.empty());

  FakeSource NoNext;
  NoNext.Attach(*K, false, false);
  K->SetOnIndexNextRecord(nullptr);
  EXPECT_EQ(MessageOf([&] { K->Classify(IntVec{0}, FloatVec{2.0}); }), "OnNextRecord events not assigned!");
  EXPECT_EQ(NoNext.Calls, (std::vector<std::string>{"push", "first"}));

  FakeSource NoPop;
  NoPop.Rows = Source.Rows;
  NoPop.Attach(*K);
  K->SetOnPopPosition(nullptr);
  EXPECT_EQ(MessageOf([&] { K->Classify(IntVec{0}, FloatVec{2.0}); }), "OnPopPosition event not assigned!");
  EXPECT_EQ(NoPop.Next, 5);
  EXPECT_EQ(NoPop.Last, 1);
  EXPECT_EQ(K->Neighbors().size(), 3u);
}

TEST_F(TKNearestNeighborsSource, ErrorMidwayEndsTheSearch) {
  Source.Attach(*K);
  Source.ThrowAtRow = 2;
  EXPECT_EQ(MessageOf([&] { K->Classify(IntVec{0}, FloatVec{2.0}); }), "source failed");
  EXPECT_EQ(Source.Push, 1);
  EXPECT_EQ(Source.First, 1);
  EXPECT_EQ(Source.Next, 3);
  EXPECT_EQ(Source.Last, 0);
  EXPECT_EQ(Source.Pop, 0);
  EXPECT_EQ(Source.Position, 2u);  // left where the error occurred
  EXPECT_EQ(K->Neighbors().size(), 2u);

  // An error from the distance (a record of the wrong length) as well.
  FakeSource Bad;
  Bad.Rows = Source.Rows;
  Bad.Attach(*K);
  K->SetOnIndexNextRecord([&](int32_t& C, std::span<int32_t>, std::span<double>, bool& IsLast) {
    ++Bad.Next;
    C = 0;
    IsLast = false;
    K->SetFloatAttributeCount(2);  // the work record no longer fits
  });
  EXPECT_EQ(MessageOf([&] { K->Classify(IntVec{0}, FloatVec{2.0}); }), "Length(FloatRecord) <> FloatAttributeCount!");
  EXPECT_EQ(Bad.Next, 1);
  EXPECT_EQ(Bad.Pop, 0);
}

TEST_F(TKNearestNeighborsSource, WorkRecordsStartAtZeroAndKeepUnwrittenValues) {
  std::vector<IntVec> Seen;
  int Calls = 0;
  K->SetOnPushPosition([](void*&, TObject*) {});
  K->SetOnPopPosition([](void*, TObject*) {});
  K->SetOnIndexNextRecord([&](int32_t& C, std::span<int32_t> D, std::span<double>, bool& IsLast) {
    Seen.emplace_back(D.begin(), D.end());
    if (Calls == 0) D[0] = 4;
    C = 0;
    IsLast = ++Calls == 3;
  });
  K->Classify(IntVec{0}, FloatVec{2.0});
  EXPECT_EQ(Seen, (std::vector<IntVec>{{0}, {4}, {4}}));
}

TEST_F(TKNearestNeighborsSource, LearnDataStoresTheSourcesRecords) {
  auto L = Make(1, 1, true);
  L->SetIndexesZeroBased(false);
  Source.Attach(*L);
  L->LearnData();
  EXPECT_EQ(L->ExampleCount(), 5);
  EXPECT_EQ(L->ClassNames(), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(L->Examples()[1].ClassIndex, 1);
  EXPECT_EQ(L->FloatSpans()[0].Max, 9.0);
}

// --- Published properties ------------------------------------------------------------

TEST(TKNearestNeighbors, PublishedPropertiesInOrder) {
  auto K = Make(1, 1);
  auto Names = [&] {
    TPropertyList List;
    K->DefineProperties(List);
    std::vector<std::string> Stored;
    for (const TPropertyInfo& P : List)
      if (!P.Stored || P.Stored(*K)) Stored.push_back(P.Name);
    return Stored;
  };
  const std::vector<std::string> Base{"IndexesZeroBased", "MissingDiscreteIndex", "MissingFloatValue",
                                      "AttributeCount",   "FloatAttributeCount",  "DiscreteAttributeCount"};
  auto Expected = [&](std::vector<std::string> Own) {
    std::vector<std::string> All = Base;
    All.insert(All.end(), Own.begin(), Own.end());
    return All;
  };
  EXPECT_EQ(Names(), Expected({"LeaveOneOut", "DistanceModel", "StoreExamples", "KNeighbors", "InternalPruning"}));
  K->Learn("x", IntVec{0}, FloatVec{0.0});
  FakeSource Source;
  Source.Attach(*K, true, true);
  EXPECT_EQ(Names(), Expected({"LeaveOneOut", "DistanceModel", "StoreExamples", "Classes.Strings", "KNeighbors",
                               "InternalPruning", "OnNameNextRecord", "OnIndexNextRecord", "OnFirstRecord",
                               "OnLastRecord", "OnPushPosition", "OnPopPosition"}));
}

TEST(TKNearestNeighbors, PropertyBlockRoundTrip) {
  auto K = Make(2, 3);
  K->SetDistanceModel(TDistanceModel::dmNorm2);
  K->SetKNeighbors(4);
  K->SetLeaveOneOut(7);
  K->SetInternalPruning(true);
  K->Learn("yes", IntVec{0, 0}, FloatVec{0, 0, 0});
  K->Learn("no", IntVec{0, 0}, FloatVec{0, 0, 0});
  TMemoryStream Stream;
  WriteComponent(Stream, *K);
  const std::string Bytes(Stream.Bytes().begin(), Stream.Bytes().end());
  EXPECT_EQ(Bytes.substr(0, 4), "TPF0");
  EXPECT_NE(Bytes.find("\x07" "dmNorm2"), std::string::npos);

  Stream.SetPosition(0);
  TKNearestNeighbors Copy(nullptr);
  ReadComponent(Stream, Copy);
  EXPECT_EQ(Copy.DistanceModel(), TDistanceModel::dmNorm2);
  EXPECT_EQ(Copy.KNeighbors(), 4);
  EXPECT_EQ(Copy.LeaveOneOut(), 7);
  EXPECT_TRUE(Copy.StoreExamples());
  EXPECT_TRUE(Copy.InternalPruning());
  EXPECT_EQ(Copy.DiscreteAttributeCount(), 2);
  EXPECT_EQ(Copy.FloatAttributeCount(), 3);
  EXPECT_EQ(Copy.ClassNames(), (std::vector<std::string>{"yes", "no"}));
}
