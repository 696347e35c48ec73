// pellory train --threads and pellory merge: every sample table learned on
// 1, 2, 4 and 64 threads (naive Bayes and k-NN files byte for byte alike,
// the linear classifier's float moments within the stated bound and its
// guesses alike), the same over a SQLite store, and model files merged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "Classifier.h"
#include "SampleComponents.h"
#include "ToolFolder.h"
#include "ToolRun.h"

namespace {

namespace fs = std::filesystem;

std::string FileText(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

// The largest relative difference of a float Mean or StdDev between two
// linear models of one table, after checking that their discrete parts
// (counts, value counts, the mode's count) are equal.
double LargestMomentDifference(const std::string& ModelA, const std::string& ModelB) {
  const auto A = LoadSampleClassifier(ModelA);
  const auto B = LoadSampleClassifier(ModelB);
  const auto& LA = *static_cast<TLinearClassifier&>(*A).Classes();
  const auto& LB = *static_cast<TLinearClassifier&>(*B).Classes();
  EXPECT_EQ(LA.ToVector(), LB.ToVector());
  double Largest = 0.0;
  auto Relative = [](double X, double Y) { return X == Y ? 0.0 : std::fabs(X - Y) / std::max(std::fabs(X), std::fabs(Y)); };
  for (int32_t c = 0; c < LA.Count() && c < LB.Count(); ++c) {
    const TClassesListItem& IA = *LA.GetData(c);
    const TClassesListItem& IB = *LB.GetData(c);
    for (size_t i = 0; i < IA.Discrete().size(); ++i) {
      const TDiscreteRecord& RA = IA.Discrete()[i];
      const TDiscreteRecord& RB = IB.Discrete()[i];
      EXPECT_EQ(RA.ValueCount, RB.ValueCount);
      EXPECT_EQ(RA.Counts, RB.Counts);
      EXPECT_EQ(RA.Counts.empty() ? 0 : RA.Counts[static_cast<size_t>(RA.Mode)],
                RB.Counts.empty() ? 0 : RB.Counts[static_cast<size_t>(RB.Mode)]);
    }
    for (size_t j = 0; j < IA.Float().size(); ++j) {
      EXPECT_EQ(IA.Float()[j].Count, IB.Float()[j].Count);
      Largest = std::max({Largest, Relative(IA.Float()[j].Mean, IB.Float()[j].Mean),
                          Relative(IA.Float()[j].StdDev, IB.Float()[j].StdDev)});
    }
  }
  return Largest;
}

class TrainThreads : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    Folder = new TToolFolder("train-threads");
    for (const auto& Entry : fs::directory_iterator(std::string(PELLORY_SOURCE_DIR) + "/data")) {
      if (Entry.path().extension() != ".arff") continue;
      const std::string Table = Entry.path().stem().string().substr(0, 4) + ".DB";
      ASSERT_EQ(Pellory({"import", Entry.path().string(), Table, "--data", Folder->Path()}).Status, 0) << Table;
      Tables.push_back(Table);
    }
  }
  static void TearDownTestSuite() {
    delete Folder;
    Folder = nullptr;
  }
  static std::string Train(const std::string& Table, const std::string& Kind, const std::string& Threads,
                           const std::vector<std::string>& Source) {
    const std::string Model = *Folder / (Table + "-" + Kind + "-" + Threads + ".model");
    std::vector<std::string> Args = {"train", Table, "--classifier", Kind, "--model", Model, "--threads", Threads};
    Args.insert(Args.end(), Source.begin(), Source.end());
    const TToolRun R = Pellory(Args);
    EXPECT_EQ(R.Status, 0) << R.Err;
    return Model;
  }
  static TToolFolder* Folder;
  static std::vector<std::string> Tables;
};

TToolFolder* TrainThreads::Folder = nullptr;
std::vector<std::string> TrainThreads::Tables;

// The bound stated for the linear classifier (README, "Learning in
// parallel"); the largest difference measured is printed.
constexpr double kMomentBound = 1e-13;

