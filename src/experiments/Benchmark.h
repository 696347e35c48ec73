// The speed measurement of the linear classifier on synthetic cases: what
// the benchmark page shows and `pellory bench` prints.
//
// One record pair, filled with random codes 0..9 once per run, is learned n
// times into random classes 0..m-1 (LearnIndex), or classified n times
// (Classify); the run reports the elapsed whole milliseconds and the page's
// texts. The loops call nothing but the classifier and, every 1000 cases,
// the progress handler.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "LinearClassifier.h"

// The figures the benchmark page's edits and `pellory bench` start from.
struct TBenchmarkDefaults {
  static constexpr int32_t Classes = 20;
  static constexpr int32_t DiscreteAttributes = 15;
  static constexpr int32_t FloatAttributes = 15;
  static constexpr int32_t LearnCases = 200000;
  static constexpr int32_t TestCases = 20000;
};

struct TBenchmarkRun {
  int64_t Cases = 0;
  int64_t Milliseconds = 0;
  std::string CountText;  // "Learned cases = 200000" / "Classified cases = 20000"
  std::string TimeText;   // "Time: 00:00:00:350" (learning: "hh:nn:ss:zz", classifying: "hh:nn:ss:zzz")
  std::string RateText;   // "571429 Cases/second"
};

class TLinearBenchmark {
public:
  // The classifier with the page's stored settings: zero-based indexes,
  // missing codes -1 / "999", 25 discrete and 25 float attributes,
  // RejectProbability 0.01, no prior probabilities.
  TLinearBenchmark();
  ~TLinearBenchmark();

  // What the count texts start with, the number following.
  static constexpr const char* LearnedPrefix = "Learned cases = ";
  static constexpr const char* ClassifiedPrefix = "Classified cases = ";

  TLinearClassifier& LinearClassifier() { return *FClassifier; }
  const TLinearClassifier& LinearClassifier() const { return *FClassifier; }

  // Called with the progress text ("Learned cases = 1000") at every case
  // number that is a multiple of 1000, 0 included.
  void SetOnProgress(std::function<void(const std::string&)> Value) { FOnProgress = std::move(Value); }
  // A fixed seed for reproducible runs; none (the default) seeds every run
  // from the clock.
  void SetSeed(std::optional<uint32_t> Value) { FSeed = Value; }

  // Clears the classifier, then learns Cases cases into random classes
  // 0 .. Classes-1 with the classifier's current attribute counts. Raises
  // Exception "Number of classes must be at least 1" for Classes < 1.
  TBenchmarkRun Learn(int32_t Classes, int32_t Cases);
  // Classifies Cases cases. Raises as CheckLearned does.
  TBenchmarkRun Classify(int32_t Classes, int32_t Cases);
  // Raises Exception "Learn first!" when the classifier's class count
  // differs from Classes (nothing learned for that many classes).
  void CheckLearned(int32_t Classes) const;

private:
  uint32_t NextSeed() const;
  void FillRecords(uint32_t Seed);

  std::unique_ptr<TLinearClassifier> FClassifier;
  std::function<void(const std::string&)> FOnProgress;
  std::optional<uint32_t> FSeed;
  std::vector<int32_t> FDiscrete;
  std::vector<double> FFloat;
};
