// The model stream: the exact bytes of a linear classifier's model, save and
// load round trips of all three classifiers (same decisions afterwards),
// what a load replaces, model files, and every truncation or corruption of
// a saved model ending in an error.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Classifier.h"
#include "Exceptions.h"
#include "TestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;


void Put(Bytes& B, std::initializer_list<int> Values) {
  for (int V : Values) B.push_back(static_cast<uint8_t>(V));
}
void PutShort(Bytes& B, const std::string& S) {
  B.push_back(static_cast<uint8_t>(S.size()));
  B.insert(B.end(), S.begin(), S.end());
}
void PutInt32(Bytes& B, int32_t V) {
  for (int i = 0; i < 4; ++i) B.push_back(static_cast<uint8_t>(static_cast<uint32_t>(V) >> (8 * i)));
}
void PutDouble(Bytes& B, double V) {
  uint64_t U;
  std::memcpy(&U, &V, 8);
  for (int i = 0; i < 8; ++i) B.push_back(static_cast<uint8_t>(U >> (8 * i)));
}

Bytes Save(const TClassifier& C) {
  TMemoryStream S;
  C.SaveToStream(S);
  return S.Bytes();
}

void Load(TClassifier& C, const Bytes& B) {
  TMemoryStream S(B);
  C.LoadFromStream(S);
}

// Section 1 of a new linear classifier with 2 discrete and 1 float attribute,
// up to and including UsePriorProbability.
Bytes LinearHeader(std::initializer_list<int> DiscreteCountValue = {2, 2}) {
  Bytes B = {'T', 'P', 'F', '0'};
  PutShort(B, "TLinearClassifier");
  PutShort(B, "");
  PutShort(B, "IndexesZeroBased");
  Put(B, {9});
  PutShort(B, "MissingDiscreteIndex");
  Put(B, {2, 0xFF});
  PutShort(B, "MissingFloatValue");
  Put(B, {6, 3, '9', '9', '9'});
  PutShort(B, "AttributeCount");
  Put(B, {2, 3});
  PutShort(B, "FloatAttributeCount");
  Put(B, {2, 1});
  PutShort(B, "DiscreteAttributeCount");
  Put(B, DiscreteCountValue);
  PutShort(B, "RejectProbability");
  Put(B, {5, 0x00, 0xD8, 0xA3, 0x70, 0x3D, 0x0A, 0xD7, 0xA3, 0xF8, 0x3F});  // 0.01
  PutShort(B, "UsePriorProbability");
  Put(B, {8});
  return B;
}

std::unique_ptr<TLinearClassifier> NewLinear(int32_t D, int32_t F) {
  auto C = std::make_unique<TLinearClassifier>(nullptr);
  C->SetDiscreteAttributeCount(D);
  C->SetFloatAttributeCount(F);
  return C;
}

TEST(TLinearClassifierModelStream, BytesWithoutClasses) {
  auto C = NewLinear(2, 1);
  Bytes Expected = LinearHeader();
  Put(Expected, {0, 0});
  EXPECT_EQ(Save(*C), Expected);
}

TEST(TLinearClassifierModelStream, BytesWithClassesYesAndNo) {
  auto C = NewLinear(2, 1);
  C->Classes()->Add("yes");
  C->Classes()->Add("no");
  Bytes Expected = LinearHeader();
  PutShort(Expected, "Classes.Strings");
  Put(Expected, {1, 6, 3, 'y', 'e', 's', 6, 2, 'n', 'o', 0});
  Put(Expected, {0, 0});
  for (int Item = 0; Item < 2; ++Item) {
    PutInt32(Expected, 2);  // N
    for (int r = 0; r < 2; ++r) {
      PutInt32(Expected, 0);  // Counts placeholder
      PutInt32(Expected, 0);  // ValueCount
      PutInt32(Expected, 0);  // Count
      PutInt32(Expected, 0);  // Mode
      Put(Expected, {1, 0, 0, 0});
      PutDouble(Expected, 1.0);
    }
    PutInt32(Expected, 0);  // Counts of record 0
    PutInt32(Expected, 0);  // Counts of record 1
    PutInt32(Expected, 1);  // K
    PutDouble(Expected, 0.0);
    PutDouble(Expected, 0.0);
    PutInt32(Expected, 0);
    Put(Expected, {1, 0, 0, 0});
    PutDouble(Expected, 1.0);
  }
  EXPECT_EQ(Save(*C), Expected);
}

