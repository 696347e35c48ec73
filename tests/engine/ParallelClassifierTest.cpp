// Copies of a classifier and several threads over one batch must give the
// very responses of the classifier alone, row for row and bit for bit.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "Classifier.h"
#include "ClassifierUnit.h"
#include "ParallelClassifier.h"
#include "TestSupport.h"

namespace {

constexpr int32_t Discrete = 4;
constexpr int32_t Float = 3;
constexpr int32_t Values = 5;
constexpr int32_t Classes = 4;

struct TRecords {
  std::vector<int32_t> D;
  std::vector<double> F;
  std::vector<int32_t> Class;
};

// Rows whose attributes lean on the class, with missing values of both kinds.
TRecords RandomRecords(size_t Rows, uint32_t Seed) {
  std::mt19937 Random(Seed);
  std::uniform_int_distribution<int32_t> ClassOf(0, Classes - 1), Noise(0, Values - 1), Percent(0, 99);
  std::normal_distribution<double> Gauss(0.0, 1.0);
  TRecords R;
  for (size_t I = 0; I < Rows; ++I) {
    const int32_t C = ClassOf(Random);
    R.Class.push_back(C);
    for (int32_t A = 0; A < Discrete; ++A)
      R.D.push_back(Percent(Random) < 8 ? -1 : Percent(Random) < 60 ? (C + A) % Values : Noise(Random));
    for (int32_t A = 0; A < Float; ++A)
      R.F.push_back(Percent(Random) < 8 ? std::nan("") : C * (A + 1) + Gauss(Random));
  }
  return R;
}

std::span<const int32_t> DiscreteRow(const TRecords& R, size_t Row) {
  return std::span(R.D).subspan(Row * Discrete, Discrete);
}
std::span<const double> FloatRow(const TRecords& R, size_t Row) {
  return std::span(R.F).subspan(Row * Float, Float);
}

enum class TKind { Linear, Bayes, NeighborsNorm1, NeighborsNorm2 };

// A learned classifier with a setting other than the constructor's
// (RejectProbability 0) and one attribute of each kind off.
std::unique_ptr<TClassifier> Learned(TKind Kind, uint32_t Seed) {
  std::unique_ptr<TClassifier> C;
  switch (Kind) {
    case TKind::Linear: {
      auto LC = std::make_unique<TLinearClassifier>(nullptr);
      LC->SetRejectProbability(0.0);
      // The prior reads the learned-case counts, which no model stream holds.
      LC->SetUsePriorProbability(true);
      C = std::move(LC);
      break;
    }
    case TKind::Bayes: {
      auto NB = std::make_unique<TNaiveBayes>(nullptr);
      NB->SetRejectProbability(0.0);
      NB->SetM(3);
      C = std::move(NB);
      break;
    }
    case TKind::NeighborsNorm1:
    case TKind::NeighborsNorm2: {
      auto KNN = std::make_unique<TKNearestNeighbors>(nullptr);
      KNN->SetStoreExamples(true);
      KNN->SetKNeighbors(5);
      KNN->SetDistanceModel(Kind == TKind::NeighborsNorm1 ? TDistanceModel::dmNorm1 : TDistanceModel::dmNorm2);
      C = std::move(KNN);
      break;
    }
  }
  C->SetMissingFloatValue("NAN");
  C->SetDiscreteAttributeCount(Discrete);
  C->SetFloatAttributeCount(Float);
  const TRecords R = RandomRecords(400, Seed);
  for (size_t Row = 0; Row < R.Class.size(); ++Row) C->LearnIndex(R.Class[Row], DiscreteRow(R, Row), FloatRow(R, Row));
  C->DiscreteAttributeStateSet(1, false);
  C->FloatAttributeStateSet(2, false);
  return C;
}

std::string KindName(const ::testing::TestParamInfo<TKind>& Info) {
  static const char* const Names[] = {"Linear", "Bayes", "NeighborsNorm1", "NeighborsNorm2"};
  return Names[static_cast<int>(Info.param)];
}

class ParallelClassifier : public ::testing::TestWithParam<TKind> {
protected:
  // The copies are made through the class registry.
  void SetUp() override { InitializeClassifierUnit(); }
  void TearDown() override { FinalizeClassifierUnit(); }
};

}  // namespace

