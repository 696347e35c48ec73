// Merging models: random tables learned in shards and merged in order
// against the same table learned in one go (naive Bayes and k-NN exact, the
// linear classifier's float moments within a stated bound); refusals;
// classes that appear only in a later shard; merging with itself and with
// empty models; the learning state across a save and load.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <type_traits>
#include <utility>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Classifier.h"
#include "ClassifierUnit.h"
#include "Stream.h"
#include "TestSupport.h"

namespace {

struct TRow {
  std::string Class;
  std::vector<int32_t> D;
  std::vector<double> F;
};

// Rows of three discrete and two float attributes with some missing values;
// class names vary in letter case, and class "late" occurs only in the last
// quarter, so it is new to every shard but the last ones.
std::vector<TRow> RandomRows(int32_t Count, uint32_t Seed) {
  std::mt19937 Rng(Seed);
  auto Uniform = [&Rng](int32_t Lo, int32_t Hi) { return std::uniform_int_distribution<int32_t>(Lo, Hi)(Rng); };
  const char* Names[] = {"b", "A", "B", "c", "a"};
  std::vector<TRow> Rows;
  for (int32_t n = 0; n < Count; ++n) {
    TRow R;
    R.Class = n >= Count * 3 / 4 && Uniform(0, 3) == 0 ? "late" : Names[Uniform(0, 4)];
    for (int32_t i = 0; i < 3; ++i) R.D.push_back(Uniform(0, 15) == 0 ? -1 : Uniform(0, 4 + 6 * i));
    R.F.push_back(Uniform(0, 9) == 0 ? 999.0 : std::normal_distribution<double>(R.Class.size(), 2.0)(Rng));
    R.F.push_back(Uniform(0, 2) == 0 ? 0.5 : std::uniform_real_distribution<double>(-1e3, 1e3)(Rng));
    Rows.push_back(std::move(R));
  }
  return Rows;
}

template <class T>
std::unique_ptr<T> Fresh() {
  auto C = MakeClassifier<T>(3, 2);
  if constexpr (std::is_same_v<T, TKNearestNeighbors>) C->SetStoreExamples(true);
  return C;
}

template <class T>
std::unique_ptr<T> Learned(const std::vector<TRow>& Rows, size_t From, size_t To) {
  auto C = Fresh<T>();
  for (size_t r = From; r < To; ++r) C->Learn(Rows[r].Class, Rows[r].D, Rows[r].F);
  return C;
}

// The rows cut into Shards contiguous ranges, each learned apart, merged in order.
// Taking: MergeTaking, with the shard checked to be left without examples.
template <class T>
std::unique_ptr<T> LearnedInShards(const std::vector<TRow>& Rows, size_t Shards, bool Taking = false) {
  auto Result = Learned<T>(Rows, 0, Rows.size() / Shards);
  for (size_t s = 1; s < Shards; ++s) {
    auto Part = Learned<T>(Rows, Rows.size() * s / Shards, Rows.size() * (s + 1) / Shards);
    if (!Taking) {
      Result->Merge(*Part);
      continue;
    }
    Result->MergeTaking(*Part);
    if constexpr (std::is_same_v<T, TKNearestNeighbors>) EXPECT_EQ(Part->ExampleCount(), 0);
  }
  return Result;
}

std::vector<uint8_t> StreamOf(const TClassifier& C) {
  TMemoryStream S;
  C.SaveToStream(S);
  return S.Bytes();
}

// Every row's responses and decision, bit for bit.
void ExpectSameAnswers(TClassifier& Merged, TClassifier& Sequential, const std::vector<TRow>& Rows) {
  ASSERT_EQ(Merged.ClassCount(), Sequential.ClassCount());
  for (int32_t c = 0; c < Merged.ClassCount(); ++c) EXPECT_EQ(Merged.ClassName(c), Sequential.ClassName(c));
  std::vector<double> A(static_cast<size_t>(Merged.ClassCount()));
  std::vector<double> B(A.size());
  for (size_t r = 0; r < Rows.size(); ++r) {
    ASSERT_EQ(Merged.ClassifyResponse(Rows[r].D, Rows[r].F, A), Sequential.ClassifyResponse(Rows[r].D, Rows[r].F, B))
        << "row " << r;
    ASSERT_EQ(A, B) << "row " << r;
    ASSERT_EQ(Merged.Classify(Rows[r].D, Rows[r].F), Sequential.Classify(Rows[r].D, Rows[r].F)) << "row " << r;
  }
}

// Counts, value counts and learned cases equal; the mode's count equal (the
// mode itself may be another value of that count, see MergedMode); float
// moments within RelativeBound.
void ExpectSameStatistics(const TStatisticClassifier& Merged, const TStatisticClassifier& Sequential,
                          double RelativeBound) {
  EXPECT_EQ(Merged.LearnedCaseCounts(), Sequential.LearnedCaseCounts());
  EXPECT_EQ(Merged.Classes()->LearnedCases(), Sequential.Classes()->LearnedCases());
  for (int32_t c = 0; c < Merged.ClassCount(); ++c) {
    const TClassesListItem& M = *Merged.Classes()->GetData(c);
    const TClassesListItem& S = *Sequential.Classes()->GetData(c);
    for (size_t i = 0; i < M.Discrete().size(); ++i) {
      const TDiscreteRecord& a = M.Discrete()[i];
      const TDiscreteRecord& b = S.Discrete()[i];
      ASSERT_EQ(a.ValueCount, b.ValueCount);
      EXPECT_EQ(a.Count, b.Count);
      EXPECT_EQ(std::vector<int32_t>(a.Counts.begin(), a.Counts.begin() + a.ValueCount),
                std::vector<int32_t>(b.Counts.begin(), b.Counts.begin() + b.ValueCount));
      if (a.ValueCount > 0) {
        EXPECT_EQ(a.Counts[static_cast<size_t>(a.Mode)], b.Counts[static_cast<size_t>(b.Mode)]);
      }
    }
    for (size_t j = 0; j < M.Float().size(); ++j) {
      const TFloatRecord& a = M.Float()[j];
      const TFloatRecord& b = S.Float()[j];
      EXPECT_EQ(a.Count, b.Count);
      EXPECT_LE(std::fabs(a.Mean - b.Mean), RelativeBound * std::fabs(b.Mean)) << "class " << c << " float " << j;
      EXPECT_LE(std::fabs(a.StdDev - b.StdDev), RelativeBound * std::fabs(b.StdDev)) << "class " << c << " float " << j;
    }
  }
}

class TMergeTest : public ::testing::Test {
protected:
  void SetUp() override { InitializeClassifierUnit(); }
  void TearDown() override { FinalizeClassifierUnit(); }
};

TEST_F(TMergeTest, ShardsMergedInOrderAnswerAsOneSequentialLearning) {
  const std::vector<TRow> Rows = RandomRows(1200, 7);
  for (size_t Shards : {2, 4, 7, 64}) {
    SCOPED_TRACE("shards " + std::to_string(Shards));
    auto SeqNB = Learned<TNaiveBayes>(Rows, 0, Rows.size());
    auto NB = LearnedInShards<TNaiveBayes>(Rows, Shards);
    ExpectSameStatistics(*NB, *SeqNB, 0.0);
    EXPECT_EQ(StreamOf(*NB), StreamOf(*SeqNB));  // the zero slots after the counts too
    ExpectSameAnswers(*NB, *SeqNB, Rows);

    auto SeqKnn = Learned<TKNearestNeighbors>(Rows, 0, Rows.size());
    auto Knn = LearnedInShards<TKNearestNeighbors>(Rows, Shards);
    EXPECT_EQ(StreamOf(*Knn), StreamOf(*SeqKnn));
    auto Taken = LearnedInShards<TKNearestNeighbors>(Rows, Shards, true);
    EXPECT_EQ(StreamOf(*Taken), StreamOf(*SeqKnn));
    ExpectSameAnswers(*Knn, *SeqKnn, std::vector<TRow>(Rows.begin(), Rows.begin() + 150));

    auto SeqLinear = Learned<TLinearClassifier>(Rows, 0, Rows.size());
    auto Linear = LearnedInShards<TLinearClassifier>(Rows, Shards);
    ExpectSameStatistics(*Linear, *SeqLinear, 1e-13);
    EXPECT_EQ(Linear->ClassName(Linear->ClassCount() - 1), "late");
  }
}

// A model read from a stream has lost the order its codes came in: they
// are taken as ascending (as codes numbered by first appearance arrive), so
// loaded shards of such a table give the very model file, zero slots after
// the counts included.
TEST_F(TMergeTest, LoadedNaiveBayesShardsGiveTheSameFileWhenCodesArriveInAscendingOrder) {
  std::vector<TRow> Rows;
  for (int32_t n = 0; n < 400; ++n)
    Rows.push_back({n % 3 ? "x" : "y", {n / 7, n % 5, n / 40}, {0.0, 1.0}});
  for (size_t Shards : {2, 3, 16}) {
    auto Merged = Fresh<TNaiveBayes>();
    for (size_t s = 0; s < Shards; ++s) {
      TMemoryStream Model;
      Learned<TNaiveBayes>(Rows, Rows.size() * s / Shards, Rows.size() * (s + 1) / Shards)->SaveToStream(Model);
      Model.Seek(0, TSeekOrigin::soBeginning);
      auto Loaded = Fresh<TNaiveBayes>();
      Loaded->LoadFromStream(Model);
      Merged->Merge(*Loaded);
    }
    EXPECT_EQ(StreamOf(*Merged), StreamOf(*Learned<TNaiveBayes>(Rows, 0, Rows.size()))) << Shards << " shards";
  }
}

TEST_F(TMergeTest, LinearModeFollowsTheReceiversCasesFirst) {
  struct TCase {
    std::vector<int32_t> A, B;
    int32_t Mode;
  } Cases[] = {
      {{3, 1}, {}, 3},           // nothing to add: the receiver's mode
      {{3, 1}, {1, 3}, 1},       // 1 and 3 both reach 2 in Other's cases, 1 first (Other's mode)
      {{2}, {5, 5}, 5},          // Other's value exceeds the receiver's top
      {{}, {4, 6, 6, 4}, 6},     // empty receiver: Other's own mode
      {{7, 2}, {2, 7, 1, 1}, 2}  // 1, 2, 7 reach 2 in Other's cases: the lowest the receiver had most of
  };
  // Each expectation is the mode of learning A's values and then B's.
  for (const TCase& Case : Cases) {
    auto A = Fresh<TLinearClassifier>();
    auto B = Fresh<TLinearClassifier>();
    for (int32_t v : Case.A) A->Learn("k", std::vector<int32_t>{v, 0, 0}, std::vector<double>{0, 0});
    for (int32_t v : Case.B) B->Learn("k", std::vector<int32_t>{v, 0, 0}, std::vector<double>{0, 0});
    A->Merge(*B);
    EXPECT_EQ(A->Classes()->GetData(0)->Discrete()[0].Mode, Case.Mode);
  }
}

TEST_F(TMergeTest, RefusesModelsThatCannotBeOneAndChangesNothing) {
  const std::vector<TRow> Rows = RandomRows(60, 3);
  struct TCase {
    const char* Expected;
    std::function<void(TClassifier&)> Change;
  } Cases[] = {
      {"Cannot merge: DiscreteAttributeCount 3 here, 4 in the other model",
       [](TClassifier& C) { C.SetDiscreteAttributeCount(4); }},
      {"Cannot merge: FloatAttributeCount 2 here, 1 in the other model",
       [](TClassifier& C) { C.SetFloatAttributeCount(1); }},
      {"Cannot merge: MissingDiscreteIndex -1 here, 9 in the other model",
       [](TClassifier& C) { C.SetMissingDiscreteIndex(9); }},
      {"Cannot merge: MissingFloatValue \"999\" here, \"NAN\" in the other model",
       [](TClassifier& C) { C.SetMissingFloatValue("NAN"); }},
      {"Cannot merge: float attribute 1 is enabled here and disabled in the other model",
       [](TClassifier& C) { C.FloatAttributeStateSet(1, false); }},
  };
  for (const TCase& Case : Cases) {
    auto Here = Learned<TLinearClassifier>(Rows, 0, 30);
    auto Other = Learned<TLinearClassifier>(Rows, 30, 60);
    Case.Change(*Other);
    const std::vector<uint8_t> Before = StreamOf(*Here);
    EXPECT_EQ(MessageOf([&] { Here->Merge(*Other); }), Case.Expected);
    EXPECT_EQ(StreamOf(*Here), Before) << Case.Expected;
  }
  auto Linear = Learned<TLinearClassifier>(Rows, 0, 30);
  EXPECT_EQ(MessageOf([&] { Linear->Merge(*Learned<TNaiveBayes>(Rows, 0, 30)); }),
            "Cannot merge a TNaiveBayes into a TLinearClassifier");
  auto Knn = Learned<TKNearestNeighbors>(Rows, 0, 30);
  auto NotStoring = Fresh<TKNearestNeighbors>();
  NotStoring->SetStoreExamples(false);
  EXPECT_EQ(MessageOf([&] { Knn->Merge(*NotStoring); }),
            "Cannot merge: the other model does not store examples (StoreExamples is false), so it holds no cases "
            "to merge");
}

TEST_F(TMergeTest, MergingWithItselfAndWithEmptyModelsWorks) {
  const std::vector<TRow> Rows = RandomRows(200, 11);
  std::vector<TRow> Twice = Rows;
  Twice.insert(Twice.end(), Rows.begin(), Rows.end());

  auto NB = Learned<TNaiveBayes>(Rows, 0, Rows.size());
  NB->Merge(*NB);
  auto NBTwice = Learned<TNaiveBayes>(Twice, 0, Twice.size());
  ExpectSameAnswers(*NB, *NBTwice, Rows);
  auto Knn = Learned<TKNearestNeighbors>(Rows, 0, Rows.size());
  Knn->Merge(*Knn);
  EXPECT_EQ(StreamOf(*Knn), StreamOf(*Learned<TKNearestNeighbors>(Twice, 0, Twice.size())));

  auto Linear = Learned<TLinearClassifier>(Rows, 0, Rows.size());
  const std::vector<uint8_t> Alone = StreamOf(*Linear);
  Linear->Merge(*Fresh<TLinearClassifier>());
  EXPECT_EQ(StreamOf(*Linear), Alone);
  auto Empty = Fresh<TLinearClassifier>();
  Empty->Merge(*Linear);
  ExpectSameStatistics(*Empty, *Linear, 0.0);
  ExpectSameAnswers(*Empty, *Linear, Rows);
}

// The state keeps the learned-case counts and value histories the model
// stream drops: states saved and loaded apart merge into the model learned
// in one process, priors and the model file included.
TEST_F(TMergeTest, LearningStatesMergeAsTheModelsTheyCameFrom) {
  const std::vector<TRow> Rows = RandomRows(300, 5);
  auto Sequential = Learned<TNaiveBayes>(Rows, 0, Rows.size());
  auto Merged = Fresh<TNaiveBayes>();
  for (size_t s = 0; s < 3; ++s) {
    TMemoryStream State;
    Learned<TNaiveBayes>(Rows, Rows.size() * s / 3, Rows.size() * (s + 1) / 3)->SaveState(State);
    State.Seek(0, TSeekOrigin::soBeginning);
    auto Loaded = Fresh<TNaiveBayes>();
    Loaded->LoadState(State);
    Merged->Merge(*Loaded);
  }
  ExpectSameStatistics(*Merged, *Sequential, 0.0);
  EXPECT_EQ(StreamOf(*Merged), StreamOf(*Sequential));
  ExpectSameAnswers(*Merged, *Sequential, Rows);
}

TEST_F(TMergeTest, MalformedLearningStatesAreRefusedBeforeAnythingChanges) {
  const std::vector<TRow> Rows = RandomRows(40, 9);
  TMemoryStream Good;
  Learned<TLinearClassifier>(Rows, 0, Rows.size())->SaveState(Good);
  const std::vector<uint8_t> Bytes = Good.Bytes();
  auto Patched = [&](size_t At, std::vector<uint8_t> With, size_t Keep = 0) {
    std::vector<uint8_t> B = Bytes;
    if (Keep) B.resize(Keep);
    for (size_t i = 0; i < With.size(); ++i) B[At + i] = With[i];
    return B;
  };
  auto Linear = Learned<TLinearClassifier>(Rows, 0, 10);
  const int32_t Classes = Learned<TLinearClassifier>(Rows, 0, Rows.size())->ClassCount();
  const size_t CountNumberAt = 16 + static_cast<size_t>(GetInt32LE(Bytes.data() + 8));  // after the model
  const size_t HistoriesAt = CountNumberAt + 4 * static_cast<size_t>(Classes + 1);
  const std::string CountMismatch =
      "Invalid learning state: 1 learned-case counts for " + std::to_string(Classes) + " classes";
  const std::vector<std::pair<std::vector<uint8_t>, std::string>> Table = {
      {Patched(0, {'X'}), "Invalid learning state: no \"PLST\" signature"},
      {Patched(4, {2}), "Invalid learning state: version 2, expected 1"},
      {Patched(0, {}, Bytes.size() - 2), "Stream read error"},
      {Patched(CountNumberAt, {1}, CountNumberAt + 8), CountMismatch},
      {Patched(CountNumberAt + 4, {0xFF, 0xFF, 0xFF, 0xFF}), "Invalid learning state: Negative learned-case count -1"},
      {Patched(HistoriesAt, {0}), "Invalid learning state: 0 value histories for " + std::to_string(Classes) +
                                      " classes of 3 discrete attributes"},
      {Patched(HistoriesAt + 8, {0xFF}), "Invalid learning state: value history of class 0: codes not ascending"},
  };
  for (const auto& [State, Expected] : Table) {
    const std::vector<uint8_t> Before = StreamOf(*Linear);
    const std::vector<int32_t> Counts = Linear->LearnedCaseCounts();
    TMemoryStream In(State);
    EXPECT_EQ(MessageOf([&] { Linear->LoadState(In); }), Expected);
    EXPECT_EQ(StreamOf(*Linear), Before) << Expected;
    EXPECT_EQ(Linear->LearnedCaseCounts(), Counts) << Expected;
  }
  TMemoryStream In(Bytes);
  EXPECT_EQ(MessageOf([&] { Fresh<TNaiveBayes>()->LoadState(In); }),
            "Cannot load the learning state of a TLinearClassifier into a TNaiveBayes");
}

}  // namespace