TEST(TLinearClassifierModelStream, CountArraysAndRecordFields) {
  auto C = NewLinear(1, 1);
  C->Learn("a", std::vector<int32_t>{2}, std::vector<double>{1.5});
  C->Learn("a", std::vector<int32_t>{2}, std::vector<double>{2.5});
  C->SetAttributeEnabled(1, false);
  const Bytes B = Save(*C);
  // The tail: N, one image, the counts (8 slots: 2 x ValueCount 3, at least 8), K, one image.
  Bytes Tail;
  PutInt32(Tail, 1);
  Put(Tail, {0, 0, 0, 0});
  PutInt32(Tail, 3);
  PutInt32(Tail, 2);
  PutInt32(Tail, 2);
  Put(Tail, {1, 0, 0, 0});
  PutDouble(Tail, 1.0);
  PutInt32(Tail, 8);
  for (int v = 0; v < 8; ++v) PutInt32(Tail, v == 2 ? 2 : 0);
  PutInt32(Tail, 1);
  PutDouble(Tail, 2.0);
  PutDouble(Tail, C->Classes()->GetData(0)->Float()[0].StdDev);
  PutInt32(Tail, 2);
  Put(Tail, {0, 0, 0, 0});
  PutDouble(Tail, 1.0);
  ASSERT_GE(B.size(), Tail.size());
  EXPECT_EQ(Bytes(B.end() - static_cast<long>(Tail.size()), B.end()), Tail);
}

// --- Round trips -----------------------------------------------------------

struct Records {
  std::vector<std::vector<int32_t>> D;
  std::vector<std::vector<double>> F;
  std::vector<int32_t> Class;
};

// Three classes that differ in their value distributions, with missing
// values now and then; Balanced gives every class the same number of cases.
Records MakeRecords(size_t Count, int32_t DCount, int32_t FCount, bool Balanced, unsigned Seed) {
  std::mt19937 Random(Seed);
  Records R;
  for (size_t i = 0; i < Count; ++i) {
    const int32_t Class = Balanced ? static_cast<int32_t>(i % 3) : static_cast<int32_t>(Random() % 3);
    std::vector<int32_t> D(static_cast<size_t>(DCount));
    for (auto& V : D) V = Random() % 10 == 0 ? -1 : static_cast<int32_t>((Random() % 4 + static_cast<unsigned>(Class)) % 6);
    std::vector<double> F(static_cast<size_t>(FCount));
    for (auto& V : F) V = Random() % 12 == 0 ? 999.0 : Class * 1.5 + std::normal_distribution<double>(0, 1)(Random);
    R.D.push_back(D);
    R.F.push_back(F);
    R.Class.push_back(Class);
  }
  return R;
}

void LearnAll(TClassifier& C, const Records& R) {
  static const char* const Names[] = {"low", "mid", "high"};
  for (size_t i = 0; i < R.D.size(); ++i) C.Learn(Names[R.Class[i]], R.D[i], R.F[i]);
}

// Same decision and the same responses for every record.
void ExpectSameDecisions(TClassifier& A, TClassifier& B, const Records& R, size_t ClassCount) {
  std::vector<double> RA(ClassCount), RB(ClassCount);
  for (size_t i = 0; i < R.D.size(); ++i) {
    ASSERT_EQ(A.Classify(R.D[i], R.F[i]), B.Classify(R.D[i], R.F[i])) << "record " << i;
    ASSERT_EQ(A.ClassifyResponse(R.D[i], R.F[i], RA), B.ClassifyResponse(R.D[i], R.F[i], RB)) << "record " << i;
    ASSERT_EQ(RA, RB) << "record " << i;
  }
}

