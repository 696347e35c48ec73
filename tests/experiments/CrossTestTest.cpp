// The cross test over small tables whose splits make every accuracy
// predictable by hand.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Classifier.h"
#include "CrossTest.h"
#include "DBClassifier.h"
#include "Exceptions.h"
#include "SampleDatabase.h"
#include "Session.h"
#include "Table.h"
#include "TableWriter.h"

namespace fs = std::filesystem;

namespace {

// Eight rows, one discrete attribute A that names the class, except row 8
// (class 2, A = 1), which every classifier gets wrong when it is tested.
struct TRow {
  int32_t Class;
  int32_t A;
};
const std::vector<TRow> Rows = {{1, 1}, {1, 1}, {1, 1}, {1, 1}, {2, 2}, {2, 2}, {2, 2}, {2, 1}};

// Split 0 tests rows 1 and 8 (50 % right), split 1 rows 2 and 3 (100 %);
// the others repeat split 0.
bool InTestPart(int32_t Split, int32_t Id) {
  if (Split == 1) return Id == 2 || Id == 3;
  return Id == 1 || Id == 8;
}

void WriteTable(const fs::path& File, int32_t SplitFields = 32) {
  std::vector<TFieldDef> Fields = {{"ID", ftInteger, 0}, {"Class", ftSmallint, 0}, {"Value", ftFloat, 0}};
  for (int32_t S = 0; S < SplitFields; ++S) Fields.push_back({"Split" + std::to_string(S), ftSmallint, 0});
  Fields.push_back({"A", ftSmallint, 0});
  auto Writer = CreateParadoxTable(File.string(), Fields);
  for (int32_t Id = 1; Id <= static_cast<int32_t>(Rows.size()); ++Id) {
    const TRow& R = Rows[static_cast<size_t>(Id - 1)];
    std::vector<TFieldValue> Cells;
    Cells.emplace_back(Id);
    Cells.emplace_back(R.Class);
    Cells.emplace_back(0.0);
    for (int32_t S = 0; S < SplitFields; ++S) Cells.emplace_back(InTestPart(S, Id) ? 1 : 0);
    Cells.emplace_back(R.A);
    Writer->AppendRow(Cells);
  }
  Writer->Close();
}

class TCrossTestOnTables : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    Folder = new fs::path(fs::temp_directory_path() / ("pellory-crosstest-" + std::to_string(::getpid())));
    fs::create_directories(*Folder);
    WriteTable(*Folder / "ALFA.DB");
    WriteTable(*Folder / "SATI.DB");
    WriteTable(*Folder / "Test1.DB");
    WriteTable(*Folder / "beta.DB");
  }
  static void TearDownTestSuite() {
    fs::remove_all(*Folder);
    delete Folder;
    Folder = nullptr;
  }

  void SetUp() override {
    Session = std::make_unique<TSession>(nullptr);
    Test = std::make_unique<TCrossTest>(nullptr, *Session, Folder->string());
    Test->SetKNeighbors(3);
  }

  // The grid row of a table after a run (tables sorted, letter case ignored).
  int32_t RowOf(const std::string& Table) const {
    const std::vector<std::string>& List = Test->TableList();
    for (size_t I = 0; I < List.size(); ++I)
      if (List[I] == Table) return static_cast<int32_t>(I) + 1;
    return -1;
  }

  static fs::path* Folder;
  std::unique_ptr<TSession> Session;
  std::unique_ptr<TCrossTest> Test;
};

fs::path* TCrossTestOnTables::Folder = nullptr;

}  // namespace

