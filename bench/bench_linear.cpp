// Speed of the linear classifier at the benchmark page's sizes: 20 classes,
// 15 discrete and 15 float attributes, values 0..9. Learning is LearnIndex
// with a random class per case; classifying is Classify. The "Same" cases use
// one record for every case, as the page does; the "Varied" cases cycle
// through a pool of random records so the branch predictor is not flattered.
//
// A counting operator new (bench/support/AllocationCounter.h) reports
// allocations per case (expected 0): the counter is the benchmark's own
// instrument, not engine state.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "AllocationCounter.h"
#include "Classifier.h"

namespace {

constexpr int32_t Classes = 20;
constexpr int32_t DiscreteCount = 15;
constexpr int32_t FloatCount = 15;
constexpr size_t PoolSize = 4096;  // a power of two: the index wraps with a mask

struct Records {
  std::vector<std::vector<int32_t>> D;
  std::vector<std::vector<double>> F;
  std::vector<int32_t> ClassOf;
};

Records MakeRecords(size_t Count, uint32_t Seed) {
  std::mt19937 Rng(Seed);
  std::uniform_int_distribution<int32_t> Value(0, 9), Class(0, Classes - 1);
  Records R;
  for (size_t i = 0; i < Count; ++i) {
    std::vector<int32_t> D(DiscreteCount);
    std::vector<double> F(FloatCount);
    for (auto& V : D) V = Value(Rng);
    for (auto& V : F) V = Value(Rng);
    R.D.push_back(std::move(D));
    R.F.push_back(std::move(F));
  }
  R.ClassOf.resize(PoolSize);
  for (auto& C : R.ClassOf) C = Class(Rng);
  return R;
}

std::unique_ptr<TLinearClassifier> MakeClassifier() {
  auto C = std::make_unique<TLinearClassifier>(nullptr);
  C->SetDiscreteAttributeCount(DiscreteCount);
  C->SetFloatAttributeCount(FloatCount);
  return C;
}

// Learns every pool record into every class once, so the counts arrays have
// reached their final size before anything is measured.
void WarmUp(TLinearClassifier& C, const Records& R) {
  for (int32_t k = 0; k < Classes; ++k)
    for (size_t i = 0; i < R.D.size(); ++i) C.LearnIndex(k, R.D[i], R.F[i]);
}

void Report(benchmark::State& State, long long AllocationsBefore) {
  const auto Cases = static_cast<double>(State.iterations());
  State.counters["cases/s"] = benchmark::Counter(Cases, benchmark::Counter::kIsRate);
  State.counters["allocs/case"] =
      static_cast<double>(AllocationCount() - AllocationsBefore) / (Cases > 0 ? Cases : 1);
}

void Learn(benchmark::State& State, size_t Pool) {
  const Records R = MakeRecords(Pool, 1);
  auto C = MakeClassifier();
  WarmUp(*C, R);
  const size_t Mask = Pool - 1;
  size_t i = 0;
  const long long Before = AllocationCount();
  for (auto _ : State) {
    const size_t p = i & Mask;
    C->LearnIndex(R.ClassOf[i & (PoolSize - 1)], R.D[p], R.F[p]);
    ++i;
  }
  Report(State, Before);
  benchmark::DoNotOptimize(C->Classes()->LearnedCases());
}

void Classify(benchmark::State& State, size_t Pool) {
  const Records R = MakeRecords(Pool, 2);
  auto C = MakeClassifier();
  WarmUp(*C, R);
  // Train as the page does: 200000 cases with random classes.
  for (size_t i = 0; i < 200000; ++i) C->LearnIndex(R.ClassOf[i & (PoolSize - 1)], R.D[i % Pool], R.F[i % Pool]);
  const size_t Mask = Pool - 1;
  size_t i = 0;
  int64_t Sum = 0;
  const long long Before = AllocationCount();
  for (auto _ : State) {
    const size_t p = i & Mask;
    Sum += C->Classify(R.D[p], R.F[p]);
    ++i;
  }
  Report(State, Before);
  benchmark::DoNotOptimize(Sum);
}

// Classifying and learning in turn, one case each, as a test-then-learn
// loop does: every classification follows a change of the model.
void BM_ClassifyThenLearn(benchmark::State& State) {
  const Records R = MakeRecords(PoolSize, 3);
  auto C = MakeClassifier();
  WarmUp(*C, R);
  for (size_t i = 0; i < 20000; ++i) C->LearnIndex(R.ClassOf[i & (PoolSize - 1)], R.D[i % PoolSize], R.F[i % PoolSize]);
  size_t i = 0;
  int64_t Sum = 0;
  const long long Before = AllocationCount();
  for (auto _ : State) {
    const size_t p = i & (PoolSize - 1);
    Sum += C->Classify(R.D[p], R.F[p]);
    C->LearnIndex(R.ClassOf[p], R.D[p], R.F[p]);
    ++i;
  }
  Report(State, Before);
  benchmark::DoNotOptimize(Sum);
}

void BM_LearnIndex_Same(benchmark::State& State) { Learn(State, 1); }
void BM_LearnIndex_Varied(benchmark::State& State) { Learn(State, PoolSize); }
void BM_Classify_Same(benchmark::State& State) { Classify(State, 1); }
void BM_Classify_Varied(benchmark::State& State) { Classify(State, PoolSize); }

}  // namespace

BENCHMARK(BM_LearnIndex_Same);
BENCHMARK(BM_LearnIndex_Varied);
BENCHMARK(BM_Classify_Same);
BENCHMARK(BM_Classify_Varied);
BENCHMARK(BM_ClassifyThenLearn);

BENCHMARK_MAIN();
