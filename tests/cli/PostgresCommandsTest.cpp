// pellory over a PostgreSQL database: the same cross test grid and the same
// model file as over SQLite and Paradox copies of the tables.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "PostgresSchema.h"
#include "ToolFolder.h"
#include "ToolRun.h"

namespace {

std::string FileText(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), {});
}

// The grid without its time row and with the table names' ".DB" dropped.
std::string Grid(const std::string& Out) {
  std::string Text;
  for (const std::string& Line : Lines(Out)) {
    if (Line.rfind("Time [min:sec]", 0) == 0) continue;
    const size_t Tab = Line.find('\t');
    const std::string Name = Line.substr(0, Tab);
    Text += (Name.size() > 3 && Name.substr(Name.size() - 3) == ".DB" ? Name.substr(0, Name.size() - 3) : Name) +
            Line.substr(Tab) + "\n";
  }
  return Text;
}

TEST(PostgresCommands, CrossTestAndModelsMatchTheOtherStores) {
  if (PostgresConnInfo().empty()) GTEST_SKIP() << NoPostgres;
  TPgSchema Schema("crosstest");
  const TToolFolder Folder("pg-commands");
  const std::string Data = std::string(PELLORY_SOURCE_DIR) + "/data/";
  const std::vector<std::vector<std::string>> Sources{
      {"--pg", Schema.ConnInfo}, {"--sqlite", Folder / "tables.sqlite"}, {"--data", Folder.Path()}};
  for (const auto& Source : Sources)
    for (const auto& [File, Table] : std::vector<std::pair<std::string, std::string>>{
             {"labor.arff", "LABO.DB"}, {"contact-lenses.arff", "CONT.DB"}}) {
      std::vector<std::string> Args{"import", Data + File, Table};
      Args.insert(Args.end(), Source.begin(), Source.end());
      const TToolRun R = Pellory(Args);
      ASSERT_EQ(R.Status, 0) << R.Err;
    }
  std::vector<std::string> Grids, Models;
  for (const auto& Source : Sources) {
    std::vector<std::string> Args{"crosstest", "--runs", "4", "--prune"};
    Args.insert(Args.end(), Source.begin(), Source.end());
    const TToolRun R = Pellory(Args);
    ASSERT_EQ(R.Status, 0) << R.Err;
    Grids.push_back(Grid(R.Out));
    const std::string Model = Folder / ("m" + std::to_string(Models.size()));
    std::vector<std::string> Train{"train", "LABO", "--classifier", "knn", "--model", Model};
    Train.insert(Train.end(), Source.begin(), Source.end());
    ASSERT_EQ(Pellory(Train).Status, 0);
    Models.push_back(FileText(Model));
  }
  EXPECT_EQ(Lines(Grids[0]).size(), 3u) << Grids[0];
  EXPECT_EQ(Grids[0], Grids[1]);
  EXPECT_EQ(Grids[0], Grids[2]);
  EXPECT_FALSE(Models[0].empty());
  EXPECT_EQ(Models[0], Models[1]);
  EXPECT_EQ(Models[0], Models[2]);
}

}  // namespace
