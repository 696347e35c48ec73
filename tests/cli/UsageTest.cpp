// Command lines that are wrong give status 2 and say what is wrong; --help
// works on every command.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ToolRun.h"


TEST(RunPellory, UnknownCommandOrNoneIsAUsageError) {
  TToolRun R = Pellory({});
  EXPECT_EQ(R.Status, 2);
  EXPECT_NE(R.Err.find("usage: pellory COMMAND"), std::string::npos);
  R = Pellory({"crossstest"});
  EXPECT_EQ(R.Status, 2);
  EXPECT_NE(R.Err.find("unknown command 'crossstest'"), std::string::npos);
  EXPECT_TRUE(R.Out.empty());
}

TEST(RunPellory, HelpOnEveryCommand) {
  for (const std::string Command :
       {"tables", "fields", "export", "import", "crosstest", "train", "classify", "bench"}) {
    const TToolRun R = Pellory({Command, "--help"});
    EXPECT_EQ(R.Status, 0) << Command;
    EXPECT_EQ(R.Out.rfind("usage: pellory " + Command, 0), 0u) << Command;
    EXPECT_TRUE(R.Err.empty()) << Command;
  }
  // -h too, and help beats missing arguments.
  EXPECT_EQ(Pellory({"train", "-h"}).Status, 0);
  const TToolRun Top = Pellory({"--help"});
  EXPECT_EQ(Top.Status, 0);
  EXPECT_NE(Top.Out.find("crosstest"), std::string::npos);
}

TEST(RunPellory, MalformedNumbersAreUsageErrors) {
  const std::vector<std::vector<std::string>> Lines = {
      {"crosstest", "--runs", "abc"}, {"crosstest", "--runs", "0"},     {"crosstest", "--runs", "31"},
      {"crosstest", "--runs", ""},    {"crosstest", "--runs=2x"},       {"crosstest", "--k", "0"},
      {"crosstest", "--k", "51"},     {"crosstest", "--runs", "1e1"},   {"bench", "--classes", "0"},
      {"bench", "--learn", "-1"},     {"bench", "--test", "99999999999"}, {"train", "T", "--k", "x", "--classifier", "knn", "--model", "m"},
  };
  for (const auto& Line : Lines) {
    const TToolRun R = Pellory(Line);
    EXPECT_EQ(R.Status, 2) << Line[0] << " " << Line[1];
    EXPECT_NE(R.Err.find("is not an integer from"), std::string::npos) << R.Err;
  }
  const TToolRun R = Pellory({"crosstest", "--runs", "abc"});
  EXPECT_EQ(R.Err, "pellory crosstest: --runs: 'abc' is not an integer from 1 to 30\n");
}

TEST(RunPellory, OptionsAndArgumentsAreChecked) {
  struct TCase {
    std::vector<std::string> Line;
    std::string Message;
  };
  const std::vector<TCase> Cases = {
      {{"crosstest", "--bogus"}, "unknown option '--bogus'"},
      {{"crosstest", "-x"}, "unknown option '-x'"},
      {{"crosstest", "--runs"}, "option '--runs' needs a value"},
      {{"crosstest", "--prune=yes"}, "option '--prune' takes no value"},
      {{"crosstest", "--runs", "2", "--runs", "3"}, "given twice"},
      {{"crosstest", "extra"}, "unexpected argument 'extra'"},
      {{"fields"}, "missing argument"},
      {{"export", "A.DB", "B.DB"}, "unexpected argument 'B.DB'"},
      {{"import", "x.arff"}, "missing argument"},
      {{"train", "IRIS.DB", "--model", "m"}, "missing --classifier"},
      {{"train", "IRIS.DB", "--classifier", "lc"}, "missing --model FILE"},
      {{"train", "IRIS.DB", "--classifier", "svm", "--model", "m"}, "--classifier: 'svm' is not one of lc, nb, knn"},
      {{"classify", "IRIS.DB"}, "missing --model FILE"},
      {{"classify", "IRIS.DB", "--model", "m", "--threads", "0"}, "--threads: '0' is not an integer from 1 to 64"},
      {{"classify", "IRIS.DB", "--model", "m", "--threads", "65"}, "--threads: '65' is not an integer from 1 to 64"},
      {{"classify", "IRIS.DB", "--model", "m", "--threads", "two"}, "--threads: 'two' is not an integer"},
      {{"tables", "--data", "a", "--sqlite", "b"}, "either --data or --sqlite"},
      {{"tables", "--data", ""}, "--data needs a non-empty value"},
      {{"bench", "--data", "x"}, "unknown option '--data'"},
      {{"import", "x.arff", "T.csv", "--data", "/nonexistent"}, "a Paradox table name ends in .DB, not '.csv'"},
  };
  for (const TCase& C : Cases) {
    const TToolRun R = Pellory(C.Line);
    EXPECT_EQ(R.Status, 2) << C.Message;
    EXPECT_NE(R.Err.find(C.Message), std::string::npos) << "expected '" << C.Message << "' in: " << R.Err;
    EXPECT_TRUE(R.Out.empty()) << C.Message;
  }
}

TEST(RunPellory, RuntimeErrorsGiveStatusOne) {
  // The default data source does not exist here.
  TToolRun R = Pellory({"tables"});
  EXPECT_EQ(R.Status, 1);
  EXPECT_EQ(R.Err.rfind("pellory tables: ", 0), 0u) << R.Err;
  R = Pellory({"fields", "NONE.DB", "--data", "/nonexistent-pellory-folder"});
  EXPECT_EQ(R.Status, 1);
  EXPECT_FALSE(R.Err.empty());
}

TEST(RunPellory, BenchPrintsThePageTexts) {
  const TToolRun R = Pellory({"bench", "--classes", "3", "--discrete", "2", "--float", "2", "--learn", "3000", "--test",
                      "1500"});
  ASSERT_EQ(R.Status, 0) << R.Err;
  const std::vector<std::string> L = Lines(R.Out);
  ASSERT_EQ(L.size(), 6u) << R.Out;
  EXPECT_EQ(L[0], "Learned cases = 3000");
  EXPECT_EQ(L[1].rfind("Time: 00:", 0), 0u);
  EXPECT_NE(L[2].find(" Cases/second"), std::string::npos);
  EXPECT_EQ(L[3], "Classified cases = 1500");
  EXPECT_EQ(L[4].size(), std::string("Time: 00:00:00:000").size());
  EXPECT_NE(L[5].find(" Cases/second"), std::string::npos);
  // Progress is only drawn on a terminal.
  EXPECT_TRUE(R.Err.empty());
}

TEST(RunPellory, BenchWithoutLearnedClassesRefusesToClassify) {
  const TToolRun R = Pellory({"bench", "--learn", "0", "--test", "10"});
  EXPECT_EQ(R.Status, 1);
  EXPECT_NE(R.Err.find("Learn first!"), std::string::npos);
  EXPECT_NE(R.Out.find("Learned cases = 0"), std::string::npos);
}
