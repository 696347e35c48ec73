// The thirteen shipped datasets read as their README describes them, and the
// quirks that a reader or the importer could get wrong on real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>

#include "ArffReader.h"
#include "Convert.h"
#include "SampleImporter.h"
#include "SampleRules.h"

namespace {

struct TExpected {
  const char* File;
  size_t Rows, Nominal, Numeric, Classes, Missing;
};

const TExpected Files[] = {
    {"breast-cancer.arff", 286, 9, 0, 2, 9},   {"contact-lenses.arff", 24, 4, 0, 3, 0},
    {"credit-g.arff", 1000, 13, 7, 2, 0},      {"diabetes.arff", 768, 0, 8, 2, 0},
    {"glass.arff", 214, 0, 9, 7, 0},           {"ionosphere.arff", 351, 0, 34, 2, 0},
    {"iris.arff", 150, 0, 4, 3, 0},            {"labor.arff", 57, 8, 8, 2, 326},
    {"segment.arff", 2310, 0, 19, 7, 0},       {"soybean.arff", 683, 35, 0, 19, 2337},
    {"vote.arff", 435, 16, 0, 2, 392},         {"weather.nominal.arff", 14, 4, 0, 2, 0},
    {"satellite.arff", 6435, 0, 36, 6, 0},
};

size_t ClassRows(const TSourceDataset& D, const std::string& Value) {
  const TSourceAttribute& Class = D.Attributes[static_cast<size_t>(D.ClassIndex)];
  size_t Count = 0;
  for (size_t r = 0; r < D.RowCount(); ++r)
    Count += Class.Values[static_cast<size_t>(D.Cell(r, static_cast<size_t>(D.ClassIndex)))] == Value;
  return Count;
}

}  // namespace

TEST(TArffReader, ShippedFilesMatchTheirDescription) {
  for (const TExpected& E : Files) {
    SCOPED_TRACE(E.File);
    const TSourceDataset D = TArffReader::ReadFile(DataFile(E.File));
    ASSERT_EQ(D.RowCount(), E.Rows);
    ASSERT_EQ(D.ClassIndex + 1, static_cast<int32_t>(D.Attributes.size()));
    size_t Nominal = 0, Numeric = 0, Missing = 0;
    for (size_t a = 0; a + 1 < D.Attributes.size(); ++a) (D.Attributes[a].Nominal ? Nominal : Numeric)++;
    for (double Cell : D.Cells) Missing += TSourceDataset::IsMissing(Cell);
    EXPECT_EQ(Nominal, E.Nominal);
    EXPECT_EQ(Numeric, E.Numeric);
    EXPECT_EQ(D.Attributes.back().Values.size(), E.Classes);
    EXPECT_EQ(Missing, E.Missing);
    TSampleImporter Importer(D);  // every shipped file fits the layout
    EXPECT_EQ(Importer.Fields().size(), 35 + D.Attributes.size() - 1);
  }
}

TEST(TArffReader, CreditQuotedValuesAndThe999Amount) {
  const TSourceDataset D = TArffReader::ReadFile(DataFile("credit-g.arff"));
  const TSourceAttribute& Checking = D.Attributes[0];
  EXPECT_EQ(Checking.Values, (std::vector<std::string>{"<0", "0<=X<200", ">=200", "no checking"}));
  EXPECT_EQ(ClassRows(D, "good"), 700u);
  EXPECT_EQ(ClassRows(D, "bad"), 300u);
  struct TNull : TTableWriter {
    void AppendRow(std::span<const TFieldValue>) override {}
    void Close() override {}
  } Writer;
  const TImportResult Result = TSampleImporter(D).WriteTo(Writer, "CRED.DB");
  ASSERT_EQ(Result.MarkerClashes.size(), 1u);
  EXPECT_EQ(Result.MarkerClashes[0].Attribute, "credit_amount");
  EXPECT_EQ(Result.MarkerClashes[0].Rows, (std::vector<int32_t>{270}));
  EXPECT_EQ(Result.MarkerClashes[0].Lines, (std::vector<int32_t>{571}));
  EXPECT_TRUE(Result.Renamed.empty());
}

