// The k-NN search against a brute-force reference written from the
// documented distance: every stored example measured with extended-precision
// terms and a running sum rounded to double, a stable sort, the first K.
// Random models mix discrete and float attributes, missing values,
// duplicates and near ties, switched-off attributes, every K from 1 to past
// the stored count, a skipped example, further learning between queries and
// a clone made through the model stream; neighbours, distances and votes
// must agree bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Classifier.h"
#include "TestSupport.h"

namespace {

using IntVec = std::vector<int32_t>;
using FloatVec = std::vector<double>;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

double ReferenceDistance(const TKNearestNeighbors& K, const TExampleRecord& E, const IntVec& QD,
                         const FloatVec& QF) {
  const bool Norm2 = K.DistanceModel() == TDistanceModel::dmNorm2;
  double S = 0.0;
  int32_t Compared = 0;
  for (size_t i = 0; i < QF.size(); ++i) {
    if (!K.FloatParams()[i].Enabled || K.IsMissingFloat(QF[i]) || K.IsMissingFloat(E.FloatValues[i])) continue;
    const long double D = static_cast<long double>(E.FloatValues[i]) - static_cast<long double>(QF[i]);
    const long double Scale = K.FloatSpans()[i].Scale;
    const long double Term = Norm2 ? (D * Scale) * (D * Scale) : std::fabs(D) * Scale;
    S = static_cast<double>(static_cast<long double>(S) + Term);
    ++Compared;
  }
  int32_t Differences = 0;
  for (size_t i = 0; i < QD.size(); ++i) {
    if (!K.DiscreteParams()[i].Enabled || K.IsMissingDiscrete(QD[i]) || K.IsMissingDiscrete(E.DiscreteValues[i]))
      continue;
    ++Compared;
    if (E.DiscreteValues[i] != QD[i]) ++Differences;
  }
  const double T = static_cast<double>(static_cast<long double>(S) + Differences);
  if (!(T > 0.0)) return 0.0;
  return static_cast<double>(std::sqrt(static_cast<long double>(T) / static_cast<long double>(Compared)));
}

// The neighbour list the search must produce, from K's stored examples and
// scales (Classify has brought the scales up to date).
std::vector<TKRecord> ReferenceNeighbors(const TKNearestNeighbors& K, const IntVec& QD, const FloatVec& QF) {
  std::vector<TKRecord> All;
  for (int32_t i = 0; i < K.ExampleCount(); ++i) {
    if (i == K.LeaveOneOut()) continue;
    const TExampleRecord& E = K.Examples()[static_cast<size_t>(i)];
    All.push_back({ReferenceDistance(K, E, QD, QF), E.ClassIndex, i});
  }
  std::stable_sort(All.begin(), All.end(), [](const TKRecord& A, const TKRecord& B) { return A.Distance < B.Distance; });
  All.resize(std::min(All.size(), static_cast<size_t>(K.KNeighbors())));
  return All;
}

bool SameBits(double A, double B) { return std::memcmp(&A, &B, sizeof A) == 0; }

// Classifies (QD, QF) with K and checks the list, the votes and the answer.
void ExpectReferenceSearch(TKNearestNeighbors& K, const IntVec& QD, const FloatVec& QF, const std::string& Where) {
  std::vector<double> Response(static_cast<size_t>(K.Classes().Count()), -1.0);
  const int32_t Answer = K.ClassifyResponse(QD, QF, Response);
  const std::vector<TKRecord> Expected = ReferenceNeighbors(K, QD, QF);
  ASSERT_EQ(K.Neighbors().size(), Expected.size()) << Where;
  for (size_t r = 0; r < Expected.size(); ++r) {
    ASSERT_EQ(K.Neighbors()[r].ExampleIndex, Expected[r].ExampleIndex) << Where << ", rank " << r;
    ASSERT_TRUE(SameBits(K.Neighbors()[r].Distance, Expected[r].Distance))
        << Where << ", rank " << r << ": " << K.Neighbors()[r].Distance << " vs " << Expected[r].Distance;
    ASSERT_EQ(K.Neighbors()[r].ClassIndex, Expected[r].ClassIndex) << Where;
  }
  std::vector<double> Votes(Response.size(), 0.0);
  for (const TKRecord& R : Expected) Votes[static_cast<size_t>(R.ClassIndex)] += 1.0;
  size_t Best = 0;
  for (size_t c = 1; c < Votes.size(); ++c)
    if (Votes[c] > Votes[Best]) Best = c;
  EXPECT_EQ(Response, Votes) << Where;
  EXPECT_EQ(Answer, static_cast<int32_t>(Best)) << Where;
  EXPECT_EQ(K.Classify(QD, QF), Answer) << Where;
}

// Values drawn from small sets, so duplicates, exact ties and ties that
// differ in the last bit are common; some missing under either missing value.
class TRandomCases {
public:
  explicit TRandomCases(uint32_t Seed) : FRng(Seed) {}