TEST_F(TCrossTestOnTables, ComponentsCarryThePageSettings) {
  const TLinearClassifier& LC = Test->LC();
  EXPECT_FALSE(LC.IndexesZeroBased());
  EXPECT_EQ(LC.MissingDiscreteIndex(), -1);
  EXPECT_EQ(LC.MissingFloatValue(), "999");
  EXPECT_DOUBLE_EQ(LC.RejectProbability(), 1e-7);
  EXPECT_TRUE(LC.UsePriorProbability());
  EXPECT_EQ(Test->NB().M(), 2);
  EXPECT_DOUBLE_EQ(Test->NB().RejectProbability(), 1e-7);
  const TKNearestNeighbors& KNN = Test->KNN();
  EXPECT_EQ(KNN.LeaveOneOut(), -1);
  EXPECT_EQ(KNN.DistanceModel(), TDistanceModel::dmNorm2);
  EXPECT_TRUE(KNN.StoreExamples());
  EXPECT_TRUE(KNN.InternalPruning());
  const TDBClassifier& DBLC = Test->DBLC();
  EXPECT_EQ(DBLC.Classifier(), &Test->LC());
  EXPECT_EQ(DBLC.Dataset(), &Test->DataTable());
  EXPECT_EQ(DBLC.ClassField(), "Class");
  EXPECT_TRUE(DBLC.AutoAttributes());
  EXPECT_EQ(DBLC.MissingDiscreteValue(), "999");
  EXPECT_EQ(DBLC.MissingDiscreteIndex(), 999);
  const std::vector<std::string> Ignored = DBLC.IgnoreFieldNames();
  ASSERT_EQ(Ignored.size(), 34u);
  EXPECT_EQ(Ignored[0], "ID");
  EXPECT_EQ(Ignored[1], "Value");
  EXPECT_EQ(Ignored[33], "Split31");
  EXPECT_EQ(DBLC.DataType().KindOf(ftSmallint), TAttributeKind::akDiscreteIndexed);
  EXPECT_EQ(DBLC.DataType().KindOf(ftString), TAttributeKind::akFloat);
  EXPECT_EQ(DBLC.DataType().KindOf(ftBoolean), TAttributeKind::akFloat);
  EXPECT_EQ(DBLC.DataType().KindOf(ftInteger), TAttributeKind::akFloat);
  EXPECT_EQ(Test->DataTable().DatabaseName(), SampleAlias);
  EXPECT_EQ(Test->TableList(), (std::vector<std::string>{"ALFA.DB", "beta.DB", "SATI.DB", "Test1.DB"}));
  EXPECT_EQ(Test->Runs(), 1);
  EXPECT_FALSE(Test->Pruning());
}

TEST_F(TCrossTestOnTables, RunsAndNeighboursStayInTheirRanges) {
  EXPECT_THROW(Test->SetRuns(0), Exception);
  EXPECT_THROW(Test->SetRuns(31), Exception);
  EXPECT_THROW(Test->SetKNeighbors(0), Exception);
  EXPECT_THROW(Test->SetKNeighbors(51), Exception);
  Test->SetRuns(30);
  Test->SetKNeighbors(50);
  EXPECT_EQ(Test->Runs(), 30);
  EXPECT_EQ(Test->KNN().KNeighbors(), 50);
}

TEST_F(TCrossTestOnTables, OneRunLearnsAndTestsEveryRow) {
  Test->SetTableList({"ALFA.DB"});
  Test->Run();
  const TResultGrid& G = Test->ResultGrid();
  // All eight rows learned and tested: only row 8 is wrong.
  EXPECT_EQ(G.Row(0), TCrossTest::Headings());
  EXPECT_EQ(G.Row(1), (std::vector<std::string>{"ALFA.DB", "87.50+/-0.00", "87.50+/-0.00", "87.50+/-0.00",
                                                 "8.00+/-0.00", "50.00+/-0.00", G.Cell(6, 1)}));
  EXPECT_EQ(G.Cell(6, 1).substr(G.Cell(6, 1).size() - 7), "+/-0.00");
  EXPECT_EQ(G.Cell(0, 2), "Time [min:sec]");
  for (int32_t C = 1; C <= 3; ++C) EXPECT_EQ(G.Cell(C, 2).size(), 5u) << G.Cell(C, 2);
}

TEST_F(TCrossTestOnTables, TwoRunsGiveTheHandComputedSummaries) {
  Test->SetTableList({"ALFA.DB"});
  Test->SetRuns(2);
  Test->Run();
  const TResultGrid& G = Test->ResultGrid();
  // Accuracies 50 and 100: mean 75, spread sqrt(2 x 25^2 / 1) = 35.355.
  EXPECT_EQ(G.Cell(1, 1), "75.00+/-35.36");
  EXPECT_EQ(G.Cell(2, 1), "75.00+/-35.36");
  EXPECT_EQ(G.Cell(3, 1), "75.00+/-35.36");
  EXPECT_EQ(G.Cell(4, 1), "2.00+/-0.00");
  // Majority share of the learning parts: 3 of 6, then 4 of 6.
  EXPECT_EQ(G.Cell(5, 1), "58.33+/-11.79");
}