TEST(TArffReader, BreastCancerDigitsAreLabels) {
  const TSourceDataset D = TArffReader::ReadFile(DataFile("breast-cancer.arff"));
  size_t Deg = 0;
  while (D.Attributes[Deg].Name != "deg-malig") ++Deg;
  EXPECT_TRUE(D.Attributes[Deg].Nominal);
  EXPECT_EQ(D.Attributes[Deg].Values, (std::vector<std::string>{"1", "2", "3"}));
  for (size_t r = 0; r < D.RowCount(); ++r) EXPECT_LE(D.Cell(r, Deg), 2.0);
  EXPECT_EQ(ClassRows(D, "no-recurrence-events"), 201u);
  EXPECT_EQ(ClassRows(D, "recurrence-events"), 85u);
}

TEST(TArffReader, VoteQuotedAndBareValuesAndLongNames) {
  const TSourceDataset D = TArffReader::ReadFile(DataFile("vote.arff"));
  for (size_t a = 0; a + 1 < D.Attributes.size(); ++a)
    EXPECT_EQ(D.Attributes[a].Values, (std::vector<std::string>{"n", "y"}));
  EXPECT_EQ(ClassRows(D, "democrat"), 267u);
  const TSampleImporter Importer(D);
  EXPECT_EQ(Importer.Renamed().size(), 5u);
  EXPECT_EQ(Importer.Renamed()[0].FieldName.size(), 25u);
}

TEST(TArffReader, LaborMissingValuesInBothKinds) {
  const TSourceDataset D = TArffReader::ReadFile(DataFile("labor.arff"));
  size_t Nominal = 0, Numeric = 0, RowsWithMissing = 0;
  for (size_t r = 0; r < D.RowCount(); ++r) {
    bool Any = false;
    for (size_t a = 0; a < D.Attributes.size(); ++a)
      if (TSourceDataset::IsMissing(D.Cell(r, a))) {
        (D.Attributes[a].Nominal ? Nominal : Numeric)++;
        Any = true;
      }
    RowsWithMissing += Any;
  }
  EXPECT_GT(Nominal, 0u);
  EXPECT_GT(Numeric, 0u);
  EXPECT_EQ(RowsWithMissing, 56u);
  EXPECT_EQ(D.Relation, "labor-neg-data");
  EXPECT_EQ(TSampleImporter(D).Renamed().size(), 3u);
}

TEST(TArffReader, SoybeanTabsAndBlanksAfterCommas) {
  const TSourceDataset D = TArffReader::ReadFile(DataFile("soybean.arff"));
  EXPECT_EQ(D.Attributes[0].Name, "date");
  EXPECT_EQ(D.Attributes[0].Values.size(), 7u);
  EXPECT_EQ(D.Attributes.back().Values.size(), 19u);
}


TEST(TSampleImporter, BuildRulesNameEveryFileAndPutAMedicalTableSeventh) {
  const auto Rules = BuildRules();
  std::vector<std::string> Tables;
  std::set<std::string> Sources;
  for (const auto& [Source, Table] : Rules) {
    Tables.push_back(Table);
    Sources.insert(Source);
    EXPECT_TRUE(std::filesystem::exists(DataFile(Source))) << Source;
    if (Table != "Test1.DB") {
      EXPECT_TRUE(std::regex_match(Table, std::regex("[A-Z]{4}\\.DB"))) << Table;
    }
  }
  for (const auto& Entry : std::filesystem::directory_iterator(std::string(PELLORY_SOURCE_DIR) + "/data"))
    if (Entry.path().extension() == ".arff") {
      EXPECT_EQ(Sources.count(Entry.path().filename().string()), 1u) << Entry.path();
    }
  EXPECT_EQ(Tables.size(), 14u);
  // The dataset layer lists tables by name, letter case ignored.
  std::sort(Tables.begin(), Tables.end(),
            [](const std::string& A, const std::string& B) { return CompareText(A, B) < 0; });
  EXPECT_EQ(std::adjacent_find(Tables.begin(), Tables.end(),
                               [](const std::string& A, const std::string& B) { return SameText(A, B); }),
            Tables.end());
  ASSERT_GE(Tables.size(), 7u);
  EXPECT_EQ(Tables[6], "LJUB.DB");
  std::string SeventhSource;
  for (const auto& [Source, Table] : Rules)
    if (Table == Tables[6]) SeventhSource = Source;
  EXPECT_EQ(SeventhSource, "breast-cancer.arff");
  EXPECT_NE(std::find(Tables.begin(), Tables.end(), "SATI.DB"), Tables.end());
  EXPECT_NE(std::find(Tables.begin(), Tables.end(), "Test1.DB"), Tables.end());
}
