// Attribute quality and pruning (TClassifier, TLinearClassifier): the order
// of the measurements, the choice between forward and backward result, the
// prior flag of the linear classifier, the missing-handler and bad-list
// errors and the quicksort of the ratings. The measurement is scripted: a
// score per set of enabled attributes, and a log of every set measured.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Classifier.h"
#include "Exceptions.h"
#include "TestSupport.h"

namespace {


// The enabled attributes as a bit mask (attribute k is bit k).
unsigned EnabledMask(const TClassifier& C) {
  unsigned Mask = 0;
  for (int32_t k = 0; k < C.AttributeCount(); ++k)
    if (C.GetAttributeEnabled(k)) Mask |= 1u << k;
  return Mask;
}

// A linear classifier with D discrete and F float attributes and one class,
// so the attribute switches exist, measured by a scripted handler.
struct Scripted {
  std::unique_ptr<TLinearClassifier> C = std::make_unique<TLinearClassifier>(nullptr);
  std::map<unsigned, double> Scores;  // by enabled mask; others score Default
  double Default = 0.0;
  double PriorPenalty = 0.0;          // subtracted when the prior is on
  std::vector<unsigned> Log;
  std::vector<bool> PriorLog;

  // The measured rating of the base; through a TLinearClassifier reference
  // the entropy rating would apply.
  TClassifier& Base() { return *C; }

