// Our side of the peer comparison (bench/peers.py): the three classifiers
// learning and classifying a data set that the script generated, so both
// sides see the very same numbers.
//
//   bench_peers DATAFILE
//
// DATAFILE is text: a first line "learn test discrete float", then learn +
// test rows of "class d1 .. dD f1 .. fF" (zero-based class, value codes, and
// floats written exactly). Output: one "name rate allocs_per_case" line per
// measurement, rates in cases (or queries) per second of one thread.
//
// Measurements: the linear classifier learning the learn rows and
// classifying the test rows; naive Bayes the same on the discrete
// attributes alone; k-NN storing the first 5,000 and 50,000 learn rows and
// classifying test rows with K = 10 under both norms. Each is the best of a
// few repetitions. There is no batch entry: one call per case is how the
// engine is used, so the same figure stands for a batch and for rows.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "AllocationCounter.h"
#include "Classifier.h"

namespace {

struct TData {
  int32_t Discrete = 0, Float = 0;
  size_t Learn = 0, Test = 0;
  std::vector<int32_t> Class;
  std::vector<std::vector<int32_t>> D;
  std::vector<std::vector<double>> F;
};

TData Load(const std::string& FileName) {
  std::ifstream In(FileName);
  if (!In) throw std::runtime_error("cannot open " + FileName);
  TData Data;
  In >> Data.Learn >> Data.Test >> Data.Discrete >> Data.Float;
  if (!In || Data.Discrete < 0 || Data.Float < 0) throw std::runtime_error(FileName + ": bad first line");
  const size_t Rows = Data.Learn + Data.Test;
  Data.Class.resize(Rows);
  Data.D.assign(Rows, std::vector<int32_t>(static_cast<size_t>(Data.Discrete)));
  Data.F.assign(Rows, std::vector<double>(static_cast<size_t>(Data.Float)));
  std::string Token;
  for (size_t r = 0; r < Rows; ++r) {
    In >> Data.Class[r];
    for (int32_t& V : Data.D[r]) In >> V;
    for (double& V : Data.F[r]) {
      // strtod reads the shortest round-trip text exactly; so does numpy's.
      In >> Token;
      V = std::strtod(Token.c_str(), nullptr);
    }
    if (!In) throw std::runtime_error(FileName + ": row " + std::to_string(r + 1) + " is short");
  }
  return Data;
}

// Best rate of Repeats runs of Body (which handles Count cases), and the
// allocations per case of the last run.
void Measure(const char* Name, size_t Count, int Repeats, const std::function<void()>& Prepare,
             const std::function<void()>& Body) {
  double Best = 0;
  double Allocs = 0;
  for (int i = 0; i < Repeats; ++i) {
    Prepare();
    const long long Before = AllocationCount();
    const auto Start = std::chrono::steady_clock::now();
    Body();
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    Allocs = static_cast<double>(AllocationCount() - Before) / static_cast<double>(Count);
    Best = std::max(Best, static_cast<double>(Count) / Seconds);
  }
  std::printf("%s %.0f %.3f\n", Name, Best, Allocs);
  std::fflush(stdout);
}

volatile int32_t Sink = 0;  // keeps the guesses alive

void Linear(const TData& Data) {
  auto C = std::make_unique<TLinearClassifier>(nullptr);
  auto Fresh = [&] {
    C = std::make_unique<TLinearClassifier>(nullptr);
    C->SetDiscreteAttributeCount(Data.Discrete);
    C->SetFloatAttributeCount(Data.Float);
    C->SetRejectProbability(0.01);
    C->SetUsePriorProbability(false);
  };
  auto LearnAll = [&] {
    for (size_t r = 0; r < Data.Learn; ++r) C->LearnIndex(Data.Class[r], Data.D[r], Data.F[r]);
  };
  Measure("lc_learn", Data.Learn, 3, Fresh, LearnAll);
  Measure("lc_classify", Data.Test, 3, [] {}, [&] {
    for (size_t r = Data.Learn; r < Data.Learn + Data.Test; ++r) Sink = C->Classify(Data.D[r], Data.F[r]);
  });
}

void NaiveBayes(const TData& Data) {
  auto C = std::make_unique<TNaiveBayes>(nullptr);
  const std::vector<double> NoFloats;
  auto Fresh = [&] {
    C = std::make_unique<TNaiveBayes>(nullptr);
    C->SetDiscreteAttributeCount(Data.Discrete);
  };
  Measure("nb_learn", Data.Learn, 3, Fresh, [&] {
    for (size_t r = 0; r < Data.Learn; ++r) C->LearnIndex(Data.Class[r], Data.D[r], NoFloats);
  });
  Measure("nb_classify", Data.Test, 3, [] {}, [&] {
    for (size_t r = Data.Learn; r < Data.Learn + Data.Test; ++r) Sink = C->Classify(Data.D[r], NoFloats);
  });
}

void Neighbours(const TData& Data, size_t Stored, size_t Queries) {
  Stored = std::min(Stored, Data.Learn);
  Queries = std::min(Queries, Data.Test);
  for (TDistanceModel Model : {TDistanceModel::dmNorm2, TDistanceModel::dmNorm1}) {
    TKNearestNeighbors C(nullptr);
    C.SetDiscreteAttributeCount(Data.Discrete);
    C.SetFloatAttributeCount(Data.Float);
    C.SetStoreExamples(true);
    C.SetKNeighbors(10);
    C.SetDistanceModel(Model);
    for (size_t r = 0; r < Stored; ++r) C.LearnIndex(Data.Class[r], Data.D[r], Data.F[r]);
    C.Classify(Data.D[Data.Learn], Data.F[Data.Learn]);  // sizes the work space
    const std::string Name = "knn_" + std::to_string(Stored) + (Model == TDistanceModel::dmNorm2 ? "_p2" : "_p1");
    Measure(Name.c_str(), Queries, 3, [] {}, [&] {
      for (size_t r = Data.Learn; r < Data.Learn + Queries; ++r) Sink = C.Classify(Data.D[r], Data.F[r]);
    });
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    // Run without a data file (as scripts/bench runs every program), it only
    // says how it is meant to be used.
    std::cout << "bench_peers: run through bench/peers.py (make bench-peers), which supplies the data\n";
    return 0;
  }
  try {
    const TData Data = Load(argv[1]);
    Linear(Data);
    NaiveBayes(Data);
    Neighbours(Data, 5000, 2000);
    Neighbours(Data, 50000, 400);
  } catch (const std::exception& E) {
    std::cerr << "bench_peers: " << E.what() << "\n";
    return 1;
  }
  return 0;
}
