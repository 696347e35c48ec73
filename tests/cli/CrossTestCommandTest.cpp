// pellory crosstest: the grid as TAB-separated lines, progress on standard
// error, and the same figures the library's cross test gives.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CrossTest.h"
#include "Session.h"
#include "TableWriter.h"
#include "ToolFolder.h"
#include "ToolRun.h"

namespace {

std::vector<std::string> Tabs(const std::string& Line) {
  std::vector<std::string> Cells;
  size_t Start = 0;
  for (size_t Tab; (Tab = Line.find('\t', Start)) != std::string::npos; Start = Tab + 1)
    Cells.push_back(Line.substr(Start, Tab - Start));
  Cells.push_back(Line.substr(Start));
  return Cells;
}

class CrossTestCommand : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    Folder = new TToolFolder("crosstest");
    const std::string Data = std::string(PELLORY_SOURCE_DIR) + "/data/";
    for (const auto& [File, Table] : std::vector<std::pair<std::string, std::string>>{
             {"weather.nominal.arff", "WEAT.DB"}, {"weather.nominal.arff", "Test1.DB"}, {"contact-lenses.arff", "CONT.DB"}}) {
      const TToolRun R = Pellory({"import", Data + File, Table, "--data", Folder->Path()});
      ASSERT_EQ(R.Status, 0) << R.Err;
    }
  }
  static void TearDownTestSuite() {
    delete Folder;
    Folder = nullptr;
  }
  static TToolFolder* Folder;
};

TToolFolder* CrossTestCommand::Folder = nullptr;

}  // namespace

TEST_F(CrossTestCommand, PrintsTheGridAndOneProgressLinePerTable) {
  const TToolRun R = Pellory({"crosstest", "--runs", "3", "--k", "4", "--data", Folder->Path()});
  ASSERT_EQ(R.Status, 0) << R.Err;
  const std::vector<std::string> L = Lines(R.Out);
  ASSERT_EQ(L.size(), 5u) << R.Out;
  EXPECT_EQ(L[0], "\tLC Success [%]\tNB Success [%]\tKNN Success [%]\tTest examples\tPrior probability\tBest attr. succ.[%]");
  EXPECT_EQ(Tabs(L[1])[0], "CONT.DB");
  EXPECT_EQ(Tabs(L[2]), (std::vector<std::string>{"Test1.DB", "", "", "", "", "", ""}));
  EXPECT_EQ(Tabs(L[3])[0], "WEAT.DB");
  for (const size_t Row : {1u, 3u}) {
    const std::vector<std::string> Cells = Tabs(L[Row]);
    ASSERT_EQ(Cells.size(), 7u);
    for (size_t C = 1; C < 7; ++C) EXPECT_NE(Cells[C].find("+/-"), std::string::npos) << L[Row];
  }
  const std::vector<std::string> Time = Tabs(L[4]);
  ASSERT_EQ(Time.size(), 7u);
  EXPECT_EQ(Time[0], "Time [min:sec]");
  for (size_t C = 1; C <= 3; ++C) EXPECT_EQ(Time[C].size(), 5u) << L[4];

  // Not a terminal: one plain line per classifier and table, no redrawing.
  const std::vector<std::string> P = Lines(R.Err);
  ASSERT_EQ(P.size(), 6u) << R.Err;
  EXPECT_EQ(P[0].rfind("LC  CONT.DB (1/3)", 0), 0u) << P[0];
  EXPECT_EQ(P[5].rfind("KNN  WEAT.DB (3/3)", 0), 0u) << P[5];
  EXPECT_EQ(R.Err.find('\r'), std::string::npos);

  // The same cells as the library's cross test with those settings.
  auto Session = std::make_unique<TSession>(nullptr);
  TCrossTest Test(nullptr, *Session, Folder->Path());
  Test.SetRuns(3);
  Test.SetKNeighbors(4);
  Test.Run();
  for (int32_t Row = 1; Row <= 4; ++Row)
    for (int32_t Col = 1; Col < 7; ++Col)
      if (Row != 4 || Col > 3) EXPECT_EQ(Tabs(L[static_cast<size_t>(Row)])[static_cast<size_t>(Col)], Test.ResultGrid().Cell(Col, Row));
}

