// TLinearClassifier, TLClassesList and TLClassesListItem: learning of counts,
// means and deviations (with the extended-precision exactness it needs), the
// discrete and float scores, the class response, NormalTable, the entropies,
// GaussIntersection and QuickSort.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>

#include "Classifier.h"
#include "Exceptions.h"
#include "TestSupport.h"

namespace {

using IntVec = std::vector<int32_t>;
using FloatVec = std::vector<double>;
constexpr double Tol = 5e-6;  // five decimals

TLClassesListItem& Item(TLinearClassifier& C, int32_t Index) {
  return *static_cast<TLClassesListItem*>(C.Classes()->GetData(Index));
}

// The worked example: discrete values 2, 2, 5 and float values 1, 2, 3.
std::unique_ptr<TLinearClassifier> WorkedExample() {
  auto C = MakeClassifier(1, 1);
  C->Learn("a", IntVec{2}, FloatVec{1});
  C->Learn("a", IntVec{2}, FloatVec{2});
  C->Learn("a", IntVec{5}, FloatVec{3});
  return C;
}

TFloatRecord Normal(double Mean, double StdDev) {
  TFloatRecord R;
  R.Mean = Mean;
  R.StdDev = StdDev;
  R.Count = 3;
  R.Enabled = true;
  R.Weight = 1.0;
  return R;
}

}  // namespace

TEST(TLinearClassifier, NewClassifier) {
  TLinearClassifier C(nullptr);
  EXPECT_EQ(C.TypeName(), "TLinearClassifier");
  EXPECT_FALSE(C.UsePriorProbability());
  EXPECT_EQ(C.RejectProbability(), 0.01);
  ASSERT_NE(C.Classes(), nullptr);
  EXPECT_EQ(C.Classes()->Owner(), &C);
  C.SetClasses(nullptr);
  EXPECT_NE(C.GetClasses(), nullptr);
}

TEST(TLinearClassifier, WorkedExampleResponse) {
  auto C = WorkedExample();
  const TFloatRecord& F = Item(*C, 0).Float()[0];
  EXPECT_EQ(F.Mean, 2.0);
  EXPECT_EQ(F.StdDev, 1.0);
  EXPECT_EQ(F.Count, 3);
  std::vector<double> R(1);
  C->ClassifyResponse(IntVec{5}, FloatVec{3}, R);
  EXPECT_NEAR(R[0], 0.55854, Tol);
  EXPECT_NEAR(R[0], (0.5 + 0.61708) / 2, 1e-7);
  // With the prior: discrete score (1+1)/(2+6), prior (3+1)/(1+3) = 1.
  C->SetUsePriorProbability(true);
  C->ClassifyResponse(IntVec{5}, FloatVec{3}, R);
  EXPECT_NEAR(R[0], (1.0 + 0.25 + 0.61708) / 2, 1e-7);
}

TEST(TLinearClassifier, SeparatesClasses) {
  auto C = MakeClassifier(1, 2);
  for (int i = 0; i < 20; ++i) {
    C->Learn("low", IntVec{i % 2}, FloatVec{1.0 + 0.1 * (i % 5), 10.0 - 0.2 * (i % 3)});
    C->Learn("high", IntVec{2 + i % 2}, FloatVec{5.0 + 0.1 * (i % 5), 20.0 + 0.2 * (i % 3)});
  }
  EXPECT_EQ(C->ClassName(C->Classify(IntVec{1}, FloatVec{1.2, 10.0})), "low");
  EXPECT_EQ(C->ClassName(C->Classify(IntVec{3}, FloatVec{5.1, 20.1})), "high");
  EXPECT_EQ(C->ClassName(C->Classify(IntVec{-1}, FloatVec{999, 20.2})), "high");
}