TEST(TLinearClassifierModelStream, RoundTripClassifiesAsBefore) {
  const Records R = MakeRecords(400, 4, 3, false, 1);
  auto A = NewLinear(4, 3);
  A->SetRejectProbability(0.2);
  A->SetMissingDiscreteIndex(5);
  LearnAll(*A, R);
  A->SetAttributeEnabled(2, false);
  A->SetAttributeEnabled(5, false);
  A->Classes()->GetData(1)->EditDiscrete()[0].Weight = 0.5;
  A->SetName("Model");

  TLinearClassifier B(nullptr);
  Load(B, Save(*A));
  EXPECT_EQ(B.Name(), "Model");
  EXPECT_DOUBLE_EQ(B.RejectProbability(), 0.2);
  EXPECT_EQ(B.MissingDiscreteIndex(), 5);
  ASSERT_EQ(B.Classes()->Count(), 3);
  EXPECT_EQ(B.ClassName(2), A->ClassName(2));
  EXPECT_FALSE(B.GetAttributeEnabled(2));
  EXPECT_FALSE(B.GetAttributeEnabled(5));
  EXPECT_TRUE(B.GetAttributeEnabled(3));
  EXPECT_DOUBLE_EQ(B.Classes()->GetData(1)->Discrete()[0].Weight, 0.5);
  // Learned-case counts are not stored.
  EXPECT_EQ(B.Classes()->LearnedCases(), 0);
  EXPECT_EQ(B.Classes()->GetData(0)->LearnedCases(), 0);
  ExpectSameDecisions(*A, B, R, 3);
  EXPECT_EQ(Save(B), Save(*A));
}

TEST(TLinearClassifierModelStream, WithPriorOnlyTheRecordsAreRestored) {
  const Records R = MakeRecords(300, 3, 2, false, 2);
  auto A = NewLinear(3, 2);
  A->SetUsePriorProbability(true);
  LearnAll(*A, R);
  TLinearClassifier B(nullptr);
  Load(B, Save(*A));
  EXPECT_TRUE(B.UsePriorProbability());
  // The priors become equal; with them switched off both decide alike.
  A->SetUsePriorProbability(false);
  B.SetUsePriorProbability(false);
  ExpectSameDecisions(*A, B, R, 3);
}

TEST(TNaiveBayesModelStream, RoundTripClassifiesAsBefore) {
  // Equal class sizes give equal priors before and after the load.
  const Records R = MakeRecords(300, 5, 1, true, 3);
  TNaiveBayes A(nullptr);
  A.SetDiscreteAttributeCount(5);
  A.SetFloatAttributeCount(1);
  A.SetM(4);
  LearnAll(A, R);
  A.SetAttributeEnabled(1, false);

  TNaiveBayes B(nullptr);
  B.SetDiscreteAttributeCount(5);
  B.Learn("other", std::vector<int32_t>(5, 1), std::vector<double>{});  // replaced by the load
  Load(B, Save(A));
  EXPECT_EQ(B.M(), 4);
  EXPECT_EQ(B.Classes()->Count(), 3);
  EXPECT_FALSE(B.GetAttributeEnabled(1));
  // Totals are rebuilt from the loaded counts.
  const auto& TA = A.Classes()->Totals();
  const auto& TB = B.Classes()->Totals();
  ASSERT_EQ(TA.size(), TB.size());
  for (size_t i = 0; i < TA.size(); ++i) {
    ASSERT_EQ(TA[i].ValueCount, TB[i].ValueCount);
    for (int32_t v = 0; v < TA[i].ValueCount; ++v) EXPECT_EQ(TA[i].Counts[static_cast<size_t>(v)], TB[i].Counts[static_cast<size_t>(v)]);
  }
  ExpectSameDecisions(A, B, R, 3);
}

// A reject probability of 0 (accept every best class) is not what the
// constructor gives, so it must come back from the stream as 0.
TEST(TStatisticClassifierModelStream, RejectProbabilityZeroSurvivesAReload) {
  const Records R = MakeRecords(200, 3, 2, false, 9);
  const std::vector<std::function<std::unique_ptr<TStatisticClassifier>()>> Makers = {
      [] { return std::make_unique<TLinearClassifier>(nullptr); },
      [] { return std::make_unique<TNaiveBayes>(nullptr); }};
  for (const auto& Make : Makers) {
    auto A = Make();
    A->SetDiscreteAttributeCount(3);
    A->SetFloatAttributeCount(2);
    A->SetRejectProbability(0.0);
    LearnAll(*A, R);
    auto B = Make();
    Load(*B, Save(*A));
    EXPECT_EQ(B->RejectProbability(), 0.0) << A->TypeName();
    EXPECT_EQ(Save(*B), Save(*A)) << A->TypeName();
  }
}

