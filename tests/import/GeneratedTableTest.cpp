// Tables written by the importer, read back through the dataset layer: the
// Paradox and SQLite drivers see the layout, the codes and the split fields
// exactly as the importer wrote them.
#include <gtest/gtest.h>

#include <filesystem>

#include "ArffReader.h"
#include "FieldValue.h"
#include "SampleImporter.h"
#include "SampleRules.h"
#include "Session.h"
#include "Table.h"
#include "TestSupport.h"

namespace {

class TRecordingWriter : public TTableWriter {
public:
  void AppendRow(std::span<const TFieldValue> Values) override { Rows.emplace_back(Values.begin(), Values.end()); }
  void Close() override {}
  std::vector<std::vector<TFieldValue>> Rows;
};

// A fresh folder for the running test, removed with everything in it.
TTempDir FolderOfThisTest() {
  return TTempDir("pellory-import", ::testing::UnitTest::GetInstance()->current_test_info()->name());
}

// Every row of the open table, each cell as the dataset reads it.
std::vector<std::vector<TFieldValue>> ReadAll(TTable& Table) {
  std::vector<std::vector<TFieldValue>> Rows;
  for (Table.First(); !Table.Eof(); Table.Next()) {
    std::vector<TFieldValue> Row;
    for (int32_t f = 0; f < Table.FieldCount(); ++f) Row.push_back(Table.Fields(f)->Value());
    Rows.push_back(std::move(Row));
  }
  return Rows;
}

void ExpectSameTable(TTable& Table, const std::vector<TFieldDef>& Fields,
                     const std::vector<std::vector<TFieldValue>>& Expected) {
  ASSERT_EQ(Table.FieldCount(), static_cast<int32_t>(Fields.size()));
  for (size_t f = 0; f < Fields.size(); ++f) {
    EXPECT_EQ(Table.Fields(static_cast<int32_t>(f))->FieldName(), Fields[f].Name);
    EXPECT_EQ(Table.Fields(static_cast<int32_t>(f))->DataType(), Fields[f].DataType) << Fields[f].Name;
  }
  EXPECT_EQ(Table.RecordCount(), static_cast<int32_t>(Expected.size()));
  const auto Rows = ReadAll(Table);
  ASSERT_EQ(Rows.size(), Expected.size());
  for (size_t r = 0; r < Rows.size(); ++r)
    for (size_t f = 0; f < Fields.size(); ++f)
      EXPECT_EQ(VarToFloat(Rows[r][f]), VarToFloat(Expected[r][f])) << "row " << r << " field " << Fields[f].Name;
}

}  // namespace

TEST(TSampleImporter, ParadoxTableReadsBackAsWritten) {
  const TTempDir Dir = FolderOfThisTest();
  const TSourceDataset Source = TArffReader::ReadFile(DataFile("labor.arff"));
  const TSampleImporter Importer(Source);
  TRecordingWriter Expected;
  Importer.WriteTo(Expected, "LABO.DB");
  const TImportResult Result = Importer.WriteParadox((Dir.Path / "LABO.DB").string());
  EXPECT_EQ(Result.Rows, 57);

  TSession Session(nullptr);
  Session.AddStandardAlias("Samples", Dir.Path.string(), "PARADOX");
  TTable Table(nullptr, &Session);
  Table.SetDatabaseName("Samples");
  Table.SetTableName("LABO.DB");
  Table.Open();
  ExpectSameTable(Table, Importer.Fields(), Expected.Rows);
  // Labor's missing cells arrive as the marker in both field kinds.
  bool Nominal999 = false, Float999 = false;
  for (const auto& Row : Expected.Rows)
    for (size_t f = 35; f < Row.size(); ++f) {
      if (VarToFloat(Row[f]) != 999) continue;
      (Importer.Fields()[f].DataType == ftSmallint ? Nominal999 : Float999) = true;
    }
  EXPECT_TRUE(Nominal999);
  EXPECT_TRUE(Float999);
}