TEST(TLClassesListItem, DiscreteLearningCountsAndMode) {
  auto C = WorkedExample();
  const TDiscreteRecord& R = Item(*C, 0).Discrete()[0];
  EXPECT_EQ(R.ValueCount, 6);
  EXPECT_EQ(R.Counts.size(), 8u);
  EXPECT_EQ(R.Count, 3);
  EXPECT_EQ(R.Mode, 2);
  C->Learn("a", IntVec{9}, FloatVec{2});
  EXPECT_EQ(R.ValueCount, 10);
  EXPECT_EQ(R.Counts.size(), 20u);
  EXPECT_EQ(R.Counts[9], 1);
  EXPECT_EQ(R.Counts[12], 0);

  auto T = MakeClassifier(1, 0);
  T->Learn("a", IntVec{3}, FloatVec{});
  T->Learn("a", IntVec{1}, FloatVec{});
  EXPECT_EQ(Item(*T, 0).Discrete()[0].Mode, 3);  // a tie keeps the earlier mode
  T->Learn("a", IntVec{1}, FloatVec{});
  EXPECT_EQ(Item(*T, 0).Discrete()[0].Mode, 1);
}

TEST(TLClassesListItem, DiscreteScores) {
  auto C = WorkedExample();
  TLClassesListItem& I = Item(*C, 0);
  const TDiscreteRecord& R = I.Discrete()[0];
  EXPECT_EQ(I.DiscreteInformationGain(2, R), 1.0f);
  EXPECT_EQ(I.DiscreteInformationGain(5, R), 0.5f);
  EXPECT_EQ(I.DiscreteInformationGain(3, R), 0.0f);
  C->SetUsePriorProbability(true);
  EXPECT_EQ(I.DiscreteInformationGain(5, R), 0.25f);
  EXPECT_EQ(I.DiscreteInformationGain(3, R), 0.125f);
  C->SetUsePriorProbability(false);
  double W = -1;
  EXPECT_EQ(I.ClassifyDiscrete(IntVec{7}, W), 0.0);  // beyond ValueCount: 0, weight counts
  EXPECT_EQ(W, 1.0);
  EXPECT_EQ(I.ClassifyDiscrete(IntVec{-1}, W), 0.0);
  EXPECT_EQ(W, 0.0);
}

TEST(TLClassesListItem, FloatScoresOfWorkedExample) {
  const TFloatRecord R = Normal(2, 1);
  EXPECT_EQ(TLClassesListItem::FloatInformationGain(2.0f, R), 1.0f);
  EXPECT_NEAR(TLClassesListItem::FloatInformationGain(2.25f, R), 0.90448, Tol);  // 12.5 rounds to 12
  EXPECT_NEAR(TLClassesListItem::FloatInformationGain(3.0f, R), 0.61708, Tol);
  EXPECT_NEAR(TLClassesListItem::FloatInformationGain(1.0f, R), 0.61708, Tol);
  EXPECT_NEAR(TLClassesListItem::FloatInformationGain(4.0f, R), 0.31732, Tol);
  EXPECT_NEAR(TLClassesListItem::FloatInformationGain(5.0f, R), 0.13362, Tol);
  EXPECT_GT(TLClassesListItem::FloatInformationGain(7.99f, R), 0.0f);
  EXPECT_EQ(TLClassesListItem::FloatInformationGain(8.0f, R), 0.0f);
  EXPECT_EQ(TLClassesListItem::FloatInformationGain(1e30f, R), 0.0f);
  // Halves of 100 z round to even: 37.5 gives 38, 62.5 gives 62.
  EXPECT_EQ(TLClassesListItem::FloatInformationGain(2.75f, R), (1.0f - NormalTable[38]) * 2.0f);
  EXPECT_EQ(TLClassesListItem::FloatInformationGain(3.25f, R), (1.0f - NormalTable[62]) * 2.0f);
}

