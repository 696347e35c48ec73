// LearnDatasetInShards: the model of LearnDataset, also where shards cannot
// be learned apart (codes from a growing value list); the binding's own
// dataset returns to its row; shard datasets that disagree are refused.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "BindingTables.h"
#include "Classifier.h"
#include "ClassifierUnit.h"
#include "DBClassifier.h"
#include "ShardLearning.h"
#include "Stream.h"
#include "Table.h"
#include "TestSupport.h"

namespace {

class TShardLearning : public ::testing::Test {
protected:
  void SetUp() override { InitializeClassifierUnit(); }
  void TearDown() override { FinalizeClassifierUnit(); }
};

std::vector<uint8_t> ModelOf(TStore Store, const std::string& Name, int32_t Threads) {
  auto Table = OpenTable(Store, Name);
  TNaiveBayes C(nullptr);
  TDBClassifier B(nullptr);
  B.SetDataset(Table.get());
  B.SetClassifier(&C);
  B.SetClassField("Class");
  B.SetAutoAttributes(true);
  B.DataType().SetSmallInt(TAttributeType::atDiscreteIndexed);
  if (Threads == 0) {
    B.LearnDataset(0);
  } else {
    MoveToId(*Table, 2);
    LearnDatasetInShards(B, Threads, [&] { return std::unique_ptr<TDataSet>(OpenTable(Store, Name)); });
    EXPECT_EQ(CurrentId(*Table), 2);
  }
  TMemoryStream S;
  C.SaveToStream(S);
  return S.Bytes();
}

// SHARED's text column A numbers "red" 0 until "blue" arrives and sorts in
// front: a shard starting later would number it otherwise, so such a table
// is learned in one pass. KNN has only indexed and float columns.
TEST_F(TShardLearning, GivesTheModelOfOnePass) {
  for (TStore S : AllStores) {
    SCOPED_TRACE(StoreName(S));
    for (const char* Name : {"SHARED", "KNN"})
      for (int32_t Threads : {2, 3, 5}) EXPECT_EQ(ModelOf(S, Name, Threads), ModelOf(S, Name, 0)) << Name << Threads;
  }
}

TEST_F(TShardLearning, RefusesShardDatasetsWithOtherRows) {
  auto Table = OpenTable(TStore::Paradox, "KNN");
  TNaiveBayes C(nullptr);
  TDBClassifier B(nullptr);
  B.SetDataset(Table.get());
  B.SetClassifier(&C);
  B.SetClassField("Class");
  B.SetAutoAttributes(true);
  B.DataType().SetSmallInt(TAttributeType::atDiscreteIndexed);
  EXPECT_EQ(MessageOf([&] {
              LearnDatasetInShards(B, 2, [] {
                auto Other = OpenTable(TStore::Paradox, "KNN");
                Other->SetFilter("Class = 1");
                Other->SetFiltered(true);
                return std::unique_ptr<TDataSet>(std::move(Other));
              });
            }),
            "Shard dataset has 3 rows, the table 5");
  EXPECT_EQ(C.Classes()->LearnedCases(), 0);
}

}  // namespace