std::unique_ptr<TKNearestNeighbors> TrainedNeighbors(const Records& R, bool Store) {
  auto C = std::make_unique<TKNearestNeighbors>(nullptr);
  C->SetDiscreteAttributeCount(static_cast<int32_t>(R.D[0].size()));
  C->SetFloatAttributeCount(static_cast<int32_t>(R.F[0].size()));
  C->SetStoreExamples(Store);
  C->SetKNeighbors(5);
  C->SetDistanceModel(TDistanceModel::dmNorm2);
  LearnAll(*C, R);
  return C;
}

TEST(TKNearestNeighborsModelStream, RoundTripWithExamplesClassifiesAsBefore) {
  const Records R = MakeRecords(300, 3, 3, false, 4);
  auto A = TrainedNeighbors(R, true);
  A->SetAttributeEnabled(4, false);
  A->Classify(R.D[0], R.F[0]);  // scales computed once, then learning changes the ranges again
  A->Learn("extra", std::vector<int32_t>{1, 2, 3}, std::vector<double>{40, -30, 2});

  TKNearestNeighbors B(nullptr);
  Load(B, Save(*A));
  EXPECT_EQ(B.KNeighbors(), 5);
  EXPECT_EQ(B.DistanceModel(), TDistanceModel::dmNorm2);
  EXPECT_TRUE(B.StoreExamples());
  EXPECT_EQ(B.ExampleCount(), A->ExampleCount());
  EXPECT_EQ(B.ClassNames(), A->ClassNames());
  EXPECT_FALSE(B.GetAttributeEnabled(4));
  ExpectSameDecisions(*A, B, R, 4);
  EXPECT_DOUBLE_EQ(B.ClassifyTest(), A->ClassifyTest());
  EXPECT_EQ(Save(B), Save(*A));
}

TEST(TKNearestNeighborsModelStream, WithoutExamplesTheNamesRunToTheEnd) {
  const Records R = MakeRecords(50, 1, 2, false, 5);
  auto A = TrainedNeighbors(R, false);
  const Bytes B = Save(*A);
  const std::string Names = A->Classes().Text();
  ASSERT_GT(B.size(), Names.size() + 4 + 2 * 24);
  EXPECT_EQ(std::string(B.end() - static_cast<long>(Names.size()), B.end()), Names);
  Bytes SpanCount(B.end() - static_cast<long>(Names.size()) - 2 * 24 - 4, B.end() - static_cast<long>(Names.size()) - 2 * 24);
  EXPECT_EQ(SpanCount, (Bytes{2, 0, 0, 0}));

  TKNearestNeighbors C(nullptr);
  C.SetDiscreteAttributeCount(1);
  C.SetFloatAttributeCount(2);
  C.SetStoreExamples(true);
  C.Learn("x", std::vector<int32_t>{0}, std::vector<double>{1, 2});
  C.SetAttributeEnabled(1, false);
  Load(C, B);
  EXPECT_TRUE(C.GetAttributeEnabled(1));  // switches are stored with the examples only
  EXPECT_FALSE(C.StoreExamples());
  EXPECT_EQ(C.ExampleCount(), 0);
  EXPECT_EQ(C.ClassNames(), A->ClassNames());
  ASSERT_EQ(C.FloatSpans().size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(C.FloatSpans()[i].Max, A->FloatSpans()[i].Max);
    EXPECT_EQ(C.FloatSpans()[i].Min, A->FloatSpans()[i].Min);
  }
  EXPECT_EQ(Save(C), B);
}

TEST(TKNearestNeighborsModelStream, ClassNamesThatCannotBeLinesAreRefused) {
  TKNearestNeighbors C(nullptr);
  C.Learn("two\r\nlines", {}, {});
  TMemoryStream S;
  EXPECT_THROW(C.SaveToStream(S), EWriteError);
  EXPECT_EQ(S.Size(), 0);
}

// Found by fuzzing: without stored examples the names run to the end of the
// stream, so a NUL could sit inside one, a model that loaded but could not
// be saved (or copied) again.
TEST(TKNearestNeighborsModelStream, ANulInsideAClassNameIsRefused) {
  const Records R = MakeRecords(20, 1, 1, false, 3);
  auto A = TrainedNeighbors(R, false);
  Bytes B = Save(*A);
  const std::string Names = A->Classes().Text();
  B.insert(B.end() - static_cast<long>(Names.size()) + 1, 0);  // inside the first name
  TKNearestNeighbors C(nullptr);
  EXPECT_EQ(MessageOf([&] { Load(C, B); }), "Invalid stream format: class name 0 holds a NUL or a line break");
}

