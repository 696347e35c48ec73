// The data source over Paradox folders and SQLite files, the classifiers by
// kind and from model files, and the layout the importer and the binding
// share.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Classifier.h"
#include "DBClassifier.h"
#include "DataSource.h"
#include "Exceptions.h"
#include "PropertyStream.h"
#include "SampleComponents.h"
#include "SampleImporter.h"
#include "SampleLayout.h"
#include "SampleModels.h"
#include "Table.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

class TScratch {
public:
  explicit TScratch(const std::string& Tag)
      : FPath(fs::temp_directory_path() / ("pellory-ds-" + Tag + "-" + std::to_string(::getpid()))) {
    fs::remove_all(FPath);
    fs::create_directories(FPath);
  }
  ~TScratch() {
    std::error_code Ignored;
    fs::remove_all(FPath, Ignored);
  }
  std::string operator/(const std::string& Name) const { return (FPath / Name).string(); }

private:
  fs::path FPath;
};

// Three rows of two classes; Rows picks how many are read.
TSourceDataset Tiny(size_t Rows = 3) {
  TSourceDataset D;
  D.FileName = "tiny.arff";
  D.Attributes = {{"colour", true, {"red", "green"}, 2}, {"class", true, {"yes", "no"}, 3}};
  D.ClassIndex = 1;
  const double Cells[] = {0, 0, 1, 1, 0, 1};
  for (size_t R = 0; R < Rows; ++R) {
    D.Cells.push_back(Cells[2 * R]);
    D.Cells.push_back(Cells[2 * R + 1]);
    D.Lines.push_back(static_cast<int32_t>(R) + 5);
  }
  return D;
}

}  // namespace

TEST(TDataSource, ImportReplacesAndResolvesNamesWithOrWithoutExtension) {
  const TScratch Scratch("paradox");
  const TDataSource Source(Scratch / "Data", false);  // created by the import
  EXPECT_EQ(MessageOf([&] { Source.TableNames(); }), "no folder '" + (Scratch / "Data") + "'");
  const TSourceDataset Three = Tiny(3), Two = Tiny(2);
  bool Replaced = true;
  Source.ImportTable(TSampleImporter(Three), "tiny", Replaced);
  EXPECT_FALSE(Replaced);
  EXPECT_EQ(Source.TableNames(), std::vector<std::string>{"tiny.DB"});
  Source.ImportTable(TSampleImporter(Two), "tiny.DB", Replaced);
  EXPECT_TRUE(Replaced);
  // Only the table is left in the folder: no scratch files.
  EXPECT_EQ(std::distance(fs::directory_iterator(Scratch / "Data"), fs::directory_iterator()), 1);
  for (const std::string Name : {"tiny", "TINY.db", "tiny.DB"}) EXPECT_EQ(Source.ResolveTable(Name), "tiny.DB");
  EXPECT_EQ(Source.OpenTable("TINY")->RecordCount(), 2);
  EXPECT_EQ(MessageOf([&] { Source.ResolveTable("tin"); }), "no table 'tin' in '" + (Scratch / "Data") + "'");

  EXPECT_EQ(Source.ImportTableName("a.db"), "a.db");
  EXPECT_EQ(MessageOf([&] { Source.ImportTableName("a.csv"); }), "a Paradox table name ends in .DB, not '.csv'");
  EXPECT_EQ(MessageOf([&] { Source.ImportTableName(""); }), "the table name is empty");
  EXPECT_EQ(MessageOf([&] { Source.ImportTableName("x/a"); }), "a table name holds no folder: 'x/a'");
}

TEST(TDataSource, FailedImportLeavesTheOldTable) {
  const TScratch Scratch("failed");
  const TDataSource Source(Scratch / "Data", false);
  const TSourceDataset Three = Tiny(3);
  bool Replaced = false;
  Source.ImportTable(TSampleImporter(Three), "T", Replaced);
  // A file-size limit below the table's size makes the write fail midway.
  const auto Size = static_cast<rlim_t>(fs::file_size(Scratch / "Data/T.DB"));
  const TSourceDataset Two = Tiny(2);
  EXPECT_NE(MessageUnderFileSizeLimit(Size - 1, [&] { Source.ImportTable(TSampleImporter(Two), "T", Replaced); }),
            "(no exception)");
  EXPECT_EQ(Source.OpenTable("T")->RecordCount(), 3);
  EXPECT_EQ(Source.TableNames(), std::vector<std::string>{"T.DB"});
  // Nothing of the failed write is left beside the table.
  EXPECT_EQ(std::distance(fs::directory_iterator(Scratch / "Data"), fs::directory_iterator()), 1);
}