// A table replaced by one that cannot be written whole (a file-size limit
// standing in for a full disk) stays the table it was.
TEST(TSampleImporter, FailedReplaceKeepsTheOldTable) {
  const TTempDir Dir = FolderOfThisTest();
  const std::string File = (Dir.Path / "T.DB").string();
  const TSourceDataset Iris = TArffReader::ReadFile(DataFile("iris.arff"));
  const TSourceDataset Vote = TArffReader::ReadFile(DataFile("vote.arff"));
  TSampleImporter(Iris).WriteParadox(File);
  const auto OldSize = std::filesystem::file_size(File);
  const TSampleImporter Larger(Vote);
  EXPECT_NE(MessageUnderFileSizeLimit(OldSize + 1024, [&] { Larger.WriteParadox(File); }), "(no exception)");
  EXPECT_EQ(std::filesystem::file_size(File), OldSize);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.Path), std::filesystem::directory_iterator()), 1);
}

TEST(TSampleImporter, SqliteTableReadsBackAsWritten) {
  const TTempDir Dir = FolderOfThisTest();
  const TSourceDataset Source = TArffReader::ReadFile(DataFile("credit-g.arff"));
  const TSampleImporter Importer(Source);
  TRecordingWriter Expected;
  Importer.WriteTo(Expected, "CRED");
  const std::string File = (Dir.Path / "samples.sqlite").string();
  Importer.WriteSqlite(File, "CRED");

  TSession Session(nullptr);
  Session.AddStandardAlias("Samples", File, "SQLITE");
  TTable Table(nullptr, &Session);
  Table.SetDatabaseName("Samples");
  Table.SetTableName("CRED.DB");
  Table.Open();
  ExpectSameTable(Table, Importer.Fields(), Expected.Rows);
}

TEST(TSampleImporter, SplitFiltersSelectTheTwoParts) {
  const TTempDir Dir = FolderOfThisTest();
  const TSourceDataset Source = TArffReader::ReadFile(DataFile("iris.arff"));
  TSampleImporter(Source).WriteParadox((Dir.Path / "IRIS.DB").string());
  TSession Session(nullptr);
  Session.AddStandardAlias("Samples", Dir.Path.string(), "PARADOX");
  TTable Table(nullptr, &Session);
  Table.SetDatabaseName("Samples");
  Table.SetTableName("IRIS.DB");
  Table.SetFiltered(true);
  for (int s : {0, 17, 29, 31}) {
    Table.Close();
    Table.SetFilter("[Split" + std::to_string(s) + "] = 1");
    Table.Open();
    EXPECT_EQ(Table.RecordCount(), 51) << "split " << s;  // 17 of each 50
    int PerClass[4] = {};
    for (Table.First(); !Table.Eof(); Table.Next()) ++PerClass[Table.FieldByName("Class")->AsInteger()];
    EXPECT_EQ(PerClass[1], 17);
    EXPECT_EQ(PerClass[2], 17);
    EXPECT_EQ(PerClass[3], 17);
    Table.Close();
    Table.SetFilter("[Split" + std::to_string(s) + "] = 0");
    Table.Open();
    EXPECT_EQ(Table.RecordCount(), 99) << "split " << s;
  }
}

TEST(TSampleImporter, SessionListsTheBuildsTablesWithAMedicalOneSeventh) {
  const TTempDir Dir = FolderOfThisTest();
  const TSourceDataset Source = TArffReader::ReadFile(DataFile("weather.nominal.arff"));
  const TSampleImporter Importer(Source);
  for (const auto& [File, Table] : BuildRules()) Importer.WriteParadox((Dir.Path / Table).string());
  TSession Session(nullptr);
  Session.AddStandardAlias("Samples", Dir.Path.string(), "PARADOX");
  const std::vector<std::string> Names = Session.TableNames("Samples", "*.DB", true, false);
  ASSERT_EQ(Names.size(), 14u);
  EXPECT_EQ(Names[6], "LJUB.DB");
}
