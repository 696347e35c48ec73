// Speed of naive Bayes learning and classifying (20 classes, 15 discrete
// attributes with values 0..9) and of k-nearest-neighbours classifying
// against 5,000 stored examples of 15 discrete and 15 float attributes
// with K = 10.
//
// Every benchmark also reports allocs_per_item: heap allocations per
// learned or classified case inside the timed loop, counted by the
// replacement operator new of bench/support/AllocationCounter.cpp. Learning
// and classifying should allocate nothing once the model's arrays have
// reached their size.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "AllocationCounter.h"
#include "Classifier.h"

namespace {

constexpr int32_t kClasses = 20;
constexpr int32_t kDiscrete = 15;
constexpr int32_t kFloat = 15;
constexpr int32_t kValues = 10;
constexpr int32_t kExamples = 5000;
constexpr size_t kRecords = 4096;  // a power of two: cycled with a mask

struct Case {
  int32_t Class;
  std::vector<int32_t> D;
  std::vector<double> F;
};

std::vector<Case> MakeCases(size_t Count, int32_t Discrete, int32_t Float, uint32_t Seed) {
  std::mt19937 Rng(Seed);
  std::uniform_int_distribution<int32_t> Class(0, kClasses - 1), Value(0, kValues - 1);
  std::uniform_real_distribution<double> Real(-50.0, 50.0);
  std::vector<Case> Cases(Count);
  for (Case& C : Cases) {
    C.Class = Class(Rng);
    for (int32_t i = 0; i < Discrete; ++i) C.D.push_back(Value(Rng));
    for (int32_t j = 0; j < Float; ++j) C.F.push_back(Real(Rng) + C.Class);
  }
  return Cases;
}

void ReportAllocations(benchmark::State& State, long long Before) {
  State.SetItemsProcessed(State.iterations());
  State.counters["allocs_per_item"] =
      static_cast<double>(AllocationCount() - Before) / static_cast<double>(State.iterations());
}

void BM_NaiveBayesLearn(benchmark::State& State) {
  const std::vector<Case> Cases = MakeCases(kRecords, kDiscrete, 0, 1);
  TNaiveBayes B(nullptr);
  B.SetDiscreteAttributeCount(kDiscrete);
  const std::vector<double> NoFloats;
  // Reach every class and value once, so the loop measures steady learning.
  for (const Case& C : Cases) B.LearnIndex(C.Class, C.D, NoFloats);
  size_t i = 0;
  const long long Before = AllocationCount();
  for (auto _ : State) {
    const Case& C = Cases[i++ & (kRecords - 1)];
    B.LearnIndex(C.Class, C.D, NoFloats);
  }
  ReportAllocations(State, Before);
}
BENCHMARK(BM_NaiveBayesLearn);

void BM_NaiveBayesLearnByName(benchmark::State& State) {
  const std::vector<Case> Cases = MakeCases(kRecords, kDiscrete, 0, 2);
  std::vector<std::string> Names;
  for (int32_t c = 0; c < kClasses; ++c) Names.push_back("class " + std::to_string(c));
  TNaiveBayes B(nullptr);
  B.SetDiscreteAttributeCount(kDiscrete);
  const std::vector<double> NoFloats;
  for (const Case& C : Cases) B.Learn(Names[static_cast<size_t>(C.Class)], C.D, NoFloats);
  size_t i = 0;
  const long long Before = AllocationCount();
  for (auto _ : State) {
    const Case& C = Cases[i++ & (kRecords - 1)];
    B.Learn(Names[static_cast<size_t>(C.Class)], C.D, NoFloats);
  }
  ReportAllocations(State, Before);
}
BENCHMARK(BM_NaiveBayesLearnByName);

// Naive Bayes trained on 20,000 cases, and the queries the classifying
// benchmarks cycle through.
struct TTrainedBayes {
  const std::vector<Case> Train = MakeCases(20000, kDiscrete, 0, 3);
  const std::vector<Case> Queries = MakeCases(kRecords, kDiscrete, 0, 4);
  TNaiveBayes B{nullptr};
  const std::vector<double> NoFloats;
  TTrainedBayes() {
    B.SetDiscreteAttributeCount(kDiscrete);
    for (const Case& C : Train) B.LearnIndex(C.Class, C.D, NoFloats);
  }
};

void BM_NaiveBayesClassify(benchmark::State& State) {
  TTrainedBayes Trained;
  auto& [Train, Queries, B, NoFloats] = Trained;
  size_t i = 0;
  const long long Before = AllocationCount();
  for (auto _ : State) {
    const Case& C = Queries[i++ & (kRecords - 1)];
    benchmark::DoNotOptimize(B.Classify(C.D, NoFloats));
  }
  ReportAllocations(State, Before);
}
BENCHMARK(BM_NaiveBayesClassify);

void BM_NaiveBayesClassifyResponse(benchmark::State& State) {
  TTrainedBayes Trained;
  auto& [Train, Queries, B, NoFloats] = Trained;
  std::vector<double> Response(kClasses);
  size_t i = 0;
  const long long Before = AllocationCount();
  for (auto _ : State) {
    const Case& C = Queries[i++ & (kRecords - 1)];
    benchmark::DoNotOptimize(B.ClassifyResponse(C.D, NoFloats, Response));
  }
  ReportAllocations(State, Before);
}
BENCHMARK(BM_NaiveBayesClassifyResponse);

// Learning and classifying in turn, one case each, as a test-then-learn
// loop does: every classification follows a change of the model.
void BM_NaiveBayesLearnThenClassify(benchmark::State& State) {
  TTrainedBayes Trained;
  auto& [Train, Queries, B, NoFloats] = Trained;
  size_t i = 0;
  const long long Before = AllocationCount();
  for (auto _ : State) {
    const Case& C = Queries[i++ & (kRecords - 1)];
    benchmark::DoNotOptimize(B.Classify(C.D, NoFloats));
    B.LearnIndex(C.Class, C.D, NoFloats);
  }
  ReportAllocations(State, Before);
}
BENCHMARK(BM_NaiveBayesLearnThenClassify);

// Argument: 0 = dmNorm1, 1 = dmNorm2.
void BM_KNearestNeighborsClassify(benchmark::State& State) {
  const std::vector<Case> Train = MakeCases(kExamples, kDiscrete, kFloat, 5);
  const std::vector<Case> Queries = MakeCases(256, kDiscrete, kFloat, 6);
  TKNearestNeighbors K(nullptr);
  K.SetDiscreteAttributeCount(kDiscrete);
  K.SetFloatAttributeCount(kFloat);
  K.SetStoreExamples(true);
  K.SetKNeighbors(10);
  K.SetDistanceModel(State.range(0) == 0 ? TDistanceModel::dmNorm1 : TDistanceModel::dmNorm2);
  for (const Case& C : Train) K.LearnIndex(C.Class, C.D, C.F);
  K.Classify(Queries[0].D, Queries[0].F);  // sizes the work space
  size_t i = 0;
  const long long Before = AllocationCount();
  for (auto _ : State) {
    const Case& C = Queries[i++ & 255];
    benchmark::DoNotOptimize(K.Classify(C.D, C.F));
  }
  ReportAllocations(State, Before);
  State.counters["distances_per_s"] =
      benchmark::Counter(static_cast<double>(State.iterations()) * kExamples, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_KNearestNeighborsClassify)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
