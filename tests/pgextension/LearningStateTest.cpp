// The aggregate's state and the classify cache without a server: settings,
// the trip through bytes, and the reading of SQL arrays with nulls. (Rows
// and shards that disagree are refused in the server tests.)
#include <gtest/gtest.h>

#include <cmath>

#include "Classifier.h"
#include "LearnSettings.h"
#include "LearningState.h"
#include "ModelCache.h"
#include "TestSupport.h"

namespace {

TSqlArray<int32_t> Ints(const std::vector<int32_t>& V) { return {V.data(), nullptr, static_cast<int32_t>(V.size())}; }
TSqlArray<double> Floats(const std::vector<double>& V) { return {V.data(), nullptr, static_cast<int32_t>(V.size())}; }

// A state of Kind that learned Rows rows of two discrete and one float value.
std::unique_ptr<TLearningState> Learned(const std::string& Kind, int32_t Rows, int32_t First = 0) {
  auto S = std::make_unique<TLearningState>(Kind, "", 2, 1);
  for (int32_t I = First; I < First + Rows; ++I) {
    const std::vector<int32_t> D{I % 3, I % 5};
    const std::vector<double> F{I * 0.25 + std::sin(I)};
    S->LearnCoded(I % 4, Ints(D), Floats(F));
  }
  return S;
}

std::vector<uint8_t> ModelOf(TLearningState& S) {
  const std::span<const uint8_t> Bytes = S.WriteModel();
  return {Bytes.begin(), Bytes.end()};
}

}  // namespace

TEST(LearnSettings, SetWhatTheTextSaysOrNameTheFault) {
  const auto Knn = NewLearningClassifier("knn", " K=3,distance=Norm1 ");
  EXPECT_EQ(dynamic_cast<TKNearestNeighbors&>(*Knn).KNeighbors(), 3);
  EXPECT_EQ(dynamic_cast<TKNearestNeighbors&>(*Knn).DistanceModel(), TDistanceModel::dmNorm1);
  const auto Lc = NewLearningClassifier("lc", "reject=0.25 prior=off");
  EXPECT_EQ(dynamic_cast<TLinearClassifier&>(*Lc).RejectProbability(), 0.25);
  EXPECT_FALSE(dynamic_cast<TLinearClassifier&>(*Lc).UsePriorProbability());
  EXPECT_EQ(dynamic_cast<TNaiveBayes&>(*NewLearningClassifier("nb", "m=5")).M(), 5);

  const struct {
    const char* Kind;
    const char* Settings;
    const char* Message;
  } Faults[] = {
      {"tree", "", "kind 'tree' is not one of lc, nb, knn"},
      {"nb", "Q=1", "unknown setting 'Q'; the settings are K, M, reject, prior, distance"},
      {"lc", "K=3", "setting 'K' applies to knn only, not lc"},
      {"knn", "K=0", "setting 'K': '0' is not an integer from 1 to 50"},
      {"knn", "K=2.5", "setting 'K': '2.5' is not an integer from 1 to 50"},
      {"nb", "reject=1.5", "setting 'reject': '1.5' is not a number from 0 to 1"},
      {"nb", "reject=0.1x", "setting 'reject': '0.1x' is not a number from 0 to 1"},
      {"lc", "prior=maybe", "setting 'prior': 'maybe' is not on or off"},
      {"knn", "distance=norm3", "setting 'distance': 'norm3' is not norm1 or norm2"},
      {"lc", "reject", "setting 'reject' is not KEY=VALUE"},
  };
  for (const auto& F : Faults)
    EXPECT_EQ(MessageOf([&] { NewLearningClassifier(F.Kind, F.Settings); }), F.Message) << F.Settings;
}

// Nulls are read from the bitmap bit by bit across its bytes; a missing
// element takes the classifier's missing value.
TEST(SqlArray, NullElementsBecomeTheMissingValue) {
  const int32_t Present[] = {5, 7, 9};
  const uint8_t Bitmap[] = {0b00000101, 0b00000010};  // elements 0, 2 and 9
  const TSqlArray<int32_t> A{Present, Bitmap, 10};
  std::vector<int32_t> Record(10);
  A.Fill(Record, -1);
  EXPECT_EQ(Record, (std::vector<int32_t>{5, -1, 7, -1, -1, -1, -1, -1, -1, 9}));
}

// A state that travels as bytes keeps the learned-case counts the model
// stream drops, and merges as the state it came from would have.
TEST(TLearningState, StatesTravelAsBytesAndMergeIntoSequentialLearning) {
  for (const std::string Kind : {"lc", "nb", "knn"}) {
    SCOPED_TRACE(Kind);
    const auto Whole = Learned(Kind, 300);
    auto Front = Learned(Kind, 120);
    const auto Back = TLearningState::Deserialize(Learned(Kind, 180, 120)->Serialize());
    Front->Merge(*Back);
    const auto Travelled = TLearningState::Deserialize(Front->Serialize());
    if (Kind != "lc") {
      EXPECT_EQ(ModelOf(*Travelled), ModelOf(*Whole));
    }
    if (const auto* S = dynamic_cast<const TStatisticClassifier*>(&Travelled->Classifier())) {
      const auto& W = dynamic_cast<const TStatisticClassifier&>(Whole->Classifier());
      for (int32_t I = 0; I < S->ClassCount(); ++I) {
        EXPECT_EQ(S->Classes()->GetData(I)->LearnedCases(), W.Classes()->GetData(I)->LearnedCases());
      }
    }
  }
}

TEST(TLearningState, DamagedBytesRaiseAndNeverCrash) {
  auto S = Learned("knn", 20);
  const std::span<const uint8_t> Bytes = S->Serialize();
  const std::vector<uint8_t> Whole(Bytes.begin(), Bytes.end());
  for (size_t Length = 0; Length < Whole.size(); ++Length) {
    const std::vector<uint8_t> Cut(Whole.begin(), Whole.begin() + static_cast<std::ptrdiff_t>(Length));
    EXPECT_THROW(TLearningState::Deserialize(Cut), Exception) << Length;
  }
}

TEST(TModelCache, KeepsOneModelAndChecksEachRow) {
  auto S = Learned("lc", 50);
  const std::vector<uint8_t> Model = ModelOf(*S);
  TModelCache Cache;
  const std::vector<uint8_t> Key{1, 2, 3};
  EXPECT_FALSE(Cache.Holds(Key));
  Cache.Load(Key, Model);
  EXPECT_TRUE(Cache.Holds(Key));
  EXPECT_FALSE(Cache.Holds(std::vector<uint8_t>{1, 2, 4}));
  const std::vector<int32_t> D{1, 2};
  const std::vector<double> F{0.5};
  EXPECT_EQ(Cache.Responses(Ints(D), Floats(F)).size(), 4u);
  EXPECT_EQ(MessageOf([&] { Cache.Load(Key, std::vector<uint8_t>(Model.begin(), Model.begin() + 40)); }).substr(0, 25),
            "the model is damaged: Str");
  EXPECT_FALSE(Cache.Holds(Key));
}