TEST(TDataSource, SqliteNamesLoseTheExtension) {
  const TScratch Scratch("sqlite");
  const TDataSource Source(Scratch / "s.db", true);
  EXPECT_EQ(MessageOf([&] { Source.TableNames(); }), "no database file '" + (Scratch / "s.db") + "'");
  EXPECT_EQ(Source.ImportTableName("IRIS.DB"), "IRIS");
  EXPECT_EQ(Source.ImportTableName("a.csv"), "a.csv");
  const TSourceDataset Three = Tiny(3);
  bool Replaced = true;
  Source.ImportTable(TSampleImporter(Three), "iris.db", Replaced);
  EXPECT_FALSE(Replaced);
  Source.ImportTable(TSampleImporter(Three), "IRIS", Replaced);
  EXPECT_TRUE(Replaced);
  // One table, under the name of the last import.
  EXPECT_EQ(Source.TableNames(), std::vector<std::string>{"IRIS"});
  EXPECT_EQ(Source.ResolveTable("iris.DB"), "IRIS");
  EXPECT_EQ(Source.OpenTable("iris.DB")->RecordCount(), 3);
}

TEST(SampleClassifiers, ByKindThroughTheRegistryWithSampleSettings) {
  EXPECT_EQ(ClassifierClassName("lc"), "TLinearClassifier");
  EXPECT_EQ(ClassifierClassName("nb"), "TNaiveBayes");
  EXPECT_EQ(ClassifierClassName("knn"), "TKNearestNeighbors");
  EXPECT_EQ(ClassifierClassName("LC"), "");
  EXPECT_EQ(ClassifierClassName("TLinearClassifier"), "");

  const std::unique_ptr<TClassifier> NB = NewSampleClassifier("TNaiveBayes");
  ASSERT_NE(dynamic_cast<TNaiveBayes*>(NB.get()), nullptr);
  EXPECT_EQ(static_cast<TNaiveBayes&>(*NB).M(), 2);
  EXPECT_FALSE(NB->IndexesZeroBased());
  const std::unique_ptr<TClassifier> KNN = NewSampleClassifier("tknearestneighbors");
  ASSERT_NE(dynamic_cast<TKNearestNeighbors*>(KNN.get()), nullptr);
  EXPECT_TRUE(static_cast<TKNearestNeighbors&>(*KNN).StoreExamples());
  EXPECT_EQ(MessageOf([] { NewSampleClassifier("TNoSuchThing"); }), "Class TNoSuchThing not found");
}

TEST(SampleClassifiers, ModelFilesByTheirClassName) {
  const TScratch Scratch("model");
  TKNearestNeighbors Saved(nullptr);
  SetSampleSettings(Saved);
  Saved.SetDiscreteAttributeCount(1);
  Saved.LearnIndex(2, std::vector<int32_t>{3}, std::vector<double>{});
  Saved.SaveToFile(Scratch / "k.model");
  EXPECT_EQ(ModelClassName(Scratch / "k.model"), "TKNearestNeighbors");
  const std::unique_ptr<TClassifier> Loaded = LoadSampleClassifier(Scratch / "k.model");
  EXPECT_EQ(Loaded->TypeName(), "TKNearestNeighbors");
  EXPECT_EQ(Loaded->ClassCount(), 2);
  EXPECT_EQ(Loaded->DiscreteAttributeCount(), 1);

  EXPECT_EQ(MessageOf([&] { ModelClassName(Scratch / "none"); }),
            "cannot open model file '" + (Scratch / "none") + "'");
  std::ofstream(Scratch / "short", std::ios::binary) << "TPF0\x09TLin";
  EXPECT_EQ(MessageOf([&] { ModelClassName(Scratch / "short"); }), "'" + (Scratch / "short") + "' is not a model file");
  std::ofstream(Scratch / "text", std::ios::binary) << "not a model";
  EXPECT_EQ(MessageOf([&] { LoadSampleClassifier(Scratch / "text"); }), "'" + (Scratch / "text") + "' is not a model file");
  // A property block of a component that is no classifier.
  TDBClassifier Binding(nullptr);
  {
    TFileStream Out(Scratch / "binding", TFileMode::fmCreate);
    WriteComponent(Out, Binding);
  }
  EXPECT_EQ(MessageOf([&] { LoadSampleClassifier(Scratch / "binding"); }),
            "'" + (Scratch / "binding") + "' holds a TDBClassifier, not a classifier model");
}