TEST(TLClassesListItem, ZeroDeviationScoresOnlyTheMean) {
  auto C = MakeClassifier(0, 3);
  C->Learn("a", IntVec{}, FloatVec{0.1, 2.0, 0.5});
  const auto& F = Item(*C, 0).Float();
  EXPECT_EQ(F[0].Mean, 0.1);
  EXPECT_EQ(F[0].StdDev, 0.0);
  // The record value reaches the score as a float: 0.1 no longer equals the mean.
  EXPECT_EQ(TLClassesListItem::FloatInformationGain(0.1f, F[0]), 0.0f);
  EXPECT_EQ(TLClassesListItem::FloatInformationGain(2.0f, F[1]), 1.0f);
  EXPECT_EQ(TLClassesListItem::FloatInformationGain(0.5f, F[2]), 1.0f);
  EXPECT_EQ(TLClassesListItem::FloatInformationGain(2.0001f, F[1]), 0.0f);
  // A float attribute never learned (mean 0, deviation 0) scores 1 for 0 only.
  TFloatRecord Never = Normal(0, 0);
  EXPECT_EQ(TLClassesListItem::FloatInformationGain(0.0f, Never), 1.0f);
  EXPECT_EQ(TLClassesListItem::FloatInformationGain(0.5f, Never), 0.0f);
}

TEST(TLClassesListItem, RepeatedValueKeepsMeanExactAndDeviationZero) {
  for (double V : {1.0, 0.1, 0.5, 0.7, -3.3, 1e-7, 123456.789}) {
    auto C = MakeClassifier(0, 1);
    for (int i = 0; i < 300; ++i) C->Learn("a", IntVec{}, FloatVec{V});
    const TFloatRecord& R = Item(*C, 0).Float()[0];
    EXPECT_EQ(R.Count, 300) << V;
    EXPECT_EQ(R.Mean, V) << V;
    EXPECT_EQ(R.StdDev, 0.0) << V;
    if (static_cast<double>(static_cast<float>(V)) == V) {
      std::vector<double> Response(1);
      C->ClassifyResponse(IntVec{}, FloatVec{V}, Response);
      EXPECT_EQ(Response[0], 1.0) << V;
    }
  }
}

TEST(TLClassesListItem, RunningStatisticsMatchDirectFormulas) {
  auto C = MakeClassifier(0, 1);
  const std::vector<double> Values = {3.5, -1.25, 8.0, 0.3, 2.2, 2.2, 7.75, -4.0};
  for (double V : Values) C->Learn("a", IntVec{}, FloatVec{V});
  const TFloatRecord& R = Item(*C, 0).Float()[0];
  const double M = Mean(Values);
  EXPECT_NEAR(R.Mean, M, 1e-14);
  EXPECT_NEAR(R.StdDev, StdDev(Values, M), 1e-14);
}

TEST(TLClassesListItem, MissingAndDisabledTakeNoPart) {
  auto C = WorkedExample();
  C->Learn("b", IntVec{2}, FloatVec{2});
  std::vector<double> R(2);
  const double NaN = std::numeric_limits<double>::quiet_NaN();
  for (bool Prior : {false, true}) {
    C->SetUsePriorProbability(Prior);
    EXPECT_EQ(C->ClassifyResponse(IntVec{-1}, FloatVec{NaN}, R), -1);
    EXPECT_EQ(R[0], 0.0);
    EXPECT_EQ(R[1], 0.0);
    EXPECT_EQ(C->ClassifyResponse(IntVec{-5}, FloatVec{999}, R), -1);
    EXPECT_EQ(R[1], 0.0);
  }
  C->SetUsePriorProbability(false);
  C->DisableAttributes();
  C->ClassifyResponse(IntVec{2}, FloatVec{2}, R);
  EXPECT_EQ(R[0], 0.0);
  C->EnableAttributes();
  // Disabled records are not learned either.
  C->FloatAttributeStateSet(0, false);
  C->Learn("b", IntVec{2}, FloatVec{50});
  EXPECT_EQ(Item(*C, 1).Float()[0].Count, 1);
  C->FloatAttributeStateSet(0, true);
  // A disabled class answers 0.
  Item(*C, 1).SetEnabled(false);
  C->ClassifyResponse(IntVec{2}, FloatVec{2}, R);
  EXPECT_EQ(R[1], 0.0);
  EXPECT_GT(R[0], 0.0);
}