TEST_F(TrainThreads, ShardsGiveTheSequentialModelOnEverySampleTable) {
  ASSERT_GE(Tables.size(), 10u);
  const std::vector<std::string> Source = {"--data", Folder->Path()};
  double Largest = 0.0;
  size_t ChangedGuesses = 0;
  for (const std::string& Table : Tables) {
    for (const std::string Kind : {"nb", "knn", "lc"}) {
      const std::string One = Train(Table, Kind, "1", Source);
      const std::string Guesses = Pellory({"classify", Table, "--model", One, "--data", Folder->Path()}).Out;
      for (const std::string Threads : {"2", "4", "64"}) {
        if (Kind != "lc" && Threads == "4") continue;  // the test is slow enough
        const std::string Many = Train(Table, Kind, Threads, Source);
        if (Kind != "lc") {
          EXPECT_EQ(FileText(Many), FileText(One)) << Table << " " << Kind << " on " << Threads << " threads";
          continue;
        }
        Largest = std::max(Largest, LargestMomentDifference(One, Many));
        const std::vector<std::string> A = Lines(Guesses);
        const std::vector<std::string> B = Lines(Pellory({"classify", Table, "--model", Many, "--data", Folder->Path()}).Out);
        ASSERT_EQ(A.size(), B.size());
        for (size_t Row = 1; Row + 1 < A.size(); ++Row) ChangedGuesses += A[Row] != B[Row];
      }
    }
  }
  std::cout << "linear classifier, " << Tables.size() << " sample tables in 2, 4 and 64 shards: largest relative "
            << "difference of Mean and StdDev " << Largest << ", guesses changed " << ChangedGuesses << "\n";
  EXPECT_LE(Largest, kMomentBound);
  EXPECT_EQ(ChangedGuesses, 0u);
}

TEST_F(TrainThreads, SqliteTablesLearnInKeyRangesAlike) {
  const std::string File = *Folder / "samples.sqlite";
  for (const char* Arff : {"credit-g", "segment"}) {
    const std::string Table = std::string(Arff).substr(0, 4) + ".DB";
    ASSERT_EQ(Pellory({"import", std::string(PELLORY_SOURCE_DIR) + "/data/" + Arff + ".arff", Table, "--sqlite",
                       File}).Status, 0);
    for (const std::string Kind : {"nb", "knn"}) {
      const std::string Paradox = FileText(Train(Table, Kind, "1", {"--data", Folder->Path()}));
      EXPECT_EQ(FileText(Train(Table, Kind, "3", {"--sqlite", File})), Paradox) << Table << " " << Kind;
    }
  }
}

TEST_F(TrainThreads, MergeJoinsModelFilesAndRefusesOnesOfAnotherKind) {
  const std::vector<std::string> Source = {"--data", Folder->Path()};
  const std::string NB = Train("VOTE.DB", "nb", "1", Source);
  const std::string Knn = Train("VOTE.DB", "knn", "1", Source);
  const std::string Out = *Folder / "merged.model";

  const TToolRun Merged = Pellory({"merge", Out, Knn, Knn});
  ASSERT_EQ(Merged.Status, 0) << Merged.Err;
  EXPECT_EQ(Lines(Merged.Out).back(), "model written to " + Out);
  const auto Once = LoadSampleClassifier(Knn);
  const auto Twice = LoadSampleClassifier(Out);
  EXPECT_EQ(static_cast<TKNearestNeighbors&>(*Twice).ExampleCount(),
            2 * static_cast<TKNearestNeighbors&>(*Once).ExampleCount());

  const TToolRun Refused = Pellory({"merge", Out, NB, Knn});
  EXPECT_EQ(Refused.Status, 1);
  EXPECT_EQ(Refused.Err, "pellory merge: '" + Knn + "': Cannot merge a TKNearestNeighbors into a TNaiveBayes\n");
  EXPECT_EQ(Pellory({"merge", Out, NB}).Status, 2);  // at least two models
}

}  // namespace