TEST(TKNearestNeighborsModelStream, EventEntriesAreWrittenAndSkipped) {
  TKNearestNeighbors A(nullptr);
  A.SetOnFirstRecord([](TObject*) {});
  A.SetOnClassifyTest([](TObject*, double&) {});
  const Bytes B = Save(A);
  Bytes Entry;
  PutShort(Entry, "OnFirstRecord");
  Put(Entry, {7, 0});
  EXPECT_NE(std::search(B.begin(), B.end(), Entry.begin(), Entry.end()), B.end());
  TKNearestNeighbors C(nullptr);
  Load(C, B);
  EXPECT_FALSE(static_cast<bool>(C.OnFirstRecord()));
  EXPECT_FALSE(static_cast<bool>(C.OnClassifyTest()));
}

// --- What a load replaces --------------------------------------------------

TEST(TStatisticClassifierModelStream, ModelWithoutClassesLeavesNoClasses) {
  const Bytes Empty = Save(*NewLinear(2, 1));
  auto C = NewLinear(2, 1);
  C->Learn("a", std::vector<int32_t>{1, 1}, std::vector<double>{1});
  Load(*C, Empty);
  EXPECT_EQ(C->Classes()->Count(), 0);
  EXPECT_EQ(C->Classes()->LearnedCases(), 0);
}

TEST(TStatisticClassifierModelStream, ClassOfTheStreamIsNotChecked) {
  // The stored class name is ignored; the entries decide.
  Bytes B = Save(*NewLinear(1, 0));
  TLinearClassifier C(nullptr);
  B[5] = 'X';
  Load(C, B);
  EXPECT_EQ(C.DiscreteAttributeCount(), 1);
}

// --- Model files --------------------------------------------------------------

class ModelFile : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = std::filesystem::temp_directory_path() /
          ("pellory-model-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(Dir);
  }
  void TearDown() override { std::filesystem::remove_all(Dir); }
  std::filesystem::path Dir;
};

TEST_F(ModelFile, SaveAndLoadAFile) {
  const Records R = MakeRecords(200, 2, 2, false, 6);
  auto A = NewLinear(2, 2);
  LearnAll(*A, R);
  const std::string Path = (Dir / "model.bin").string();
  A->SaveToFile(Path);
  EXPECT_EQ(std::filesystem::file_size(Path), Save(*A).size());
  A->SaveToFile(Path);  // overwritten, not appended
  EXPECT_EQ(std::filesystem::file_size(Path), Save(*A).size());
  TLinearClassifier B(nullptr);
  B.LoadFromFile(Path);
  ExpectSameDecisions(*A, B, R, 3);
}

// A save that runs out of room (here a file-size limit) keeps the old model.
TEST_F(ModelFile, FailedSaveKeepsTheModelItReplaces) {
  auto Small = NewLinear(2, 2);
  LearnAll(*Small, MakeRecords(50, 2, 2, false, 7));
  const std::string Path = (Dir / "m.model").string();
  Small->SaveToFile(Path);
  const Records R = MakeRecords(300, 2, 40, false, 8);
  auto Big = NewLinear(2, 40);
  LearnAll(*Big, R);
  ASSERT_GT(Save(*Big).size(), 2 * Save(*Small).size());
  const std::string Message =
      MessageUnderFileSizeLimit(static_cast<rlim_t>(Save(*Small).size() + 100), [&] { Big->SaveToFile(Path); });
  EXPECT_EQ(Message, "Cannot write file \"" + Path + "\". File too large; the file was not replaced");
  TLinearClassifier Loaded(nullptr);
  Loaded.LoadFromFile(Path);
  EXPECT_EQ(Save(Loaded), Save(*Small));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir), std::filesystem::directory_iterator()), 1);
}

TEST_F(ModelFile, MissingFileLeavesTheClassifierUnchanged) {
  auto C = NewLinear(2, 1);
  C->Learn("a", std::vector<int32_t>{1, 1}, std::vector<double>{1});
  const Bytes Before = Save(*C);
  C->LoadFromFile((Dir / "none.bin").string());
  EXPECT_EQ(Save(*C), Before);
}