TEST(TLClassesListItem, WrongLengthsAndValueCodes) {
  auto C = WorkedExample();
  TLClassesListItem& I = Item(*C, 0);
  double W = 0;
  EXPECT_EQ(MessageOf([&] { I.LearnDiscrete(IntVec{1, 2}); }), "Length(NewDiscreteRecord) <> Length(Discrete)!");
  EXPECT_EQ(MessageOf([&] { I.LearnFloat(FloatVec{}); }), "Length(NewFloatRecord) <> Length(Float)!");
  EXPECT_EQ(MessageOf([&] { I.ClassifyDiscrete(IntVec{}, W); }), "Length(Discrete) <> Length(DiscreteSource)!");
  EXPECT_EQ(MessageOf([&] { I.ClassifyFloat(FloatVec{1, 2}, W); }), "Length(Float) <> Length(FloatSource)!");
  EXPECT_EQ(MessageOf([&] { C->Classify(IntVec{1}, FloatVec{}); }), "Length(Float) <> Length(FloatSource)!");
  EXPECT_EQ(I.Discrete()[0].Count, 3);
  EXPECT_EQ(I.Float()[0].Count, 3);
  // A value code too large for the counts is refused before anything changes.
  EXPECT_EQ(MessageOf([&] { I.LearnDiscrete(IntVec{std::numeric_limits<int32_t>::max()}); }),
            "Discrete value 2147483647 out of range (0..16777215)");
  EXPECT_EQ(I.Discrete()[0].ValueCount, 6);
  EXPECT_EQ(I.Discrete()[0].Count, 3);
}

TEST(TLClassesListItem, NormalTable) {
  EXPECT_EQ(NormalTable[0], 0.5f);
  EXPECT_EQ(NormalTable[1], 0.50399f);
  EXPECT_EQ(NormalTable[50], 0.69146f);
  EXPECT_EQ(NormalTable[100], 0.84134f);
  EXPECT_EQ(NormalTable[196], 0.975f);
  EXPECT_EQ(NormalTable[200], 0.97725f);
  EXPECT_EQ(NormalTable[300], 0.99865f);
  for (size_t k = 1; k < NormalTable.size(); ++k) EXPECT_GE(NormalTable[k], NormalTable[k - 1]) << k;
  // Five-decimal rounding of the normal CDF.
  for (size_t k = 0; k < NormalTable.size(); ++k) {
    const double Exact = 0.5 * std::erfc(-static_cast<double>(k) / 100.0 / std::sqrt(2.0));
    EXPECT_NEAR(NormalTable[k], Exact, 5.0001e-6) << k;
  }
}

TEST(TLClassesList, GaussIntersection) {
  EXPECT_NEAR(TLClassesList::GaussIntersection(0, 1, 4, 1.5), 1.74971, Tol);
  EXPECT_NEAR(TLClassesList::GaussIntersection(0, 1, 10, 2), 3.47055, Tol);
  EXPECT_EQ(TLClassesList::GaussIntersection(0, 2, 4, 2), 2.0f);  // equal deviations: midpoint
  EXPECT_EQ(TLClassesList::GaussIntersection(3, 1, 3, 2), 3.0f);
}

