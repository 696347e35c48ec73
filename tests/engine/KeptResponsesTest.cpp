// Responses of the statistic classifiers computed from what they keep of the
// learned state, against each class item's own Classify (which computes
// every factor and score from the records), bit for bit: on random models
// of several shapes, through further learning and through every kind of
// change the kept state must follow. Also: classifying allocates nothing.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "AllocationCounter.h"
#include "Classifier.h"
#include "Exceptions.h"
#include "Stream.h"
#include "TestSupport.h"


namespace {

using IntVec = std::vector<int32_t>;
using FloatVec = std::vector<double>;

struct TShape {
  int32_t Classes;
  int32_t Discrete;
  int32_t Float;
  int32_t Values;  // value codes 0 .. Values-1 while learning
};

// A classifier of type T learning and classifying random records. Discrete
// values are sometimes missing (-1 or the MissingDiscreteIndex code 13, which
// then is never a value), floats sometimes 999, NaN or infinite, and often
// one of a few exact values, so that deviations of 0 occur.
template <class T>
struct TRandomModel {
  TRandomModel(const TShape& AShape, uint32_t Seed) : Shape(AShape), Rng(Seed) { C = Make(); }

  std::unique_ptr<T> Make() const {
    auto New = MakeClassifier<T>(Shape.Discrete, Shape.Float);
    New->SetMissingDiscreteIndex(13);
    return New;
  }

  int32_t Uniform(int32_t Lo, int32_t Hi) { return std::uniform_int_distribution<int32_t>(Lo, Hi)(Rng); }

  IntVec DiscreteRecord(int32_t Values) {
    IntVec D(static_cast<size_t>(Shape.Discrete));
    for (int32_t& v : D) {
      const int32_t Roll = Uniform(0, 19);
      v = Roll == 0 ? -1 : Roll == 1 ? 13 : Uniform(0, Values - 1);
      if (v == 13 && Roll != 1) v = 12;
    }
    return D;
  }

  FloatVec FloatRecord(int32_t Class) {
    FloatVec F(static_cast<size_t>(Shape.Float));
    for (size_t j = 0; j < F.size(); ++j) {
      const int32_t Roll = Uniform(0, 29);
      if (Roll == 0)
        F[j] = 999.0;
      else if (Roll == 1)
        F[j] = std::numeric_limits<double>::quiet_NaN();
      else if (Roll == 2)
        F[j] = -std::numeric_limits<double>::infinity();
      else if (Roll < 10)
        F[j] = Roll % 2 ? 0.5 : 2.0;
      else
        F[j] = std::normal_distribution<double>(Class * 0.3 + static_cast<double>(j) * 0.1, 1.0 + j % 3)(Rng);
    }
    return F;
  }

  void Learn(int32_t Cases, int32_t Values) {
    for (int32_t n = 0; n < Cases; ++n) {
      const int32_t Class = Uniform(0, Shape.Classes - 1);
      C->LearnIndex(Class, DiscreteRecord(Values), FloatRecord(Class));
    }
  }

  // The responses of Model's ClassifyResponse and of its items' Classify to
  // Queries random records, compared bit for bit, and Classify's decision
  // against the one the item responses give.
  void ExpectItemResponses(const std::string& Stage, int32_t Queries = 20) { ExpectResponsesOf(*C, *C, Stage, Queries); }