TEST_F(ModelFile, UncreatableAndUnreadablePathsRaise) {
  auto C = NewLinear(1, 0);
  EXPECT_THROW(C->SaveToFile((Dir / "no" / "such" / "dir.bin").string()), EFCreateError);
  EXPECT_THROW(C->LoadFromFile(Dir.string()), EStreamError);  // a folder exists but is no file
}

// --- Truncated and hostile streams ------------------------------------------

// Every proper prefix of a saved model is an error, never a crash.
void ExpectEveryTruncationFails(const std::function<std::unique_ptr<TClassifier>()>& Make, const Bytes& Full,
                                const std::function<bool(size_t)>& Detectable) {
  for (size_t Length = 0; Length < Full.size(); ++Length) {
    if (!Detectable(Length)) continue;
    auto C = Make();
    Bytes Cut(Full.begin(), Full.begin() + static_cast<long>(Length));
    EXPECT_THROW(Load(*C, Cut), Exception) << "prefix of " << Length << " of " << Full.size() << " bytes";
  }
}

const auto Always = [](size_t) { return true; };

TEST(TStatisticClassifierModelStream, EveryTruncationIsAnError) {
  const Records R = MakeRecords(60, 3, 2, false, 7);
  auto A = NewLinear(3, 2);
  LearnAll(*A, R);
  ExpectEveryTruncationFails([] { return std::make_unique<TLinearClassifier>(nullptr); }, Save(*A), Always);
  TNaiveBayes B(nullptr);
  B.SetDiscreteAttributeCount(3);
  B.SetFloatAttributeCount(2);
  LearnAll(B, R);
  ExpectEveryTruncationFails([] { return std::make_unique<TNaiveBayes>(nullptr); }, Save(B), Always);
}

TEST(TKNearestNeighborsModelStream, EveryTruncationIsAnError) {
  const Records R = MakeRecords(30, 2, 2, false, 8);
  ExpectEveryTruncationFails([] { return std::make_unique<TKNearestNeighbors>(nullptr); },
                             Save(*TrainedNeighbors(R, true)), Always);
  // Without examples the names run to the end, so a cut where the names
  // begin or right after a complete name line looks like a model with fewer
  // classes; every other cut is an error.
  auto A = TrainedNeighbors(R, false);
  const Bytes Full = Save(*A);
  const size_t NamesStart = Full.size() - A->Classes().Text().size();
  ExpectEveryTruncationFails([] { return std::make_unique<TKNearestNeighbors>(nullptr); }, Full,
                             [&](size_t Length) { return Length < NamesStart || (Length > NamesStart && Full[Length - 1] != '\n'); });
}

TEST(TStatisticClassifierModelStream, FailedTailLeavesNoClasses) {
  const Records R = MakeRecords(40, 2, 1, false, 9);
  auto A = NewLinear(2, 1);
  LearnAll(*A, R);
  Bytes B = Save(*A);
  B.pop_back();
  auto C = NewLinear(2, 1);
  EXPECT_THROW(Load(*C, B), EReadError);
  EXPECT_EQ(C->Classes()->Count(), 0);
  EXPECT_EQ(C->Classify(R.D[0], R.F[0]), -1);
}

// Offset of the first item block of a linear model with classes.
size_t TailOffset(const TStatisticClassifier& C) {
  TMemoryStream S;
  C.TClassifier::SaveToStream(S);
  return static_cast<size_t>(S.Size());
}

void Poke(Bytes& B, size_t At, int32_t V) {
  for (int i = 0; i < 4; ++i) B[At + static_cast<size_t>(i)] = static_cast<uint8_t>(static_cast<uint32_t>(V) >> (8 * i));
}