TEST(TLClassesList, FloatEntropy) {
  auto C = MakeClassifier(0, 1);
  EXPECT_EQ(C->Classes()->FloatEntropy(0), 0.0);
  for (double V : {-1.0, 0.0, 1.0}) C->Learn("n01", IntVec{}, FloatVec{V});
  EXPECT_EQ(C->Classes()->FloatEntropy(0), 1.0);
  for (double V : {8.0, 10.0, 12.0}) C->Learn("n102", IntVec{}, FloatVec{V});
  EXPECT_NEAR(C->Classes()->FloatEntropy(0), 0.95376, Tol);
  EXPECT_EQ(MessageOf([&] { C->Classes()->FloatEntropy(1); }), "AttributeIndex > FloatCount-1");

  auto Z = MakeClassifier(0, 1);
  Z->Learn("a", IntVec{}, FloatVec{1});
  Z->Learn("b", IntVec{}, FloatVec{4});
  EXPECT_EQ(Z->Classes()->FloatEntropy(0), 1.0);  // zero deviations, different means
  auto E = MakeClassifier(0, 1);
  E->Learn("a", IntVec{}, FloatVec{4});
  E->Learn("b", IntVec{}, FloatVec{4});
  EXPECT_EQ(E->Classes()->FloatEntropy(0), 0.0);  // zero deviations, equal means
  // Equal positive deviations go through the midpoint rule without failing.
  auto Q = MakeClassifier(0, 1);
  for (double V : {-1.0, 0.0, 1.0}) Q->Learn("a", IntVec{}, FloatVec{V});
  for (double V : {3.0, 4.0, 5.0}) Q->Learn("b", IntVec{}, FloatVec{V});
  const double H = Q->Classes()->FloatEntropy(0);
  EXPECT_NEAR(H, 1.0 - (1.0 - 0.84134) * 2 / 2, Tol);  // both meet at 2: z = 1
}

TEST(TLClassesList, DiscreteEntropy) {
  auto C = MakeClassifier(1, 0);
  EXPECT_EQ(C->Classes()->DiscreteEntropy(0), 0.0);
  C->Learn("a", IntVec{-1}, FloatVec{});
  C->Learn("b", IntVec{-1}, FloatVec{});
  EXPECT_EQ(C->Classes()->DiscreteEntropy(0), 0.0);  // no value learned
  for (int i = 0; i < 3; ++i) {
    C->Learn("a", IntVec{0}, FloatVec{});
    C->Learn("b", IntVec{1}, FloatVec{});
  }
  EXPECT_EQ(C->Classes()->DiscreteEntropy(0), 1.0);
  auto S = MakeClassifier(1, 0);
  for (const char* N : {"a", "b"}) {
    S->Learn(N, IntVec{0}, FloatVec{});
    S->Learn(N, IntVec{1}, FloatVec{});
  }
  EXPECT_EQ(S->Classes()->DiscreteEntropy(0), 0.5);
  EXPECT_EQ(MessageOf([&] { S->Classes()->DiscreteEntropy(1); }), "AttributeIndex > DiscreteCount-1");
}

TEST(TLClassesList, QuickSort) {
  std::vector<TFloatRecord> A;
  for (double M : {5.0, -1.0, 3.0, 3.0, 9.0, 0.0, -7.5, 3.0}) A.push_back(Normal(M, 0));
  TLClassesList::QuickSort(A, 0, static_cast<int32_t>(A.size()) - 1);
  for (size_t i = 1; i < A.size(); ++i) EXPECT_LE(A[i - 1].Mean, A[i].Mean);
  EXPECT_EQ(A.front().Mean, -7.5);
  std::vector<TFloatRecord> Empty;
  TLClassesList::QuickSort(Empty, 0, -1);
  std::vector<TFloatRecord> Part = {Normal(3, 0), Normal(2, 0), Normal(1, 0)};
  TLClassesList::QuickSort(Part, 1, 2);
  EXPECT_EQ(Part[0].Mean, 3.0);
  EXPECT_EQ(Part[1].Mean, 1.0);
  EXPECT_THROW(TLClassesList::QuickSort(Part, 0, 3), EListError);
}