TEST(TSampleLayout, ABindingOverAnImportedTableLearnsOnlyTheAttributes) {
  const TScratch Scratch("layout");
  const TDataSource Source(Scratch / "Data", false);
  const TSourceDataset Three = Tiny(3);
  const TSampleImporter Importer(Three);
  const std::vector<std::string> Layout = TSampleLayout::LayoutFields();
  ASSERT_EQ(Importer.Fields().size(), Layout.size() + 1);
  for (size_t I = 0; I < Layout.size(); ++I) EXPECT_EQ(Importer.Fields()[I].Name, Layout[I]);
  bool Replaced = false;
  Source.ImportTable(Importer, "T", Replaced);

  const std::unique_ptr<TTable> Table = Source.OpenTable("T");
  TLinearClassifier LC(nullptr);
  SetSampleSettings(LC);
  TDBClassifier Binding(nullptr);
  SetSampleSettings(Binding);
  Binding.SetDataset(Table.get());
  Binding.SetClassifier(&LC);
  Binding.LearnDataset(0);
  // Every layout field but the class is left out: "colour" is all that is learned.
  EXPECT_EQ(LC.DiscreteAttributeCount(), 1);
  EXPECT_EQ(LC.FloatAttributeCount(), 0);
  EXPECT_EQ(LC.ClassCount(), 2);
}

TEST(SampleModels, LearnSaveLoadAndBindToATableOfTheSameAttributes) {
  const TScratch Scratch("models");
  const TDataSource Source(Scratch / "Data", false);
  const TSourceDataset Three = Tiny(3);
  bool Replaced = false;
  Source.ImportTable(TSampleImporter(Three), "T", Replaced);
  // The same rows with one more numeric attribute.
  TSourceDataset Wider = Tiny(3);
  Wider.Attributes.insert(Wider.Attributes.begin(), {"size", false, {}, 1});
  Wider.ClassIndex = 2;
  for (size_t R = 3; R-- > 0;) Wider.Cells.insert(Wider.Cells.begin() + static_cast<std::ptrdiff_t>(2 * R), 1.5);
  Source.ImportTable(TSampleImporter(Wider), "W", Replaced);

  const std::unique_ptr<TTable> Table = Source.OpenTable("T");
  const std::unique_ptr<TClassifier> Learned = NewSampleClassifier("TNaiveBayes");
  LearnSampleTable(*Table, *Learned);
  EXPECT_EQ(Learned->ClassCount(), 2);
  EXPECT_EQ(AttributeCountText(*Learned), "1 discrete and 0 float attributes");
  Learned->SaveToFile(Scratch / "nb.model");

  const std::unique_ptr<TClassifier> Loaded = LoadSampleClassifier(Scratch / "nb.model");
  const std::unique_ptr<TDBClassifier> Binding = BindModelToTable(*Table, *Loaded);
  EXPECT_DOUBLE_EQ(Binding->ClassifyDataset(0), BindModelToTable(*Table, *Learned)->ClassifyDataset(0));
  EXPECT_GT(Binding->ClassifyDataset(0), 0.0);

  const std::unique_ptr<TTable> Other = Source.OpenTable("W");
  const std::unique_ptr<TClassifier> Again = LoadSampleClassifier(Scratch / "nb.model");
  EXPECT_EQ(MessageOf([&] { BindModelToTable(*Other, *Again); }),
            "the model has 1 discrete and 0 float attributes, table 'W.DB' gives 1 discrete and 1 float attributes");
}
