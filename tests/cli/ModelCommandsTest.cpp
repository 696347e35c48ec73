// train then classify: the printed rows and accuracy agree with what the
// binding's ClassifyDataset gives for the saved model.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Classifier.h"
#include "Convert.h"
#include "DBClassifier.h"
#include "SampleComponents.h"
#include "SampleDatabase.h"
#include "Session.h"
#include "Table.h"
#include "ToolFolder.h"
#include "ToolRun.h"

namespace {

class TrainThenClassify : public ::testing::TestWithParam<std::string> {
protected:
  static void SetUpTestSuite() {
    Folder = new TToolFolder("model");
    // Nominal and numeric attributes with missing values in both.
    const TToolRun R = Pellory({"import", std::string(PELLORY_SOURCE_DIR) + "/data/labor.arff", "LABO.DB", "--data",
                                Folder->Path()});
    ASSERT_EQ(R.Status, 0) << R.Err;
  }
  static void TearDownTestSuite() {
    delete Folder;
    Folder = nullptr;
  }
  static TToolFolder* Folder;
};

TToolFolder* TrainThenClassify::Folder = nullptr;

// What the binding measures for the model file, outside the tool.
template <class T>
double BindingAccuracy(const std::string& Data, const std::string& Model) {
  auto Session = std::make_unique<TSession>(nullptr);
  EnsureSampleAlias(*Session, Data);
  auto Table = std::make_unique<TTable>(nullptr, Session.get());
  Table->SetDatabaseName(SampleAlias);
  Table->SetTableName("LABO.DB");
  Table->Open();
  auto Classifier = std::make_unique<T>(nullptr);
  SetSampleSettings(*Classifier);
  Classifier->LoadFromFile(Model);
  auto Binding = std::make_unique<TDBClassifier>(nullptr);
  SetSampleSettings(*Binding);
  Binding->SetDataset(Table.get());
  Binding->SetClassifier(Classifier.get());
  Binding->CreateAttributes();
  Binding->PrepareAttributes();
  return Binding->ClassifyDataset(0);
}

}  // namespace

TEST_P(TrainThenClassify, AccuracyIsTheBindingsAccuracy) {
  const std::string Kind = GetParam();
  const std::string Model = *Folder / (Kind + ".model");
  std::vector<std::string> Train = {"train", "LABO.DB", "--classifier", Kind, "--model", Model, "--data", Folder->Path()};
  if (Kind == "knn") Train.insert(Train.end(), {"--k", "5"});
  const TToolRun Trained = Pellory(Train);
  ASSERT_EQ(Trained.Status, 0) << Trained.Err;
  EXPECT_EQ(Lines(Trained.Out)[0].rfind("LABO.DB: 57 rows learned by ", 0), 0u) << Trained.Out;

  const TToolRun R = Pellory({"classify", "LABO.DB", "--model", Model, "--data", Folder->Path()});
  ASSERT_EQ(R.Status, 0) << R.Err;
  const std::vector<std::string> L = Lines(R.Out);
  ASSERT_EQ(L.size(), 59u);
  EXPECT_EQ(L[0], "ID\tGuessed class\tActual class");
  int Right = 0;
  for (size_t I = 1; I <= 57; ++I) {
    const std::string& Line = L[I];
    const size_t A = Line.find('\t');
    const size_t B = Line.find('\t', A + 1);
    ASSERT_NE(B, std::string::npos) << Line;
    EXPECT_EQ(Line.substr(0, A), std::to_string(I));
    const std::string Actual = Line.substr(B + 1);
    EXPECT_TRUE(Actual == "1" || Actual == "2") << Line;
    Right += Line.substr(A + 1, B - A - 1) == Actual;
  }
  double Expected = 0;
  if (Kind == "lc") Expected = BindingAccuracy<TLinearClassifier>(Folder->Path(), Model);
  if (Kind == "nb") Expected = BindingAccuracy<TNaiveBayes>(Folder->Path(), Model);
  if (Kind == "knn") Expected = BindingAccuracy<TKNearestNeighbors>(Folder->Path(), Model);
  EXPECT_EQ(L[58], "Accuracy [%]: " + FormatFixed(Expected, 2));
  EXPECT_EQ(L[58], "Accuracy [%]: " + FormatFixed(Right * 100.0 / 57, 2));
  // A learned model does far better than the majority share (65 %).
  EXPECT_GT(Right, 40) << Kind;
}