TEST_F(TCrossTestOnTables, Test1IsSkippedAndTheTimeRowFollowsEveryTable) {
  // Given unsorted: the run sorts ignoring letter case.
  Test->SetTableList({"Test1.DB", "SATI.DB", "beta.DB", "ALFA.DB"});
  std::vector<std::string> Opened;
  Test->SetOnProgress([&](const TCrossTestProgress& P) {
    if (P.Split < 0 && !P.Optimizing) Opened.push_back(P.Classifier + " " + P.TableText);
  });
  Test->Run();
  EXPECT_EQ(Test->TableList(), (std::vector<std::string>{"ALFA.DB", "beta.DB", "SATI.DB", "Test1.DB"}));
  const TResultGrid& G = Test->ResultGrid();
  EXPECT_EQ(G.Row(RowOf("Test1.DB")), std::vector<std::string>(7));
  EXPECT_EQ(G.Cell(0, 2), "beta.DB");
  EXPECT_EQ(G.Cell(1, 3), "87.50+/-0.00");
  EXPECT_EQ(Test->TimeRow(), 5);
  EXPECT_EQ(G.Cell(0, 5), "Time [min:sec]");
  EXPECT_EQ(Opened.size(), 9u);
  EXPECT_EQ(Opened.front(), "LC Current database table: ALFA.DB");
  EXPECT_EQ(Opened.back(), "KNN Current database table: SATI.DB");
  EXPECT_FALSE(Test->DataTable().Active());
}

TEST_F(TCrossTestOnTables, GridTextNamesEveryTableAndEndsWithTheTimeLine) {
  Test->SetTableList({"Test1.DB", "beta.DB"});
  Test->Run();
  const std::string Text = Test->GridText();
  const std::string Time = Test->ResultGrid().Cell(1, 3);
  ASSERT_EQ(Time.size(), 5u);
  EXPECT_EQ(Text,
            "\tLC Success [%]\tNB Success [%]\tKNN Success [%]\tTest examples\tPrior probability\tBest attr. succ.[%]\n"
            "beta.DB\t87.50+/-0.00\t87.50+/-0.00\t87.50+/-0.00\t8.00+/-0.00\t50.00+/-0.00\t" +
                Test->ResultGrid().Cell(6, 1) +
                "\n"
                "Test1.DB\t\t\t\t\t\t\n"
                "Time [min:sec]\t" +
                Time + "\t" + Test->ResultGrid().Cell(2, 3) + "\t" + Test->ResultGrid().Cell(3, 3) + "\t\t\t\n");
}

TEST_F(TCrossTestOnTables, ProgressNamesEverySplit) {
  Test->SetTableList({"ALFA.DB"});
  Test->SetRuns(3);
  std::vector<std::string> Splits;
  Test->SetOnProgress([&](const TCrossTestProgress& P) {
    if (P.Column == 2 && P.Split >= 0) Splits.push_back(P.SplitText);
  });
  Test->Run();
  EXPECT_EQ(Splits, (std::vector<std::string>{"Split number: 0", "Split number: 1", "Split number: 2"}));
}

TEST_F(TCrossTestOnTables, APrunedRunOptimizesEveryTableButSati) {
  Test->SetTableList({"ALFA.DB", "SATI.DB"});
  Test->SetPruning(true);
  Test->SetRuns(2);
  std::vector<std::string> Optimized;
  Test->SetOnProgress([&](const TCrossTestProgress& P) {
    if (P.Optimizing) {
      EXPECT_EQ(P.SplitText, "Optimizing...");
      Optimized.push_back(P.Classifier + " " + P.Table);
    }
  });
  Test->Run();
  EXPECT_EQ(Optimized, (std::vector<std::string>{"LC ALFA.DB", "NB ALFA.DB", "KNN ALFA.DB"}));
  // One attribute that carries the class survives pruning: nothing changes.
  const TResultGrid& G = Test->ResultGrid();
  EXPECT_EQ(G.Cell(1, 1), "75.00+/-35.36");
  EXPECT_EQ(G.Cell(1, 2), "75.00+/-35.36");
}