TEST_F(CrossTestCommand, ChosenTablesOnlyAndTerminalProgress) {
  std::ostringstream Out, Err;
  TToolIO IO{Out, Err, true, "/nonexistent"};
  const std::vector<std::string> Args = {"crosstest", "--tables", "weat,CONT.DB", "--data", Folder->Path()};
  ASSERT_EQ(RunPellory(Args, IO), 0) << Err.str();
  const std::vector<std::string> L = Lines(Out.str());
  ASSERT_EQ(L.size(), 4u);
  EXPECT_EQ(Tabs(L[1])[0], "CONT.DB");
  EXPECT_EQ(Tabs(L[2])[0], "WEAT.DB");
  // One run: learned and tested on all rows, no spread.
  EXPECT_EQ(Tabs(L[2])[4], "14.00+/-0.00");
  EXPECT_EQ(Tabs(L[1])[4], "24.00+/-0.00");
  // Redrawn in place and cleared at the end.
  EXPECT_NE(Err.str().find("\r\033[K"), std::string::npos);
  EXPECT_EQ(Err.str().find('\n'), std::string::npos);
  EXPECT_EQ(Err.str().substr(Err.str().size() - 4), "\r\033[K");
}

TEST_F(CrossTestCommand, UnknownTablesAndMissingSourcesAreRuntimeErrors) {
  TToolRun R = Pellory({"crosstest", "--tables", "WEAT.DB,NOPE", "--data", Folder->Path()});
  EXPECT_EQ(R.Status, 1);
  EXPECT_NE(R.Err.find("no table 'NOPE'"), std::string::npos) << R.Err;
  EXPECT_TRUE(R.Out.empty());
  R = Pellory({"crosstest", "--tables", "WEAT.DB,", "--data", Folder->Path()});
  EXPECT_EQ(R.Status, 2);
  R = Pellory({"crosstest", "--data", *Folder / "nothing-here"});
  EXPECT_EQ(R.Status, 1);
  EXPECT_NE(R.Err.find("no folder"), std::string::npos) << R.Err;
}

// A database's other tables are left out and named; named with --tables,
// such a table is an error.
TEST(CrossTestCommandOnADatabase, TablesWithoutTheLayoutAreSkippedUnlessNamed) {
  const TToolFolder Folder("crosstest-db");
  const std::string Db = Folder / "samples.sqlite";
  const std::string Data = std::string(PELLORY_SOURCE_DIR) + "/data/";
  for (const char* Table : {"WEAT", "WEAU"})
    ASSERT_EQ(Pellory({"import", Data + "weather.nominal.arff", Table, "--sqlite", Db}).Status, 0);
  auto Plain = CreateSqliteTable(Db, "PLAIN", {{"ID", ftInteger}, {"Class", ftSmallint}, {"A", ftSmallint}, {"B", ftFloat}});
  Plain->AppendRow(std::vector<TFieldValue>{1, 1, 2, 0.5});
  Plain->Close();

  TToolRun R = Pellory({"crosstest", "--runs", "2", "--sqlite", Db});
  ASSERT_EQ(R.Status, 0) << R.Err;
  const std::vector<std::string> L = Lines(R.Out);
  ASSERT_EQ(L.size(), 4u) << R.Out;
  EXPECT_EQ(Tabs(L[1])[0], "WEAT");
  EXPECT_EQ(Tabs(L[2])[0], "WEAU");
  EXPECT_NE(R.Err.find("skipped table 'PLAIN': no field 'Split0'"), std::string::npos) << R.Err;

  R = Pellory({"crosstest", "--runs", "2", "--tables", "WEAT,PLAIN", "--sqlite", Db});
  EXPECT_EQ(R.Status, 1);
  EXPECT_NE(R.Err.find("Field 'Split0' not found"), std::string::npos) << R.Err;
}