INSTANTIATE_TEST_SUITE_P(Classifiers, TrainThenClassify, ::testing::Values("lc", "nb", "knn"));

TEST(ClassifyCommand, RefusesModelsThatDoNotFit) {
  TToolFolder Folder("model-misfit");
  const std::string Data = Folder.Path();
  ASSERT_EQ(Pellory({"import", std::string(PELLORY_SOURCE_DIR) + "/data/iris.arff", "IRIS.DB", "--data", Data}).Status, 0);
  ASSERT_EQ(Pellory({"import", std::string(PELLORY_SOURCE_DIR) + "/data/vote.arff", "VOTE.DB", "--data", Data}).Status, 0);
  const std::string Model = Folder / "iris.model";
  ASSERT_EQ(Pellory({"train", "IRIS.DB", "--classifier", "lc", "--model", Model, "--data", Data}).Status, 0);

  TToolRun R = Pellory({"classify", "VOTE.DB", "--model", Model, "--data", Data});
  EXPECT_EQ(R.Status, 1);
  EXPECT_NE(R.Err.find("the model has 0 discrete and 4 float attributes"), std::string::npos) << R.Err;
  EXPECT_TRUE(R.Out.empty());

  R = Pellory({"classify", "IRIS.DB", "--model", Folder / "none.model", "--data", Data});
  EXPECT_EQ(R.Status, 1);
  EXPECT_NE(R.Err.find("cannot open model file"), std::string::npos) << R.Err;

  R = Pellory({"classify", "IRIS.DB", "--model", Folder.Write("junk.model", "not a model"), "--data", Data});
  EXPECT_EQ(R.Status, 1);
  EXPECT_NE(R.Err.find("is not a model file"), std::string::npos) << R.Err;

  R = Pellory({"train", "IRIS.DB", "--classifier", "nb", "--k", "3", "--model", Model, "--data", Data});
  EXPECT_EQ(R.Status, 2);
}

TEST(ClassifyCommand, ThreadsPrintWhatOneThreadPrints) {
  // Satellite's 6,435 rows make two batches, so reading one batch while the
  // one before is classified is exercised; k-NN, slower, on 1,000 rows.
  TToolFolder Folder("model-threads");
  const std::string Data = Folder.Path();
  struct TCase {
    std::string Arff, Table, Kind;
    size_t Rows;
  };
  const std::vector<TCase> Cases = {{"satellite", "SATI.DB", "lc", 6435},
                                    {"satellite", "SATI.DB", "nb", 6435},
                                    {"credit-g", "CRED.DB", "knn", 1000}};
  for (const TCase& C : Cases) {
    if (!std::filesystem::exists(Folder / C.Table)) {
      const std::string Arff = std::string(PELLORY_SOURCE_DIR) + "/data/" + C.Arff + ".arff";
      ASSERT_EQ(Pellory({"import", Arff, C.Table, "--data", Data}).Status, 0);
    }
    const std::string Model = Folder / (C.Kind + ".model");
    ASSERT_EQ(Pellory({"train", C.Table, "--classifier", C.Kind, "--model", Model, "--data", Data}).Status, 0) << C.Kind;
    const TToolRun One = Pellory({"classify", C.Table, "--model", Model, "--data", Data});
    ASSERT_EQ(One.Status, 0) << One.Err;
    ASSERT_EQ(Lines(One.Out).size(), C.Rows + 2) << C.Kind;
    for (const std::string Threads : {"2", "3", "64"}) {
      const TToolRun Many = Pellory({"classify", C.Table, "--model", Model, "--threads", Threads, "--data", Data});
      ASSERT_EQ(Many.Status, 0) << Many.Err;
      EXPECT_EQ(Many.Out, One.Out) << C.Kind << " with " << Threads << " threads";
    }
  }
}