TEST_F(TCrossTestOnTables, ALaterRunOverwritesRowByRow) {
  Test->SetTableList({"ALFA.DB"});
  Test->SetRuns(2);
  Test->Run();
  Test->SetRuns(1);
  Test->Run();
  EXPECT_EQ(Test->ResultGrid().Cell(1, 1), "87.50+/-0.00");
  EXPECT_EQ(Test->ResultGrid().Cell(5, 1), "50.00+/-0.00");
}

TEST_F(TCrossTestOnTables, AnExistingAliasIsUsedUnchanged) {
  auto Other = std::make_unique<TSession>(nullptr);
  Other->AddStandardAlias("halvornaidatad", Folder->string(), "PARADOX");
  TCrossTest Own(nullptr, *Other, "/nonexistent");
  EXPECT_EQ(Own.TableList().size(), 4u);
  EXPECT_EQ(Other->AliasPath(SampleAlias), Folder->string());
  // A fresh session gets the alias with the given folder and the Paradox driver.
  auto Fresh = std::make_unique<TSession>(nullptr);
  EXPECT_TRUE(EnsureSampleAlias(*Fresh, "/some/where"));
  EXPECT_EQ(Fresh->AliasPath(SampleAlias), "/some/where");
  EXPECT_EQ(Fresh->AliasDriver(SampleAlias), "PARADOX");
  EXPECT_FALSE(EnsureSampleAlias(*Fresh, "/else/where"));
}

TEST(TCrossTest, AMissingSplitFieldEndsTheRunAndKeepsTheGrid) {
  const fs::path Folder = fs::temp_directory_path() / ("pellory-crosstest-split-" + std::to_string(::getpid()));
  fs::create_directories(Folder);
  WriteTable(Folder / "AAAA.DB");
  WriteTable(Folder / "BBBB.DB", 1);  // only Split0
  {
    auto Session = std::make_unique<TSession>(nullptr);
    TCrossTest Test(nullptr, *Session, Folder.string());
    Test.SetRuns(2);
    EXPECT_THROW(Test.Run(), Exception);
    EXPECT_EQ(Test.ResultGrid().Cell(1, 1), "75.00+/-35.36");
    EXPECT_EQ(Test.ResultGrid().Cell(1, 2), "");
    EXPECT_FALSE(Test.DataTable().Active());
  }
  fs::remove_all(Folder);
}

// A database's other tables: the run stops at the first with the field its
// first split needs, not the field of the table before. (Dropping them
// beforehand is tested through `pellory crosstest`.)
TEST(TCrossTest, ATableWithoutSplitFieldsIsReportedForTheFirstSplit) {
  const fs::path Folder = fs::temp_directory_path() / ("pellory-crosstest-plain-" + std::to_string(::getpid()));
  fs::create_directories(Folder);
  WriteTable(Folder / "AAAA.DB");
  WriteTable(Folder / "BBBB.DB", 0);
  {
    auto Session = std::make_unique<TSession>(nullptr);
    TCrossTest Test(nullptr, *Session, Folder.string());
    Test.SetRuns(3);
    try {
      Test.Run();
      ADD_FAILURE() << "the run went through a table without split fields";
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), "Field 'Split0' not found");
    }
  }
  fs::remove_all(Folder);
}

TEST(TCrossTest, AMissingFolderIsReported) {
  auto Session = std::make_unique<TSession>(nullptr);
  EXPECT_THROW(TCrossTest(nullptr, *Session, "/nonexistent-pellory-data"), Exception);
}

TEST(TResultGrid, GrowsToTakeARowAndIgnoresReadsOutside) {
  TResultGrid G;
  EXPECT_EQ(G.RowCount(), 22);
  G.SetCell(3, 30, "x");
  EXPECT_EQ(G.RowCount(), 31);
  EXPECT_EQ(G.Cell(3, 30), "x");
  EXPECT_EQ(G.Cell(7, 0), "");
  EXPECT_EQ(G.Cell(0, 99), "");
  EXPECT_THROW(G.SetCell(7, 0, "y"), EListError);
}
