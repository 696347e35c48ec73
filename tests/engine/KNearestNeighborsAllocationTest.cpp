// Classifying with the k-NN classifier allocates nothing once its work
// space has its size: counted through the replaced operator new of
// bench/support/AllocationCounter.cpp, which the engine tests link.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "AllocationCounter.h"
#include "Classifier.h"
#include "TestSupport.h"

namespace {

struct TCase {
  int32_t Class;
  std::vector<int32_t> D;
  std::vector<double> F;
};

std::vector<TCase> MakeCases(size_t Count, uint32_t Seed) {
  std::mt19937 Rng(Seed);
  std::uniform_int_distribution<int32_t> Pick(0, 9);
  std::uniform_real_distribution<double> Real(-3.0, 3.0);
  std::vector<TCase> Cases(Count);
  for (TCase& C : Cases) {
    C.Class = Pick(Rng) % 4;
    for (int32_t a = 0; a < 4; ++a) C.D.push_back(Pick(Rng) == 0 ? -1 : Pick(Rng));
    for (int32_t a = 0; a < 5; ++a)
      C.F.push_back(Pick(Rng) == 0 ? std::numeric_limits<double>::quiet_NaN() : Real(Rng));
  }
  return Cases;
}

}  // namespace

TEST(TKNearestNeighbors, ClassifyingAllocatesNothing) {
  const std::vector<TCase> Train = MakeCases(3000, 1);
  const std::vector<TCase> Queries = MakeCases(300, 2);
  auto K = MakeClassifier<TKNearestNeighbors>(4, 5);
  K->SetStoreExamples(true);
  K->SetKNeighbors(10);
  for (size_t i = 0; i < 2000; ++i) K->LearnIndex(Train[i].Class, Train[i].D, Train[i].F);
  std::vector<double> Response(4);
  K->Classify(Queries[0].D, Queries[0].F);  // sizes the work space

  for (TDistanceModel Model : {TDistanceModel::dmNorm1, TDistanceModel::dmNorm2}) {
    K->SetDistanceModel(Model);
    const long long Before = AllocationCount();
    int32_t Sum = 0;
    for (const TCase& Q : Queries) {
      Sum += K->Classify(Q.D, Q.F);
      Sum += K->ClassifyResponse(Q.D, Q.F, Response);
    }
    EXPECT_EQ(AllocationCount() - Before, 0) << "answers " << Sum;
  }

  // Learning may grow the search's layout at the next search; after that
  // classifying allocates nothing again, the leave-one-out test included.
  for (size_t i = 2000; i < Train.size(); ++i) K->LearnIndex(Train[i].Class, Train[i].D, Train[i].F);
  K->Classify(Queries[0].D, Queries[0].F);
  const long long Before = AllocationCount();
  for (const TCase& Q : Queries) K->ClassifyResponse(Q.D, Q.F, Response);
  const double Accuracy = K->ClassifyTest();
  EXPECT_EQ(AllocationCount() - Before, 0) << "accuracy " << Accuracy;
}