  void ExpectResponsesOf(T& Model, T& Reference, const std::string& Stage, int32_t Queries) {
    for (int32_t q = 0; q < Queries; ++q) {
      const IntVec D = DiscreteRecord(Shape.Values + 3);  // some codes no class has reached
      const FloatVec F = FloatRecord(Uniform(0, Shape.Classes));
      ExpectResponsesTo(Model, Reference, Stage + ": query " + std::to_string(q), D, F);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }

  void ExpectResponsesTo(T& Model, T& Reference, const std::string& Stage, const IntVec& D, const FloatVec& F) {
    const auto Classes = static_cast<size_t>(Reference.Classes()->Count());
    ASSERT_EQ(static_cast<size_t>(Model.Classes()->Count()), Classes) << Stage;
    std::vector<double> Response(Classes);
    Model.ClassifyResponse(D, F, Response);
    float Best = 0.0f;
    int32_t BestIndex = 0;
    for (size_t k = 0; k < Classes; ++k) {
      const double Expected = Reference.Classes()->GetData(static_cast<int32_t>(k))->Classify(D, F);
      ASSERT_EQ(std::bit_cast<uint64_t>(Response[k]), std::bit_cast<uint64_t>(Expected))
          << Stage << ", class " << k << ": " << Response[k] << " instead of " << Expected;
      if (static_cast<float>(Expected) > Best) {
        Best = static_cast<float>(Expected);
        BestIndex = static_cast<int32_t>(k);
      }
    }
    const int32_t Expected = static_cast<double>(Best) < Model.RejectProbability() ? -1 : BestIndex;
    ASSERT_EQ(Model.Classify(D, F), Expected) << Stage;
  }

  // Learning one case at a time with a few classifications after each.
  void ExpectWhileLearning(const std::string& Stage, int32_t Cases, int32_t Values) {
    for (int32_t n = 0; n < Cases; ++n) {
      Learn(1, Values);
      ExpectItemResponses(Stage + ", case " + std::to_string(n), 3);
    }
  }

  // A copy read back from the model stream. The stream holds no learned-case
  // counts, so the copy's priors are all equal: it classifies as its own
  // items do, and as the original does where no prior enters the response
  // (the linear classifier without UsePriorProbability).
  void ExpectLoadedCopy(const std::string& Stage) {
    TMemoryStream Out;
    C->SaveToStream(Out);
    auto Copy = Make();
    TMemoryStream In(Out.Bytes());
    Copy->LoadFromStream(In);
    ExpectResponsesOf(*Copy, *Copy, Stage + " (loaded copy)", 20);
    // A copy made with Assign carries the learned-case counts as well (one
    // classifier per thread is made so): it answers as the original does.
    auto Assigned = Make();
    Assigned->Assign(*C);
    ExpectResponsesOf(*Assigned, *C, Stage + " (assigned copy against the original)", 20);
    if constexpr (std::is_same_v<T, TLinearClassifier>) {
      const bool Prior = C->UsePriorProbability();
      C->SetUsePriorProbability(false);
      Copy->SetUsePriorProbability(false);
      ExpectResponsesOf(*Copy, *C, Stage + " (loaded copy against the original)", 20);
      C->SetUsePriorProbability(Prior);
    }
  }

  TShape Shape;
  std::mt19937 Rng;
  std::unique_ptr<T> C;
};

const TShape BayesShapes[] = {{1, 1, 0, 3}, {3, 4, 2, 6}, {20, 15, 15, 10}, {6, 40, 0, 12}, {9, 2, 1, 40}};

TEST(TNaiveBayes, KeptFactorsGiveTheItemsResponsesThroughLearningAndChanges) {
  uint32_t Seed = 7;
  for (const TShape& Shape : BayesShapes) {
    SCOPED_TRACE("classes " + std::to_string(Shape.Classes) + ", discrete " + std::to_string(Shape.Discrete));
    TRandomModel<TNaiveBayes> R(Shape, Seed++);
    TNaiveBayes& B = *R.C;
    R.ExpectItemResponses("no classes");
    R.Learn(60, Shape.Values);
    R.ExpectItemResponses("learned");
    R.ExpectWhileLearning("learning", 40, Shape.Values);
    R.Learn(1, Shape.Values + 20);  // value codes far beyond the others
    R.ExpectItemResponses("wider values");
    B.SetM(7);
    R.ExpectItemResponses("M 7");
    B.SetM(2);
    R.ExpectItemResponses("M 2");
    B.DiscreteAttributeStateSet(0, false);
    R.ExpectItemResponses("attribute 0 off");
    R.ExpectWhileLearning("learning, attribute 0 off", 10, Shape.Values);
    B.DiscreteAttributeStateSet(0, true);
    R.ExpectItemResponses("attribute 0 on");
    B.Classes()->GetData(0)->SetEnabled(false);
    R.ExpectItemResponses("class 0 off");
    B.Classes()->GetData(0)->SetEnabled(true);
    // Counts edited through the writable view (Totals then follow on request).
    std::vector<int32_t>& Counts = B.Classes()->GetData(B.Classes()->Count() - 1)->EditDiscrete()[0].Counts;
    if (Counts.size() > 1) Counts[1] += 5;
    R.ExpectItemResponses("counts edited");
    B.Classes()->InvalidateTotals();
    R.ExpectItemResponses("Totals summed again");
    const bool WasOn = B.SuspendPrior();
    R.ExpectItemResponses("prior suspended");
    B.RestorePrior(WasOn);
    B.SetMissingDiscreteIndex(2);
    R.ExpectItemResponses("missing code 2");
    B.SetMissingDiscreteIndex(13);
    R.ExpectLoadedCopy("saved");
    if (B.Classes()->Count() > 1) {
      B.Classes()->Delete(1);
      R.ExpectItemResponses("class 1 deleted");
      R.ExpectWhileLearning("learning after the deletion", 10, Shape.Values);
    }
    B.SoftReset();
    R.ExpectItemResponses("soft reset");
    R.ExpectWhileLearning("learning after the soft reset", 10, Shape.Values);
    B.Reset();
    R.ExpectItemResponses("reset");
    R.Learn(30, Shape.Values);
    R.ExpectItemResponses("learned after the reset");
    B.Clear();
    R.ExpectItemResponses("cleared");
    R.Learn(30, Shape.Values);
    R.ExpectItemResponses("learned after clearing");
    R.ExpectLoadedCopy("saved again");
  }
}

const TShape LinearShapes[] = {{1, 1, 0, 3}, {1, 0, 2, 3}, {3, 4, 2, 6},   {20, 15, 15, 10},
                               {4, 2, 3, 40}, {5, 3, 300, 4}, {2, 300, 1, 3}};

TEST(TLinearClassifier, KeptScoresGiveTheItemsResponsesThroughLearningAndChanges) {
  uint32_t Seed = 11;
  for (const TShape& Shape : LinearShapes) {
    SCOPED_TRACE("classes " + std::to_string(Shape.Classes) + ", discrete " + std::to_string(Shape.Discrete) +
                 ", float " + std::to_string(Shape.Float));
    TRandomModel<TLinearClassifier> R(Shape, Seed++);
    TLinearClassifier& L = *R.C;
    R.ExpectItemResponses("no classes");
    R.Learn(60, Shape.Values);
    R.ExpectItemResponses("learned");
    R.ExpectWhileLearning("learning", 40, Shape.Values);
    R.Learn(1, Shape.Values + 20);
    R.ExpectItemResponses("wider values");
    for (const bool Prior : {true, false, true}) {
      L.SetUsePriorProbability(Prior);
      R.ExpectItemResponses(Prior ? "prior on" : "prior off");
    }
    R.ExpectWhileLearning("learning with the prior", 10, Shape.Values);
    const bool WasOn = L.SuspendPrior();
    R.ExpectItemResponses("prior suspended");
    if (Shape.Discrete > 0) {
      L.DiscreteAttributeStateSet(0, false);
      R.ExpectItemResponses("discrete attribute 0 off");
      L.DiscreteAttributeStateSet(0, true);
    }
    if (Shape.Float > 0) {
      L.FloatAttributeStateSet(0, false);
      R.ExpectItemResponses("float attribute 0 off");
      R.ExpectWhileLearning("learning, float attribute 0 off", 5, Shape.Values);
      L.FloatAttributeStateSet(0, true);
    }
    L.RestorePrior(WasOn);
    R.ExpectItemResponses("prior restored");
    L.Classes()->GetData(0)->SetEnabled(false);
    R.ExpectItemResponses("class 0 off");
    L.Classes()->GetData(0)->SetEnabled(true);
    // A weight other than 1 and a count above the mode's take a class out
    // of the plain sums.
    TClassesListItem& Last = *L.Classes()->GetData(L.Classes()->Count() - 1);
    if (Shape.Discrete > 0) {
      Last.EditDiscrete()[0].Weight = 0.5;
      R.ExpectItemResponses("weight 0.5");
      Last.EditDiscrete()[0].Weight = 1.0;
      TDiscreteRecord& Rec = Last.EditDiscrete()[0];
      if (Rec.ValueCount > 1) {
        Rec.Counts[Rec.Mode == 0 ? 1 : 0] = Rec.Counts[Rec.Mode] + 3;
        R.ExpectItemResponses("count above the mode");
      }
    }
    if (Shape.Float > 0) {
      Last.EditFloat()[0].Weight = 3.0;
      R.ExpectItemResponses("float weight 3");
      Last.ResetWeights();
      R.ExpectItemResponses("weights reset");
    }
    R.ExpectLoadedCopy("saved");
    if (L.Classes()->Count() > 1) {
      L.Classes()->Delete(0);
      R.ExpectItemResponses("class 0 deleted");
      R.ExpectWhileLearning("learning after the deletion", 10, Shape.Values);
    }
    L.SoftReset();
    R.ExpectItemResponses("soft reset");
    R.ExpectWhileLearning("learning after the soft reset", 10, Shape.Values);
    L.Reset();
    R.ExpectItemResponses("reset");
    L.Clear();
    R.Learn(30, Shape.Values);
    R.ExpectItemResponses("learned after clearing");
    R.ExpectLoadedCopy("saved again");
  }
}

// Value codes far beyond the others: the kept rows and scores stop at a
// bound, and the codes above it are computed when they occur.
TEST(TNaiveBayes, KeptFactorsGiveTheItemsResponsesForValueCodesBeyondTheKeptRows) {
  TRandomModel<TNaiveBayes> R({8, 8, 0, 6}, 21);
  R.Learn(200, 6);
  const int32_t Wide[] = {40000, 35000, 33000};
  for (int32_t n = 0; n < 30; ++n) {
    IntVec D = R.DiscreteRecord(6);
    D[0] = Wide[n % 2];
    R.C->LearnIndex(2 + 3 * (n % 2), D, FloatVec{});
  }
  for (const int32_t Code : {40000, 35000, 33000, 5, 50000, 39999}) {
    for (int32_t q = 0; q < 5; ++q) {
      IntVec D = R.DiscreteRecord(9);
      D[0] = Code;
      R.ExpectResponsesTo(*R.C, *R.C, "code " + std::to_string(Code), D, FloatVec{});
    }
  }
}

TEST(TLinearClassifier, KeptScoresGiveTheItemsResponsesForValueCodesBeyondTheKeptScores) {
  TRandomModel<TLinearClassifier> R({3, 2, 1, 4}, 22);
  R.Learn(60, 4);
  for (const int32_t Code : {600000, 600000, 550000, 3}) R.C->LearnIndex(1, IntVec{Code, 1}, FloatVec{0.5});
  for (const bool Prior : {false, true}) {
    R.C->SetUsePriorProbability(Prior);
    for (const int32_t Code : {600000, 550000, 524289, 3, 700000})
      R.ExpectResponsesTo(*R.C, *R.C, "code " + std::to_string(Code), IntVec{Code, 2}, FloatVec{0.5});
  }
}

// A record of the wrong length is refused with the items' messages.
TEST(TLinearClassifier, KeptScoresRefuseRecordsOfTheWrongLengthAsTheItemsDo) {
  TRandomModel<TLinearClassifier> R({3, 2, 2, 4}, 5);
  R.Learn(20, 4);
  std::vector<double> Response(3);
  EXPECT_EQ(MessageOf([&] { R.C->ClassifyResponse(IntVec{1}, FloatVec{1.0, 2.0}, Response); }),
            "Length(Discrete) <> Length(DiscreteSource)!");
  EXPECT_EQ(MessageOf([&] { R.C->ClassifyResponse(IntVec{1, 2}, FloatVec{1.0}, Response); }),
            "Length(Float) <> Length(FloatSource)!");
  // With every class switched off no record is read.
  for (int32_t k = 0; k < 3; ++k) R.C->Classes()->GetData(k)->SetEnabled(false);
  EXPECT_EQ(R.C->ClassifyResponse(IntVec{1}, FloatVec{}, Response), -1);
  EXPECT_EQ(Response, std::vector<double>(3, 0.0));
}

TEST(TNaiveBayes, KeptFactorsRefuseRecordsOfTheWrongLengthAsTheItemsDo) {
  TRandomModel<TNaiveBayes> R({3, 2, 0, 4}, 5);
  R.Learn(20, 4);
  std::vector<double> Response(3);
  EXPECT_EQ(MessageOf([&] { R.C->ClassifyResponse(IntVec{1, 2, 3}, FloatVec{}, Response); }),
            "Length(Discrete) <> Length(DiscreteSource)!");
}

// Allocations made by Count classifications of the model, once it has
// classified one record.
template <class T>
long long AllocationsWhileClassifying(TRandomModel<T>& R, int32_t Count) {
  std::vector<IntVec> D;
  std::vector<FloatVec> F;
  for (int32_t q = 0; q < Count; ++q) {
    D.push_back(R.DiscreteRecord(R.Shape.Values + 3));
    F.push_back(R.FloatRecord(q % R.Shape.Classes));
  }
  std::vector<double> Response(static_cast<size_t>(R.C->Classes()->Count()));
  R.C->Classify(D[0], F[0]);
  R.C->ClassifyResponse(D[0], F[0], Response);
  const long long Before = AllocationCount();
  int64_t Sum = 0;
  for (int32_t q = 0; q < Count; ++q) {
    Sum += R.C->Classify(D[static_cast<size_t>(q)], F[static_cast<size_t>(q)]);
    Sum += R.C->ClassifyResponse(D[static_cast<size_t>(q)], F[static_cast<size_t>(q)], Response);
  }
  const long long After = AllocationCount();
  EXPECT_NE(Sum, std::numeric_limits<int64_t>::min());  // keeps the loop
  return After - Before;
}

TEST(TNaiveBayes, ClassifyingAllocatesNothing) {
  TRandomModel<TNaiveBayes> R({20, 15, 0, 10}, 3);
  R.Learn(2000, 10);
  EXPECT_EQ(AllocationsWhileClassifying(R, 500), 0);
}

TEST(TLinearClassifier, ClassifyingAllocatesNothing) {
  TRandomModel<TLinearClassifier> R({20, 15, 15, 10}, 3);
  R.Learn(2000, 10);
  EXPECT_EQ(AllocationsWhileClassifying(R, 500), 0);
  R.C->SetUsePriorProbability(true);
  R.C->Classes()->GetData(0)->EditDiscrete()[0].Weight = 2.0;  // one class summed the extended way
  EXPECT_EQ(AllocationsWhileClassifying(R, 500), 0);
}

}  // namespace
