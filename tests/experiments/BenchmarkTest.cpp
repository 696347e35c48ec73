// The linear classifier's speed measurement: settings, runs and their texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Benchmark.h"
#include "Exceptions.h"
#include "PseudoRandom.h"

TEST(TPseudoRandom, FollowsItsRecurrence) {
  TPseudoRandom R(1);
  // state 1 -> 1 x 134775813 + 1 = 134775814; draw below 10 = upper bits of state x 10.
  EXPECT_EQ(R.Below(10), static_cast<uint32_t>((134775814ULL * 10) >> 32));
  EXPECT_EQ(R.State(), 134775814u);
  for (int I = 0; I < 10000; ++I) ASSERT_LT(R.Below(7), 7u);
  EXPECT_EQ(R.Below(0), 0u);
}

TEST(TPseudoRandom, DrawsEveryValue) {
  TPseudoRandom R(12345);
  std::vector<int> Seen(20, 0);
  for (int I = 0; I < 20000; ++I) ++Seen[R.Below(20)];
  for (int Count : Seen) EXPECT_GT(Count, 800);
}

TEST(TLinearBenchmark, StartsWithThePageSettings) {
  TLinearBenchmark Bench;
  const TLinearClassifier& C = Bench.LinearClassifier();
  EXPECT_TRUE(C.IndexesZeroBased());
  EXPECT_EQ(C.MissingDiscreteIndex(), -1);
  EXPECT_EQ(C.MissingFloatValue(), "999");
  EXPECT_EQ(C.DiscreteAttributeCount(), 25);
  EXPECT_EQ(C.FloatAttributeCount(), 25);
  EXPECT_EQ(C.AttributeCount(), 50);
  EXPECT_DOUBLE_EQ(C.RejectProbability(), 0.01);
  EXPECT_FALSE(C.UsePriorProbability());
  EXPECT_EQ(C.Classes()->Count(), 0);
}

TEST(TLinearBenchmark, LearnReportsEveryThousandAndTheTotal) {
  TLinearBenchmark Bench;
  Bench.SetSeed(42);
  Bench.LinearClassifier().SetDiscreteAttributeCount(3);
  Bench.LinearClassifier().SetFloatAttributeCount(2);
  std::vector<std::string> Progress;
  Bench.SetOnProgress([&](const std::string& Text) { Progress.push_back(Text); });
  const TBenchmarkRun Run = Bench.Learn(5, 2500);
  EXPECT_EQ(Progress, (std::vector<std::string>{"Learned cases = 0", "Learned cases = 1000", "Learned cases = 2000"}));
  EXPECT_EQ(Run.Cases, 2500);
  EXPECT_EQ(Run.CountText, "Learned cases = 2500");
  EXPECT_EQ(Run.TimeText.rfind("Time: 00:", 0), 0u);
  EXPECT_NE(Run.RateText.find(" Cases/second"), std::string::npos);
  const TLinearClassifier& C = Bench.LinearClassifier();
  ASSERT_EQ(C.Classes()->Count(), 5);
  int32_t Learned = 0;
  for (int32_t K = 0; K < 5; ++K) Learned += C.Classes()->GetData(K)->LearnedCases();
  EXPECT_EQ(Learned, 2500);
}

TEST(TLinearBenchmark, ClassifyNeedsTheLearnedClassCount) {
  TLinearBenchmark Bench;
  Bench.SetSeed(7);
  EXPECT_THROW(
      {
        try {
          Bench.Classify(20, 100);
        } catch (const Exception& E) {
          EXPECT_EQ(E.Message(), "Learn first!");
          throw;
        }
      },
      Exception);
  Bench.Learn(4, 1000);
  EXPECT_THROW(Bench.Classify(5, 100), Exception);
  std::vector<std::string> Progress;
  Bench.SetOnProgress([&](const std::string& Text) { Progress.push_back(Text); });
  const TBenchmarkRun Run = Bench.Classify(4, 1001);
  EXPECT_EQ(Progress, (std::vector<std::string>{"Classified cases = 0", "Classified cases = 1000"}));
  EXPECT_EQ(Run.CountText, "Classified cases = 1001");
  // Three millisecond digits when classifying: "Time: hh:nn:ss:zzz".
  EXPECT_EQ(Run.TimeText.size(), std::string("Time: 00:00:00:000").size());
}

TEST(TLinearBenchmark, NoCasesLearnNothing) {
  TLinearBenchmark Bench;
  const TBenchmarkRun Run = Bench.Learn(3, 0);
  EXPECT_EQ(Run.CountText, "Learned cases = 0");
  EXPECT_EQ(Run.RateText, "0 Cases/second");
  EXPECT_EQ(Bench.LinearClassifier().Classes()->Count(), 0);
  EXPECT_THROW(Bench.Classify(3, 10), Exception);
  EXPECT_THROW(Bench.Learn(0, 10), Exception);
}

TEST(TLinearBenchmark, ANewRunForgetsThePrevious) {
  TLinearBenchmark Bench;
  Bench.SetSeed(3);
  Bench.Learn(8, 4000);
  ASSERT_EQ(Bench.LinearClassifier().Classes()->Count(), 8);
  Bench.Learn(2, 100);
  EXPECT_EQ(Bench.LinearClassifier().Classes()->Count(), 2);
}