  int32_t Pick(int32_t Lo, int32_t Hi) { return std::uniform_int_distribution<int32_t>(Lo, Hi)(FRng); }

  IntVec Discrete(int32_t Count) {
    IntVec D(static_cast<size_t>(Count));
    for (int32_t& V : D) {
      const int32_t R = Pick(0, 19);
      V = R == 0 ? -1 : R == 1 ? 7 : Pick(0, 3);  // 7 is made the missing code in some rounds
    }
    return D;
  }

  FloatVec Float(int32_t Count) {
    static const double Base[] = {0.0, 1.0, 0.1, 0.7, -2.5, 3.0, 1e-3, 250.0, 999.0, 0.3};
    FloatVec F(static_cast<size_t>(Count));
    for (double& V : F) {
      const int32_t R = Pick(0, 39);
      if (R == 0)
        V = NaN;
      else if (R == 1)
        V = -Inf;
      else if (R < 6)
        V = std::uniform_real_distribution<double>(-5.0, 5.0)(FRng);
      else {
        V = Base[Pick(0, 9)];
        if (R < 12) V = std::nextafter(V, R % 2 ? Inf : -Inf);  // a near tie
      }
    }
    return F;
  }

private:
  std::mt19937 FRng;
};

std::vector<uint8_t> Save(const TClassifier& C) {
  TMemoryStream S;
  C.SaveToStream(S);
  return S.Bytes();
}

}  // namespace

TEST(TKNearestNeighbors, SearchMatchesBruteForceReference) {
  for (uint32_t Seed = 1; Seed <= 24; ++Seed) {
    TRandomCases Cases(Seed);
    const int32_t D = Cases.Pick(0, 6);
    const int32_t F = Cases.Pick(D == 0 ? 1 : 0, 6);
    auto K = MakeClassifier<TKNearestNeighbors>(D, F);
    K->SetStoreExamples(true);
    K->SetDistanceModel(Seed % 2 ? TDistanceModel::dmNorm1 : TDistanceModel::dmNorm2);
    if (Seed % 3 == 0) K->SetMissingDiscreteIndex(7);
    if (Seed % 4 == 0) K->SetMissingFloatValue("250");
    const int32_t Learned = Cases.Pick(0, 90) + (Seed % 5 == 0 ? 400 : 0);
    for (int32_t i = 0; i < Learned; ++i) K->LearnIndex(Cases.Pick(0, 4), Cases.Discrete(D), Cases.Float(F));
    for (int32_t i = 0; i < 6 && K->ExampleCount() > 0; ++i) {  // exact duplicates
      const TExampleRecord E = K->Examples()[static_cast<size_t>(Cases.Pick(0, K->ExampleCount() - 1))];
      K->LearnIndex(E.ClassIndex, E.DiscreteValues, E.FloatValues);
    }
    for (int32_t Round = 0; Round < 12; ++Round) {
      const std::string Where = "seed " + std::to_string(Seed) + ", round " + std::to_string(Round);
      const int32_t Count = K->ExampleCount();
      K->SetKNeighbors(Round == 0 ? Count + 3 : Round == 1 ? 1 : Cases.Pick(1, std::max(1, Count + 2)));
      K->SetLeaveOneOut(Round % 4 == 3 ? Cases.Pick(-1, Count) : -1);
      if (Round == 5 && D > 0) K->DiscreteAttributeStateSet(Cases.Pick(0, D - 1), false);
      if (Round == 6 && F > 0) K->FloatAttributeStateSet(Cases.Pick(0, F - 1), false);
      if (Round == 7) K->SetDistanceModel(TDistanceModel::dmNorm2);
      if (Round == 8) K->SetMissingFloatValue("NAN");
      if (Round == 9) K->SetExampleCount(Count / 2);  // then learned again below
      // A query, and a stored example as a query (distance 0 to itself).
      ExpectReferenceSearch(*K, Cases.Discrete(D), Cases.Float(F), Where);
      if (HasFatalFailure()) return;
      if (K->ExampleCount() > 0) {
        const TExampleRecord E = K->Examples()[static_cast<size_t>(Cases.Pick(0, K->ExampleCount() - 1))];
        ExpectReferenceSearch(*K, E.DiscreteValues, E.FloatValues, Where + ", stored query");
        if (HasFatalFailure()) return;
      }
      // Learning between queries: new examples and wider ranges.
      for (int32_t i = Cases.Pick(0, 30); i > 0; --i) K->LearnIndex(Cases.Pick(0, 5), Cases.Discrete(D), Cases.Float(F));
    }
  }
}