TEST(TStatisticClassifierModelStream, HostileNumbersAreClearErrors) {
  auto A = NewLinear(2, 1);
  A->Learn("yes", std::vector<int32_t>{1, 3}, std::vector<double>{1});
  A->Learn("no", std::vector<int32_t>{0, 2}, std::vector<double>{2});
  const Bytes Good = Save(*A);
  const size_t Tail = TailOffset(*A);
  const size_t Image0 = Tail + 4;            // first discrete image
  const size_t Counts0 = Tail + 4 + 2 * 28;  // length of the first count array
  auto Fails = [&](const std::function<void(Bytes&)>& Edit) {
    Bytes B = Good;
    Edit(B);
    return MessageOf([&] {
      TLinearClassifier C(nullptr);
      Load(C, B);
    });
  };
  EXPECT_EQ(Fails([&](Bytes& B) { Poke(B, Tail, 0x7FFFFFFF); }),
            "Invalid stream format: 2147483647 discrete records for 2 discrete attributes");
  EXPECT_EQ(Fails([&](Bytes& B) { Poke(B, Tail, -1); }), "Invalid stream format: negative discrete record count (-1)");
  EXPECT_EQ(Fails([&](Bytes& B) { Poke(B, Counts0, 0x7FFFFFFF); }), "Stream read error");
  EXPECT_EQ(Fails([&](Bytes& B) { Poke(B, Counts0, -8); }), "Invalid stream format: negative count array length (-8)");
  EXPECT_EQ(Fails([&](Bytes& B) { Poke(B, Image0 + 4, 9); }), "Invalid stream format: ValueCount 9 with 8 counts");
  EXPECT_EQ(Fails([&](Bytes& B) { Poke(B, Image0 + 12, 5); }), "Invalid stream format: Mode 5");
  EXPECT_EQ(Fails([&](Bytes& B) { Poke(B, Counts0 + 4, -3); }), "Invalid stream format: negative value count -3");
  // A count far beyond any table, with no classes to bound it.
  Bytes Huge = LinearHeader({4, 0xFF, 0xFF, 0xFF, 0x7F});
  Put(Huge, {0, 0});
  EXPECT_EQ(MessageOf([&] {
              TLinearClassifier C(nullptr);
              Load(C, Huge);
            }),
            "Invalid property value: DiscreteAttributeCount = 2147483647 (more than 1048576 attributes)");
  // The same count given twice: the check saw only the last value, while
  // the read applied the first, huge one (fuzz finding).
  Bytes Twice = LinearHeader({4, 0xFF, 0xFF, 0xFF, 0x7F});
  PutShort(Twice, "DiscreteAttributeCount");
  Put(Twice, {2, 2});
  Put(Twice, {0, 0});
  EXPECT_EQ(MessageOf([&] {
              TLinearClassifier C(nullptr);
              Load(C, Twice);
            }),
            "Invalid stream format: property DiscreteAttributeCount given twice");
}

void PokeDouble(Bytes& B, size_t At, double V) {
  uint64_t U;
  std::memcpy(&U, &V, 8);
  for (int i = 0; i < 8; ++i) B[At + static_cast<size_t>(i)] = static_cast<uint8_t>(U >> (8 * i));
}

// Statistics that no learning produces are refused by name: a negative
// deviation once loaded and then made the float score index its table with
// a negative z.
TEST(TStatisticClassifierModelStream, StatisticsNoLearningGivesAreRefused) {
  auto A = NewLinear(2, 1);
  A->Learn("yes", std::vector<int32_t>{1, 3}, std::vector<double>{1});
  A->Learn("yes", std::vector<int32_t>{1, 3}, std::vector<double>{2});
  const Bytes Good = Save(*A);
  const size_t Tail = TailOffset(*A);
  const size_t Image0 = Tail + 4;
  const size_t Float0 = Tail + 4 + 2 * 28 + 2 * (4 + 8 * 4) + 4;  // first float image
  auto Fails = [&](size_t At, double V) {
    Bytes B = Good;
    PokeDouble(B, At, V);
    TLinearClassifier C(nullptr);
    const std::string Message = MessageOf([&] { Load(C, B); });
    EXPECT_EQ(C.Classes()->Count(), 0) << Message;
    return Message;
  };
  const double NaN = std::numeric_limits<double>::quiet_NaN(), Inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(Fails(Float0 + 8, -0.5), "Invalid stream format: StdDev -0.5");
  EXPECT_EQ(Fails(Float0 + 8, Inf), "Invalid stream format: StdDev INF");
  EXPECT_EQ(Fails(Float0 + 8, NaN), "Invalid stream format: StdDev NAN");
  EXPECT_EQ(Fails(Float0, -Inf), "Invalid stream format: Mean -INF");
  EXPECT_EQ(Fails(Float0 + 24, NaN), "Invalid stream format: Weight NAN");
  EXPECT_EQ(Fails(Image0 + 20, Inf), "Invalid stream format: Weight INF");

  // The edges of what learning gives still load and classify: a deviation
  // of 0 (one value learned) and a mean far out.
  Bytes Edge = Good;
  PokeDouble(Edge, Float0 + 8, 0.0);
  PokeDouble(Edge, Float0, -1e300);
  TLinearClassifier C(nullptr);
  Load(C, Edge);
  EXPECT_EQ(C.Classify(std::vector<int32_t>{1, 3}, std::vector<double>{-1e300}), 0);
  EXPECT_EQ(C.Classify(std::vector<int32_t>{1, 3}, std::vector<double>{5}), 0);
}