TEST_P(ParallelClassifier, CopyRespondsBitForBitAndStaysApart) {
  const std::unique_ptr<TClassifier> Source = Learned(GetParam(), 7);
  const std::unique_ptr<TClassifier> Copy = CopyClassifier(*Source);
  ASSERT_EQ(Copy->TypeName(), Source->TypeName());
  ASSERT_EQ(Copy->ClassCount(), Source->ClassCount());
  // A setting the stream leaves out by its default rule is copied all the same.
  if (const auto* Statistic = dynamic_cast<const TStatisticClassifier*>(Copy.get())) {
    EXPECT_EQ(Statistic->RejectProbability(), 0.0);
  }

  const TRecords Queries = RandomRecords(300, 8);
  std::vector<double> Expected(static_cast<size_t>(Source->ClassCount()));
  std::vector<double> Got(Expected.size());
  auto RespondAlike = [&] {
    for (size_t Row = 0; Row < Queries.Class.size(); ++Row) {
      const int32_t P = Source->ClassifyResponse(DiscreteRow(Queries, Row), FloatRow(Queries, Row), Expected);
      const int32_t Q = Copy->ClassifyResponse(DiscreteRow(Queries, Row), FloatRow(Queries, Row), Got);
      ASSERT_EQ(P, Q) << "row " << Row;
      for (size_t K = 0; K < Expected.size(); ++K)
        ASSERT_EQ(std::bit_cast<uint64_t>(Expected[K]), std::bit_cast<uint64_t>(Got[K]))
            << "row " << Row << " class " << K << ": " << Expected[K] << " vs " << Got[K];
    }
  };
  RespondAlike();

  // The copy owns its model: what it learns does not reach the source.
  const std::unique_ptr<TClassifier> Twin = CopyClassifier(*Source);
  const TRecords More = RandomRecords(50, 9);
  for (size_t Row = 0; Row < More.Class.size(); ++Row)
    Copy->LearnIndex((More.Class[Row] + 1) % Classes, DiscreteRow(More, Row), FloatRow(More, Row));
  const int32_t Row0 = Source->ClassifyResponse(DiscreteRow(Queries, 0), FloatRow(Queries, 0), Expected);
  const int32_t TwinRow0 = Twin->ClassifyResponse(DiscreteRow(Queries, 0), FloatRow(Queries, 0), Got);
  EXPECT_EQ(Row0, TwinRow0);
  EXPECT_EQ(Expected, Got);
}

TEST_P(ParallelClassifier, GuessesInRecordOrderForEveryBatchAndThreadCount) {
  const std::unique_ptr<TClassifier> Source = Learned(GetParam(), 11);
  const TRecords Queries = RandomRecords(1001, 12);
  std::vector<int32_t> Alone;
  for (size_t Row = 0; Row < Queries.Class.size(); ++Row)
    Alone.push_back(Source->Classify(DiscreteRow(Queries, Row), FloatRow(Queries, Row)));

  for (const int32_t Threads : {1, 2, 3, 8}) {
    TParallelClassifier Parallel(*Source, Threads);
    EXPECT_EQ(Parallel.Threads(), Threads);
    // Fewer rows than a thread's share, uneven slices, the whole batch.
    for (const size_t Rows : {size_t{0}, size_t{1}, size_t{63}, size_t{130}, size_t{1001}}) {
      std::vector<int32_t> Guesses(Rows, -7);
      Parallel.Classify(std::span(Queries.D).first(Rows * Discrete), std::span(Queries.F).first(Rows * Float),
                        Guesses);
      EXPECT_TRUE(std::equal(Guesses.begin(), Guesses.end(), Alone.begin()))
          << Threads << " threads, " << Rows << " rows";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Classifiers, ParallelClassifier,
                         ::testing::Values(TKind::Linear, TKind::Bayes, TKind::NeighborsNorm1,
                                           TKind::NeighborsNorm2),
                         KindName);

TEST(TParallelClassifier, RefusesBatchesWhoseSizesDisagree) {
  const std::unique_ptr<TClassifier> Source = Learned(TKind::Linear, 3);
  TParallelClassifier Parallel(*Source, 1);
  std::vector<int32_t> D(2 * Discrete), Guesses(2);
  std::vector<double> F(2 * Float - 1);
  EXPECT_EQ(MessageOf([&] { Parallel.Classify(D, F, Guesses); }), "Record batch sizes do not match");
  std::vector<double> FullF(2 * Float);
  EXPECT_EQ(MessageOf([&] { Parallel.Classify(std::span(D).first(Discrete), FullF, Guesses); }),
            "Record batch sizes do not match");
}

TEST(TParallelClassifier, AClassifierReadingTheTableStaysOnOneThread) {
  // Without stored examples k-NN reads the outside data through handlers,
  // which only the caller's thread may call.
  TKNearestNeighbors KNN(nullptr);
  KNN.SetStoreExamples(false);
  KNN.SetDiscreteAttributeCount(1);
  ASSERT_TRUE(KNN.ReadsRecordsWhileClassifying());
  TParallelClassifier Parallel(KNN, 4);
  EXPECT_EQ(Parallel.Threads(), 1);
}

TEST(TClassifier, AssignTakesOnlyItsOwnClass) {
  const std::unique_ptr<TClassifier> Bayes = Learned(TKind::Bayes, 4);
  TLinearClassifier LC(nullptr);
  EXPECT_EQ(MessageOf([&] { LC.Assign(*Bayes); }), "Cannot assign a TNaiveBayes to a TLinearClassifier");
}

TEST(CopyClassifier, NeedsTheClassRegistered) {
  const std::unique_ptr<TClassifier> Source = Learned(TKind::Bayes, 5);
  EXPECT_EQ(MessageOf([&] { CopyClassifier(*Source); }), "Class TNaiveBayes not found");
}
