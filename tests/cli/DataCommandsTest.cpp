// tables, fields, export and import over Paradox folders and SQLite files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CsvExport.h"
#include "TableWriter.h"
#include "ToolFolder.h"
#include "ToolRun.h"

namespace {

const char* const TinyArff =
    "@relation tiny\n"
    "@attribute colour {red,green}\n"
    "@attribute size numeric\n"
    "@attribute class {yes,no}\n"
    "@data\n"
    "red,0.1,yes\n"
    "red,2.5,yes\n"
    "green,1e300,no\n"
    "green,?,no\n"
    "?,999,yes\n";

// Cells of a CSV line without quotes (the sample layout has none).
std::vector<std::string> Cells(const std::string& Line) {
  std::vector<std::string> Result;
  size_t Start = 0;
  for (size_t Comma; (Comma = Line.find(',', Start)) != std::string::npos; Start = Comma + 1)
    Result.push_back(Line.substr(Start, Comma - Start));
  Result.push_back(Line.substr(Start));
  return Result;
}

}  // namespace

TEST(CsvCell, QuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(CsvCell("plain text"), "plain text");
  EXPECT_EQ(CsvCell(""), "");
  EXPECT_EQ(CsvCell("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvCell("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvCell("two\nlines"), "\"two\nlines\"");
  EXPECT_EQ(CsvCell("cr\rhere"), "\"cr\rhere\"");
  EXPECT_EQ(CsvCell("'single' and ; are fine"), "'single' and ; are fine");
}

TEST(ExportCommand, ImportedTableInTheSampleLayout) {
  const TToolFolder Folder("export");
  const std::string Arff = Folder.Write("tiny.arff", TinyArff);
  const std::string Data = Folder / "Data";
  const TToolRun Import = Pellory({"import", Arff, "TINY", "--data", Data});
  ASSERT_EQ(Import.Status, 0) << Import.Err;
  EXPECT_EQ(Lines(Import.Out)[0], "TINY.DB: 5 rows, 2 classes, 37 fields from tiny.arff");
  EXPECT_NE(Import.Out.find("class 1 = 'yes'"), std::string::npos);
  EXPECT_NE(Import.Out.find("warning: attribute 'size' holds 999"), std::string::npos) << Import.Out;

  const TToolRun Export = Pellory({"export", "tiny.db", "--data", Data});
  ASSERT_EQ(Export.Status, 0) << Export.Err;
  const std::vector<std::string> L = Lines(Export.Out);
  ASSERT_EQ(L.size(), 6u);
  const std::vector<std::string> Header = Cells(L[0]);
  ASSERT_EQ(Header.size(), 37u);
  EXPECT_EQ(Header[0], "ID");
  EXPECT_EQ(Header[1], "Class");
  EXPECT_EQ(Header[2], "Value");
  EXPECT_EQ(Header[3], "Split0");
  EXPECT_EQ(Header[34], "Split31");
  EXPECT_EQ(Header[35], "colour");
  EXPECT_EQ(Header[36], "size");
  const auto Row = [&](size_t R) { return Cells(L[R]); };
  EXPECT_EQ(Row(1)[0], "1");
  EXPECT_EQ(Row(1)[1], "1");
  EXPECT_EQ(Row(1)[35], "1");
  EXPECT_EQ(Row(1)[36], "0.1");    // shortest round-trip text
  EXPECT_EQ(Row(3)[1], "2");
  EXPECT_EQ(Row(3)[36], "1e+300");
  EXPECT_EQ(Row(4)[36], "999");    // missing numeric
  EXPECT_EQ(Row(5)[35], "999");    // missing nominal
  for (size_t R = 1; R <= 5; ++R) {
    ASSERT_EQ(Row(R).size(), 37u);
    for (size_t S = 3; S < 35; ++S) EXPECT_TRUE(Row(R)[S] == "0" || Row(R)[S] == "1");
  }

  const TToolRun Fields = Pellory({"fields", "TINY.DB", "--data", Data});
  ASSERT_EQ(Fields.Status, 0) << Fields.Err;
  const std::vector<std::string> F = Lines(Fields.Out);
  ASSERT_EQ(F.size(), 37u);
  EXPECT_EQ(F[0], "ID\tftInteger");
  EXPECT_EQ(F[1], "Class\tftSmallint");
  EXPECT_EQ(F[2], "Value\tftFloat");
  EXPECT_EQ(F[35], "colour\tftSmallint");
  EXPECT_EQ(F[36], "size\tftFloat");
}

TEST(ExportCommand, TextNullsAndQuoting) {
  const TToolFolder Folder("quoting");
  {
    auto Writer = CreateParadoxTable(Folder / "TEXT.DB", {{"ID", ftInteger, 0},
                                                         {"Name", ftString, 40},
                                                         {"Weight", ftFloat, 0}});
    Writer->AppendRow(std::vector<TFieldValue>{1, std::string("plain"), 0.5});
    Writer->AppendRow(std::vector<TFieldValue>{2, std::string("a, b"), std::monostate{}});
    Writer->AppendRow(std::vector<TFieldValue>{3, std::string("say \"x\""), -2.0});
    Writer->AppendRow(std::vector<TFieldValue>{std::monostate{}, std::string("two\nlines"), 1e-7});
    Writer->AppendRow(std::vector<TFieldValue>{5, std::monostate{}, 3.0});
    Writer->Close();
  }
  const TToolRun R = Pellory({"export", "TEXT.DB", "--data", Folder.Path()});
  ASSERT_EQ(R.Status, 0) << R.Err;
  EXPECT_EQ(R.Out,
            "ID,Name,Weight\n"
            "1,plain,0.5\n"
            "2,\"a, b\",\n"
            "3,\"say \"\"x\"\"\",-2\n"
            ",\"two\nlines\",1e-07\n"
            "5,,3\n");
}

TEST(TablesCommand, ListsTheDataSourceInItsOrder) {
  const TToolFolder Folder("tables");
  const std::string Arff = Folder.Write("tiny.arff", TinyArff);
  const std::string Data = Folder / "Data";
  ASSERT_EQ(Pellory({"import", Arff, "ZETA.DB", "--data", Data}).Status, 0);
  ASSERT_EQ(Pellory({"import", Arff, "alfa", "--data", Data}).Status, 0);
  // The default source is the folder Data beside the program.
  const TToolRun R = Pellory({"tables"}, Folder.Path());
  ASSERT_EQ(R.Status, 0) << R.Err;
  EXPECT_EQ(R.Out, "alfa.DB\nZETA.DB\n");
  // Importing again replaces the table and says so.
  const TToolRun Again = Pellory({"import", Arff, "ZETA.DB", "--data", Data});
  EXPECT_NE(Again.Out.find("(replaced the table of that name)"), std::string::npos);
  EXPECT_EQ(Pellory({"tables", "--data", Data}).Out, "alfa.DB\nZETA.DB\n");
}

TEST(ImportCommand, AFailingImportKeepsTheOldTable) {
  const TToolFolder Folder("import-fail");
  const std::string Data = Folder / "Data";
  ASSERT_EQ(Pellory({"import", Folder.Write("tiny.arff", TinyArff), "KEEP.DB", "--data", Data}).Status, 0);
  const std::string Before = Pellory({"export", "KEEP.DB", "--data", Data}).Out;
  const std::string Bad = Folder.Write("bad.arff", "@relation r\n@attribute a numeric\n@attribute c {x,y}\n@data\n1,x\nabc,y\n");
  const TToolRun R = Pellory({"import", Bad, "KEEP.DB", "--data", Data});
  EXPECT_EQ(R.Status, 1);
  EXPECT_NE(R.Err.find("bad.arff:6"), std::string::npos) << R.Err;
  EXPECT_EQ(Pellory({"export", "KEEP.DB", "--data", Data}).Out, Before);
  // A class attribute that does not exist.
  const TToolRun NoClass = Pellory({"import", Folder / "tiny.arff", "K2.DB", "--class", "nope", "--data", Data});
  EXPECT_EQ(NoClass.Status, 1);
  EXPECT_NE(NoClass.Err.find("no attribute 'nope'"), std::string::npos) << NoClass.Err;
  // Only the scratch folder's traces would show here.
  for (const auto& Entry : std::filesystem::directory_iterator(Data))
    EXPECT_EQ(Entry.path().filename().string().rfind(".import-", 0), std::string::npos);
}

TEST(ImportCommand, IntoASqliteFile) {
  const TToolFolder Folder("sqlite");
  // The last row has no colour, which as the class it must have.
  std::string Text = TinyArff;
  Text.resize(Text.rfind("?,999,yes"));
  const std::string Arff = Folder.Write("tiny.arff", Text);
  const std::string File = Folder / "samples.sqlite";
  const TToolRun Import = Pellory({"import", Arff, "TINY.DB", "--class", "colour", "--sqlite", File});
  ASSERT_EQ(Import.Status, 0) << Import.Err;
  EXPECT_EQ(Lines(Import.Out)[0], "TINY: 4 rows, 2 classes, 37 fields from tiny.arff");
  EXPECT_EQ(Pellory({"tables", "--sqlite", File}).Out, "TINY\n");
  const TToolRun Export = Pellory({"export", "TINY.DB", "--sqlite", File});
  ASSERT_EQ(Export.Status, 0) << Export.Err;
  EXPECT_EQ(Lines(Export.Out).size(), 5u);
  EXPECT_NE(Lines(Export.Out)[0].find(",size,class"), std::string::npos) << Lines(Export.Out)[0];
}

TEST(ExportCommand, MissingTablesAndSourcesAreRuntimeErrors) {
  const TToolFolder Folder("missing");
  TToolRun R = Pellory({"export", "NONE.DB", "--data", Folder.Path()});
  EXPECT_EQ(R.Status, 1);
  EXPECT_NE(R.Err.find("no table 'NONE.DB'"), std::string::npos) << R.Err;
  R = Pellory({"tables", "--sqlite", Folder / "none.sqlite"});
  EXPECT_EQ(R.Status, 1);
  EXPECT_NE(R.Err.find("no database file"), std::string::npos) << R.Err;
  R = Pellory({"import", Folder / "none.arff", "X.DB", "--data", Folder.Path()});
  EXPECT_EQ(R.Status, 1);
  EXPECT_FALSE(R.Err.empty());
}

TEST(RunPellory, SourceOptionsBeforeTheCommand) {
  const TToolFolder Folder("source-first");
  const std::string Arff = Folder.Write("tiny.arff", TinyArff);
  const std::string Data = Folder / "Data";
  ASSERT_EQ(Pellory({"--data", Data, "import", Arff, "TINY"}).Status, 0);
  const TToolRun Before = Pellory({"--data", Data, "tables"});
  EXPECT_EQ(Before.Status, 0) << Before.Err;
  EXPECT_EQ(Before.Out, "TINY.DB\n");
  EXPECT_EQ(Pellory({"--data=" + Data, "fields", "TINY"}).Out, Pellory({"fields", "TINY", "--data", Data}).Out);

  const std::string Db = Folder / "tiny.sqlite";
  ASSERT_EQ(Pellory({"--sqlite", Db, "import", Arff, "TINY"}).Status, 0);
  EXPECT_EQ(Pellory({"--sqlite=" + Db, "tables"}).Out, "TINY\n");

  // Given twice or both kinds, or with a command that reads no tables, the
  // options are refused as they are after the command.
  TToolRun R = Pellory({"--data", Data, "tables", "--data", Data});
  EXPECT_EQ(R.Status, 2);
  EXPECT_NE(R.Err.find("option '--data' given twice"), std::string::npos) << R.Err;
  R = Pellory({"--data", Data, "--sqlite", Db, "tables"});
  EXPECT_EQ(R.Status, 2);
  EXPECT_NE(R.Err.find("give either --data or --sqlite"), std::string::npos) << R.Err;
  R = Pellory({"--data", Data, "bench"});
  EXPECT_EQ(R.Status, 2);
  EXPECT_NE(R.Err.find("bench: unknown option '--data'"), std::string::npos) << R.Err;
  // No command after them: the tool's usage.
  R = Pellory({"--data", Data});
  EXPECT_EQ(R.Status, 2);
  EXPECT_NE(R.Err.find("usage: pellory COMMAND"), std::string::npos);
  EXPECT_EQ(Pellory({"--data"}).Status, 2);
}