TEST(TKNearestNeighbors, SearchOfManyExamplesMatchesReference) {
  // Thousands of examples with K far below the count: nearly every
  // candidate falls behind the list, the case the search is quickest at;
  // the near ties must still be found.
  for (TDistanceModel Model : {TDistanceModel::dmNorm1, TDistanceModel::dmNorm2}) {
    TRandomCases Cases(Model == TDistanceModel::dmNorm1 ? 101 : 102);
    auto K = MakeClassifier<TKNearestNeighbors>(5, 9);
    K->SetStoreExamples(true);
    K->SetDistanceModel(Model);
    for (int32_t i = 0; i < 3000; ++i) K->LearnIndex(Cases.Pick(0, 7), Cases.Discrete(5), Cases.Float(9));
    for (int32_t Query = 0; Query < 40; ++Query) {
      K->SetKNeighbors(Query % 3 == 0 ? 1 : Query % 3 == 1 ? 10 : 57);
      K->SetLeaveOneOut(Query % 5 == 0 ? Cases.Pick(0, K->ExampleCount() - 1) : -1);
      ExpectReferenceSearch(*K, Cases.Discrete(5), Cases.Float(9), "query " + std::to_string(Query));
      if (HasFatalFailure()) return;
      K->LearnIndex(Cases.Pick(0, 7), Cases.Discrete(5), Cases.Float(9));
    }
  }
}

TEST(TKNearestNeighbors, CloneThroughStreamSearchesAlike) {
  TRandomCases Cases(55);
  auto A = MakeClassifier<TKNearestNeighbors>(4, 5);
  A->SetStoreExamples(true);
  A->SetKNeighbors(7);
  A->SetDistanceModel(TDistanceModel::dmNorm2);
  for (int32_t i = 0; i < 700; ++i) A->LearnIndex(Cases.Pick(0, 4), Cases.Discrete(4), Cases.Float(5));
  A->FloatAttributeStateSet(2, false);
  TKNearestNeighbors B(nullptr);
  {
    TMemoryStream S(Save(*A));
    B.LoadFromStream(S);
  }
  for (int32_t Query = 0; Query < 60; ++Query) {
    const IntVec QD = Cases.Discrete(4);
    const FloatVec QF = Cases.Float(5);
    std::vector<double> RA(static_cast<size_t>(A->Classes().Count())), RB(RA.size());
    ASSERT_EQ(A->ClassifyResponse(QD, QF, RA), B.ClassifyResponse(QD, QF, RB));
    ASSERT_EQ(RA, RB);
    ASSERT_EQ(A->Neighbors().size(), B.Neighbors().size());
    for (size_t r = 0; r < A->Neighbors().size(); ++r) {
      ASSERT_EQ(A->Neighbors()[r].ExampleIndex, B.Neighbors()[r].ExampleIndex);
      ASSERT_TRUE(SameBits(A->Neighbors()[r].Distance, B.Neighbors()[r].Distance));
    }
    ExpectReferenceSearch(B, QD, QF, "clone, query " + std::to_string(Query));
    if (HasFatalFailure()) return;
    if (Query % 10 == 9) {  // both learn the same, and still agree
      const IntVec LD = Cases.Discrete(4);
      const FloatVec LF = Cases.Float(5);
      A->LearnIndex(1, LD, LF);
      B.LearnIndex(1, LD, LF);
    }
  }
}

TEST(TKNearestNeighbors, SearchAfterCountChangeStillFailsAtTheFirstOldExample) {
  // Examples stored before an attribute count changed keep their lengths:
  // the search offers those before the first of them, then fails.
  auto K = MakeClassifier<TKNearestNeighbors>(1, 1);
  K->SetStoreExamples(true);
  K->SetKNeighbors(3);
  K->LearnIndex(0, IntVec{1}, FloatVec{2.0});
  K->SetFloatAttributeCount(2);
  K->LearnIndex(0, IntVec{1}, FloatVec{2.0, 3.0});
  EXPECT_EQ(MessageOf([&] { K->Classify(IntVec{1}, FloatVec{2.0, 3.0}); }), "Length(FloatRecord) <> FloatAttributeCount!");
  // Dropping the old example makes the store searchable again.
  K->SetLeaveOneOut(0);
  EXPECT_EQ(K->Classify(IntVec{1}, FloatVec{2.0, 3.0}), 0);
  ASSERT_EQ(K->Neighbors().size(), 1u);
  EXPECT_EQ(K->Neighbors()[0].ExampleIndex, 1);
  K->SetLeaveOneOut(-1);
  K->SetExampleCount(0);
  K->LearnIndex(0, IntVec{1}, FloatVec{2.0, 5.0});
  EXPECT_EQ(K->Classify(IntVec{1}, FloatVec{2.0, 3.0}), 0);
  EXPECT_EQ(K->Neighbors().size(), 1u);
}