  Scripted(int32_t D, int32_t F) {
    C->SetDiscreteAttributeCount(D);
    C->SetFloatAttributeCount(F);
    C->Classes()->Add("a");
    C->SetOnClassifyTest([this](TObject* Sender, double& Succes) {
      EXPECT_EQ(Sender, C.get());
      const unsigned Mask = EnabledMask(*C);
      Log.push_back(Mask);
      PriorLog.push_back(C->UsePriorProbability());
      auto It = Scores.find(Mask);
      Succes = (It == Scores.end() ? Default : It->second) - (C->UsePriorProbability() ? PriorPenalty : 0.0);
    });
  }
};

// Attributes 0, 1, 2 alone score 60, 80, 70; the pair {1, 2} is best.
void ScriptExample(Scripted& S) {
  S.Scores = {{0b001, 60}, {0b010, 80}, {0b100, 70}, {0b110, 90}, {0b111, 84}};
  S.Default = 50;
}

TEST(TClassifierPruning, ExampleOrderOfMeasurements) {
  Scripted S(2, 1);  // attribute 2 is the float one
  ScriptExample(S);
  std::vector<TIndexRecord> List(3);
  S.Base().AttributeQuality(List);
  ASSERT_EQ(S.Log, (std::vector<unsigned>{0b001, 0b010, 0b100}));
  EXPECT_EQ(List[0].Index, 0);
  EXPECT_EQ(List[1].Index, 2);
  EXPECT_EQ(List[2].Index, 1);
  EXPECT_DOUBLE_EQ(List[2].Quality, 80);
  EXPECT_EQ(EnabledMask(*S.C), 0u);  // the rating leaves everything off

  S.Log.clear();
  EXPECT_DOUBLE_EQ(S.C->PrePrune(List), 90);
  // Forward from the strongest: tries 1, then 2 (kept), then 0 (dropped).
  EXPECT_EQ(S.Log, (std::vector<unsigned>{0b010, 0b110, 0b111}));
  EXPECT_EQ(EnabledMask(*S.C), 0b110u);

  S.Log.clear();
  EXPECT_DOUBLE_EQ(S.C->PostPrune(List), 90);
  // Backward from the weakest: all, then without 0 (kept off), without 2, without 1.
  EXPECT_EQ(S.Log, (std::vector<unsigned>{0b111, 0b110, 0b010, 0b100}));
  EXPECT_EQ(EnabledMask(*S.C), 0b110u);
}

TEST(TClassifierPruning, PruneCostsThreeMeasurementsPerAttributePlusOne) {
  Scripted S(2, 1);
  ScriptExample(S);
  EXPECT_DOUBLE_EQ(S.C->Prune(), 90);
  EXPECT_EQ(S.Log.size(), 10u);
  EXPECT_EQ(EnabledMask(*S.C), 0b110u);
}

TEST(TClassifierPruning, ForwardWinSwitchesTheLinearPriorOff) {
  Scripted S(2, 1);
  ScriptExample(S);
  S.PriorPenalty = 10;  // the backward pass measures with the prior and scores lower
  S.C->SetUsePriorProbability(true);
  EXPECT_DOUBLE_EQ(S.C->Prune(), 90);
  EXPECT_FALSE(S.C->UsePriorProbability());
  EXPECT_EQ(EnabledMask(*S.C), 0b110u);
  // Rating and forward pass without the prior, the backward pass with it.
  const std::vector<bool> Expected = {false, false, false, false, false, false, true, true, true, true};
  EXPECT_EQ(S.PriorLog, Expected);
}

TEST(TClassifierPruning, BackwardWinKeepsTheLinearPrior) {
  Scripted S(2, 1);
  ScriptExample(S);
  S.Scores[0b111] = 95;  // everything on is best: the forward pass cannot reach it
  S.C->SetUsePriorProbability(true);
  EXPECT_DOUBLE_EQ(S.C->Prune(), 95);
  EXPECT_TRUE(S.C->UsePriorProbability());
  EXPECT_EQ(EnabledMask(*S.C), 0b111u);
}

TEST(TClassifierPruning, ForwardWinRestoresItsSelection) {
  Scripted S(3, 0);
  // Forward: tries 2 (90, kept), then 1 ({1,2} 50, dropped), then 0 ({0,2} 50, dropped).
  // Backward from all (60) only gains by dropping 2 ({0,1} 70): the forward set wins.
  S.Scores = {{0b001, 10}, {0b010, 20}, {0b100, 90}, {0b111, 60}, {0b110, 50}, {0b101, 50}, {0b011, 70}};
  EXPECT_DOUBLE_EQ(S.C->Prune(), 90);
  EXPECT_EQ(EnabledMask(*S.C), 0b100u);
}

TEST(TClassifierPruning, ConstantMeasure) {
  Scripted S(2, 2);
  S.Default = 42;
  std::vector<TIndexRecord> List(4);
  S.Base().AttributeQuality(List);
  EXPECT_DOUBLE_EQ(S.C->PrePrune(List), 42);
  // Only the first attribute tried, the last of the sorted list, stays on.
  EXPECT_EQ(EnabledMask(*S.C), 1u << List[3].Index);
  EXPECT_DOUBLE_EQ(S.C->PostPrune(List), 42);
  EXPECT_EQ(EnabledMask(*S.C), 0b1111u);
  EXPECT_DOUBLE_EQ(S.C->Prune(), 42);
  EXPECT_EQ(EnabledMask(*S.C), 0b1111u);  // equal scores keep the backward result
}

TEST(TClassifierPruning, ZeroMeasureSelectsNothingForward) {
  Scripted S(2, 1);
  std::vector<TIndexRecord> List(3);
  S.Base().AttributeQuality(List);
  EXPECT_DOUBLE_EQ(S.C->PrePrune(List), 0);
  EXPECT_EQ(EnabledMask(*S.C), 0u);
}

TEST(TClassifierPruning, NoAttributesMeasureOnce) {
  Scripted S(0, 0);
  S.Default = 12.5;
  EXPECT_DOUBLE_EQ(S.C->Prune(), 12.5);
  EXPECT_EQ(S.Log.size(), 1u);
}

TEST(TClassifierPruning, MissingHandlerRaisesBeforeAnySwitchMoves) {
  for (bool Internal : {false, true}) {
    Scripted S(2, 1);
    S.C->SetOnClassifyTest({});
    S.C->SetInternalPruning(Internal);
    S.C->SetAttributeEnabled(1, false);
    S.C->SetUsePriorProbability(true);
    std::vector<TIndexRecord> List(3);
    for (int k = 0; k < 3; ++k) List[static_cast<size_t>(k)].Index = k;
    EXPECT_EQ(MessageOf([&] { S.C->Prune(); }), "OnClassifyTeset = nil");
    EXPECT_EQ(MessageOf([&] { S.Base().AttributeQuality(List); }), "OnClassifyTeset = nil");
    EXPECT_EQ(MessageOf([&] { S.C->PrePrune(List); }), "OnClassifyTeset = nil");
    EXPECT_EQ(MessageOf([&] { S.C->PostPrune(List); }), "OnClassifyTeset = nil");
    EXPECT_EQ(EnabledMask(*S.C), 0b101u);
    EXPECT_TRUE(S.C->UsePriorProbability());
  }
}

TEST(TClassifierPruning, ShortListIsRejectedBeforeAnySwitchMoves) {
  Scripted S(2, 1);
  std::vector<TIndexRecord> List(2);
  EXPECT_EQ(MessageOf([&] { S.Base().AttributeQuality(List); }), "Length(AttributeList) < AttributeCount");
  EXPECT_EQ(MessageOf([&] { S.C->PrePrune(List); }), "Length(AttributeList) < AttributeCount");
  EXPECT_EQ(MessageOf([&] { S.C->PostPrune(List); }), "Length(AttributeList) < AttributeCount");
  EXPECT_EQ(EnabledMask(*S.C), 0b111u);
  EXPECT_TRUE(S.Log.empty());
}

TEST(TClassifierPruning, MeasurementErrorPropagatesAndLeavesStateAsItWas) {
  Scripted S(2, 1);
  S.C->SetUsePriorProbability(true);
  int Calls = 0;
  S.C->SetOnClassifyTest([&](TObject*, double&) {
    if (++Calls == 2) throw Exception("test failed");
  });
  EXPECT_EQ(MessageOf([&] { S.C->Prune(); }), "test failed");
  // Raised while attribute 1 alone was on, measured without the prior.
  EXPECT_EQ(EnabledMask(*S.C), 0b010u);
  EXPECT_FALSE(S.C->UsePriorProbability());
}

// A classifier whose own test is scripted, to see which measurement is used.
class TOwnTestClassifier : public TLinearClassifier {
public:
  using TLinearClassifier::TLinearClassifier;
  double ClassifyTest() override {
    ++Calls;
    return 100.0 - EnabledMask(*this);
  }
  int Calls = 0;
};

TEST(TClassifierPruning, InternalPruningMeasuresWithClassifyTest) {
  TOwnTestClassifier C(nullptr);
  C.SetDiscreteAttributeCount(2);
  C.Classes()->Add("a");
  int HandlerCalls = 0;
  C.SetOnClassifyTest([&](TObject*, double& S) {
    ++HandlerCalls;
    S = 0;
  });
  C.SetInternalPruning(true);
  C.Prune();
  EXPECT_EQ(HandlerCalls, 0);
  EXPECT_EQ(C.Calls, 7);
}

TEST(TClassifierPruning, KNearestNeighborsPrunesWithLeaveOneOut) {
  TKNearestNeighbors C(nullptr);
  C.SetDiscreteAttributeCount(2);
  C.SetStoreExamples(true);
  // Attribute 0 decides the class, attribute 1 is noise.
  for (int32_t i = 0; i < 40; ++i) {
    const std::vector<int32_t> D = {i % 2, (i * 7 / 3) % 3};
    C.LearnIndex(i % 2, D, std::vector<double>{});
  }
  C.SetOnClassifyTest([](TObject*, double&) { FAIL() << "the handler must not measure"; });
  C.SetInternalPruning(true);
  EXPECT_DOUBLE_EQ(C.Prune(), 100.0);
  EXPECT_TRUE(C.GetAttributeEnabled(0));
}

TEST(TClassifierSortIndexRecord, SortsAscendingInPlace) {
  std::vector<TIndexRecord> A = {{5, 0}, {1, 1}, {4, 2}, {1, 3}, {9, 4}, {0, 5}};
  TClassifier::SortIndexRecord(A, 0, 5);
  for (size_t i = 1; i < A.size(); ++i) EXPECT_LE(A[i - 1].Quality, A[i].Quality);
  EXPECT_EQ(A.front().Index, 5);
  EXPECT_EQ(A.back().Index, 4);
}

TEST(TClassifierSortIndexRecord, SortsOnlyTheRange) {
  std::vector<TIndexRecord> A = {{9, 0}, {3, 1}, {2, 2}, {1, 3}, {0, 4}};
  TClassifier::SortIndexRecord(A, 1, 3);
  EXPECT_EQ(A[0].Index, 0);
  EXPECT_EQ(A[1].Index, 3);
  EXPECT_EQ(A[3].Index, 1);
  EXPECT_EQ(A[4].Index, 4);
}

TEST(TClassifierSortIndexRecord, EmptyRangeAndBadRange) {
  std::vector<TIndexRecord> A = {{2, 0}, {1, 1}};
  TClassifier::SortIndexRecord(A, 1, 0);
  EXPECT_EQ(A[0].Index, 0);
  TClassifier::SortIndexRecord(std::span<TIndexRecord>{}, 0, -1);
  EXPECT_THROW(TClassifier::SortIndexRecord(A, 0, 2), EListError);
  EXPECT_THROW(TClassifier::SortIndexRecord(A, -1, 1), EListError);
}

TEST(TClassifierSortIndexRecord, NaNQualitiesStayInsideTheArray) {
  const double NaN = std::numeric_limits<double>::quiet_NaN();
  std::vector<TIndexRecord> A = {{NaN, 0}, {3, 1}, {NaN, 2}, {1, 3}, {NaN, 4}, {2, 5}, {NaN, 6}};
  TClassifier::SortIndexRecord(A, 0, 6);
  std::vector<bool> Seen(7);
  for (const TIndexRecord& R : A) Seen[static_cast<size_t>(R.Index)] = true;
  for (bool S : Seen) EXPECT_TRUE(S);
}

TEST(TLinearClassifierAttributeQuality, RanksByEntropyWithoutTouchingSwitches) {
  TLinearClassifier C(nullptr);
  C.SetDiscreteAttributeCount(2);
  C.SetFloatAttributeCount(1);
  C.SetUsePriorProbability(true);
  // Discrete 0 separates the classes, discrete 1 does not, the float partly.
  for (int i = 0; i < 20; ++i) {
    const std::string Class = i % 2 ? "b" : "a";
    const std::vector<int32_t> D = {i % 2, i % 3 == 0};
    const std::vector<double> F = {(i % 2) * 1.0 + (i % 5) * 0.4};
    C.Learn(Class, D, F);
  }
  C.SetAttributeEnabled(1, false);
  std::vector<TIndexRecord> List(3);
  C.AttributeQuality(List);
  EXPECT_EQ(List[2].Index, 0);
  EXPECT_DOUBLE_EQ(List[2].Quality, C.Classes()->DiscreteEntropy(0));
  bool FloatSeen = false;
  for (const TIndexRecord& R : List) {
    if (R.Index == 2) {
      FloatSeen = true;
      EXPECT_DOUBLE_EQ(R.Quality, C.Classes()->FloatEntropy(0));
    }
  }
  EXPECT_TRUE(FloatSeen);
  EXPECT_LE(List[0].Quality, List[1].Quality);
  EXPECT_EQ(EnabledMask(C), 0b101u);
  EXPECT_TRUE(C.UsePriorProbability());

  std::vector<TIndexRecord> Wrong(4);
  EXPECT_EQ(MessageOf([&] { C.AttributeQuality(Wrong); }), "Length(AttributeList) <> AttributeCount");
  EXPECT_DOUBLE_EQ(Wrong[0].Quality, 0);
}

}  // namespace