TEST(TStatisticClassifierModelStream, ClassesWithoutRoomForTheirBlocksFailEarly) {
  // 100000 discrete attributes and two classes, but no item blocks: the
  // load stops before creating the classes' records.
  auto A = NewLinear(100000, 0);
  A->Classes()->Add("a");
  A->Classes()->Add("b");
  TMemoryStream S;
  A->TClassifier::SaveToStream(S);
  TLinearClassifier C(nullptr);
  C.Learn("old", {}, {});
  S.SetPosition(0);
  EXPECT_THROW(C.LoadFromStream(S), EReadError);
  EXPECT_EQ(C.DiscreteAttributeCount(), 0);  // nothing was applied
  EXPECT_EQ(C.Classes()->Count(), 1);
}

TEST(TKNearestNeighborsModelStream, HostileTailsAreClearErrors) {
  const Records R = MakeRecords(10, 1, 1, false, 10);
  auto A = TrainedNeighbors(R, true);
  const Bytes Good = Save(*A);
  TMemoryStream Block;
  A->TClassifier::SaveToStream(Block);
  const size_t Spans = static_cast<size_t>(Block.Size());
  const size_t Names = Spans + 4 + 24;
  const size_t Delimiter = Names + A->Classes().Text().size();
  ASSERT_EQ(Good[Delimiter], 0);
  const size_t Switches = Delimiter + 1 + 4;  // after the flags: one byte per attribute
  const size_t Count = Switches + 2;
  const size_t Examples = Count + 4;
  auto Fails = [&](const std::function<void(Bytes&)>& Edit) {
    Bytes B = Good;
    Edit(B);
    return MessageOf([&] {
      TKNearestNeighbors C(nullptr);
      Load(C, B);
    });
  };
  EXPECT_EQ(Fails([&](Bytes& B) { Poke(B, Spans, 2); }), "Invalid stream format: 2 float spans for 1 float attributes");
  EXPECT_EQ(Fails([&](Bytes& B) { Poke(B, Spans, -1); }), "Invalid stream format: negative span count (-1)");
  EXPECT_EQ(Fails([&](Bytes& B) { B.erase(B.begin() + static_cast<long>(Delimiter)); }).substr(0, 21),
            "Invalid stream format");
  EXPECT_EQ(Fails([&](Bytes& B) { B[Switches + 1] = 2; }), "Invalid stream format: attribute switch 2");
  EXPECT_EQ(Fails([&](Bytes& B) { Poke(B, Count, 0x7FFFFFFF); }), "Stream read error");
  const int32_t Classes = A->Classes().Count();
  EXPECT_EQ(Fails([&](Bytes& B) { Poke(B, Examples, Classes); }),
            "Invalid stream format: example class " + std::to_string(Classes) + " is not one of " +
                std::to_string(Classes) + " classes");
  EXPECT_EQ(Fails([&](Bytes& B) { Poke(B, Examples + 4, 0x40000000); }), "Stream read error");
  EXPECT_EQ(Fails([&](Bytes& B) { Poke(B, Examples + 8, -2); }), "Invalid stream format: negative example length (-2)");
  EXPECT_EQ(Fails([&](Bytes& B) { B.push_back(0); }), "Invalid stream format: 1 bytes after the stored examples");
  // Spans are Scale, Max, Min: learning never leaves Min above Max, nor a
  // negative or infinite scale.
  EXPECT_THAT(Fails([&](Bytes& B) { PokeDouble(B, Spans + 4 + 16, 1e9); }),
              testing::StartsWith("Invalid stream format: float span 0: Min 1e+09 with Max "));
  EXPECT_THAT(Fails([&](Bytes& B) { PokeDouble(B, Spans + 4 + 8, std::numeric_limits<double>::quiet_NaN()); }),
              testing::EndsWith(" with Max NAN"));
  EXPECT_EQ(Fails([&](Bytes& B) { PokeDouble(B, Spans + 4, -0.25); }),
            "Invalid stream format: float span 0: Scale -0.25");
}

}  // namespace
