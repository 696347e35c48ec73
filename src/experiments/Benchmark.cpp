// Timed learning and classification loops over one synthetic record pair.
#include "Benchmark.h"

#include <chrono>

#include "Exceptions.h"
#include "PseudoRandom.h"
#include "ResultFormat.h"

namespace {

using TClock = std::chrono::steady_clock;

int64_t MillisecondsSince(TClock::time_point Start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - Start).count();
}

// The texts the page prints after a pass; the classifying pass shows three
// digits of milliseconds.
TBenchmarkRun FinishedRun(const std::string& CountLabel, int32_t Cases, int64_t Milliseconds,
                          bool ThreeDigitMilliseconds) {
  TBenchmarkRun Run;
  Run.Milliseconds = Milliseconds;
  Run.Cases = Cases < 0 ? 0 : Cases;
  Run.CountText = CountLabel + std::to_string(Run.Cases);
  Run.TimeText = "Time: " + FormatClock(Run.Milliseconds, ThreeDigitMilliseconds);
  Run.RateText = RateText(Run.Cases, Run.Milliseconds);
  return Run;
}
}  // namespace

uint32_t TPseudoRandom::ClockSeed() {
  const auto Now = std::chrono::system_clock::now().time_since_epoch();
  const int64_t Millis = std::chrono::duration_cast<std::chrono::milliseconds>(Now).count();
  return static_cast<uint32_t>(Millis % (24LL * 3600 * 1000));
}

TLinearBenchmark::TLinearBenchmark() : FClassifier(std::make_unique<TLinearClassifier>(nullptr)) {
  TLinearClassifier& C = *FClassifier;
  C.SetIndexesZeroBased(true);
  C.SetMissingDiscreteIndex(-1);
  C.SetMissingFloatValue("999");
  C.SetFloatAttributeCount(25);
  C.SetDiscreteAttributeCount(25);
  C.SetRejectProbability(0.01);
  C.SetUsePriorProbability(false);
}

TLinearBenchmark::~TLinearBenchmark() = default;

uint32_t TLinearBenchmark::NextSeed() const { return FSeed ? *FSeed : TPseudoRandom::ClockSeed(); }

void TLinearBenchmark::FillRecords(uint32_t Seed) {
  FDiscrete.assign(static_cast<size_t>(FClassifier->DiscreteAttributeCount()), 0);
  FFloat.assign(static_cast<size_t>(FClassifier->FloatAttributeCount()), 0.0);
  TPseudoRandom Random(Seed);
  for (int32_t& V : FDiscrete) V = static_cast<int32_t>(Random.Below(10));
  for (double& V : FFloat) V = static_cast<double>(Random.Below(10));
}

TBenchmarkRun TLinearBenchmark::Learn(int32_t Classes, int32_t Cases) {
  if (Classes < 1) throw Exception("Number of classes must be at least 1");
  FClassifier->Clear();
  const uint32_t Seed = NextSeed();
  FillRecords(Seed);
  TPseudoRandom Random(Seed ^ 0x9E3779B9u);
  const auto Start = TClock::now();
  for (int32_t I = 0; I < Cases; ++I) {
    FClassifier->LearnIndex(static_cast<int32_t>(Random.Below(static_cast<uint32_t>(Classes))), FDiscrete, FFloat);
    if (I % 1000 == 0 && FOnProgress) FOnProgress(LearnedPrefix + std::to_string(I));
  }
  return FinishedRun(LearnedPrefix, Cases, MillisecondsSince(Start), false);
}

void TLinearBenchmark::CheckLearned(int32_t Classes) const {
  if (FClassifier->Classes()->Count() != Classes) throw Exception("Learn first!");
}

TBenchmarkRun TLinearBenchmark::Classify(int32_t Classes, int32_t Cases) {
  CheckLearned(Classes);
  FillRecords(NextSeed());
  const auto Start = TClock::now();
  for (int32_t I = 0; I < Cases; ++I) {
    FClassifier->Classify(FDiscrete, FFloat);
    if (I % 1000 == 0 && FOnProgress) FOnProgress(ClassifiedPrefix + std::to_string(I));
  }
  return FinishedRun(ClassifiedPrefix, Cases, MillisecondsSince(Start), true);
}