TEST(TLClassesListItem, WeightedResponsesFollowTheFormula) {
  auto M = MakeClassifier(3, 2);
  for (int i = 0; i < 4; ++i) M->Learn("a", IntVec{i % 2, 2, i}, FloatVec{1.0 + i, 3.0 * i});
  TLClassesListItem& I = Item(*M, 0);
  const IntVec D{1, 2, 3};
  const FloatVec F{2.5, 4.0};
  // Reference: each score times its weight, summed in extended precision.
  auto Expected = [&](double& Wd, double& Wf) {
    long double Sd = 0, Sf = 0, Ld = 0, Lf = 0;
    for (size_t k = 0; k < D.size(); ++k) {
      const TDiscreteRecord& R = I.Discrete()[k];
      Sd = static_cast<double>(Sd + static_cast<long double>(I.DiscreteInformationGain(D[k], R)) * R.Weight);
      Ld = static_cast<double>(Ld + R.Weight);
    }
    for (size_t k = 0; k < F.size(); ++k) {
      const TFloatRecord& R = I.Float()[k];
      Sf = static_cast<double>(Sf + static_cast<long double>(TLClassesListItem::FloatInformationGain(
                                        static_cast<float>(F[k]), R)) * R.Weight);
      Lf = static_cast<double>(Lf + R.Weight);
    }
    Wd = static_cast<double>(Ld);
    Wf = static_cast<double>(Lf);
    return static_cast<double>((Sd + Sf) / (Ld + Lf));
  };
  // All weights 1, then a non-unit weight in the middle and at the start.
  for (int Round = 0; Round < 3; ++Round) {
    if (Round == 1) {
      I.EditDiscrete()[1].Weight = 0.3;
      I.EditFloat()[1].Weight = 2.5;
    }
    if (Round == 2) {
      I.EditDiscrete()[0].Weight = 1e-3;
      I.EditFloat()[0].Weight = 7.0 / 3.0;
    }
    double Wd = 0, Wf = 0, ExpWd = 0, ExpWf = 0;
    const double Want = Expected(ExpWd, ExpWf);
    I.ClassifyDiscrete(D, Wd);
    I.ClassifyFloat(F, Wf);
    EXPECT_EQ(Wd, ExpWd) << Round;
    EXPECT_EQ(Wf, ExpWf) << Round;
    EXPECT_EQ(I.Classify(D, F), Want) << Round;
  }
}

// The float score against the formula evaluated literally in extended
// precision, over random and near-tie arguments.
TEST(TLClassesListItem, FloatScoreMatchesExtendedFormula) {
  auto Reference = [](float X, const TFloatRecord& R) -> float {
    if (R.StdDev == 0.0) return static_cast<double>(X) == R.Mean ? 1.0f : 0.0f;
    const float z = static_cast<float>(std::fabs(static_cast<long double>(X) - R.Mean) /
                                       (2.0L * static_cast<long double>(R.StdDev)));
    if (!(z < 3.0f)) return 0.0f;
    const auto k = static_cast<size_t>(std::nearbyint(static_cast<long double>(z) * 100.0L));
    return static_cast<float>((1.0L - NormalTable[k]) * 2.0L);
  };
  std::mt19937_64 Rng(7);
  std::uniform_real_distribution<double> Mean(-10, 10), Dev(1e-3, 5), Value(-20, 20);
  for (int i = 0; i < 200000; ++i) {
    const TFloatRecord R = Normal(Mean(Rng), Dev(Rng));
    const auto X = static_cast<float>(Value(Rng));
    ASSERT_EQ(TLClassesListItem::FloatInformationGain(X, R), Reference(X, R)) << X << " " << R.Mean << " " << R.StdDev;
  }
  // Where the rounding of z shows: 100 z a half (z = 0.125, 0.375, ...), and
  // the quotient just above the float midpoint next to it, where a double
  // quotient would round onto the midpoint and then to the even z below.
  int Checked = 0;
  for (float z0 = 0.125f; z0 < 3.0f; z0 += 0.25f) {
    const double Mid = (static_cast<double>(z0) + std::nextafter(z0, 4.0f)) / 2;
    for (int i = 0; i < 2000; ++i) {
      const double Sd = Dev(Rng);
      const TFloatRecord R = Normal(-Mid * 2 * Sd, Sd);
      ASSERT_EQ(TLClassesListItem::FloatInformationGain(0.0f, R), Reference(0.0f, R)) << z0 << " " << Sd;
      ++Checked;
    }
  }
  EXPECT_EQ(Checked, 12 * 2000);
}
