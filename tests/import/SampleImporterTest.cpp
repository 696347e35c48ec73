// The importer's table layout, codes, markers and name mapping, written into
// a recording writer so that every cell can be checked.
#include <gtest/gtest.h>

#include <sstream>

#include "ArffReader.h"
#include "CsvReader.h"
#include "Exceptions.h"
#include "SampleImporter.h"

namespace {

class TRecordingWriter : public TTableWriter {
public:
  void AppendRow(std::span<const TFieldValue> Values) override { Rows.emplace_back(Values.begin(), Values.end()); }
  void Close() override { ++Closed; }
  std::vector<std::vector<TFieldValue>> Rows;
  int Closed = 0;
};

TSourceDataset Arff(const std::string& Text) {
  std::istringstream In(Text);
  return TArffReader("t.arff").Read(In);
}

std::string ErrorOf(const TSourceDataset& Source) {
  try {
    TSampleImporter Importer(Source);
  } catch (const Exception& Error) {
    return Error.Message();
  }
  ADD_FAILURE() << "no error";
  return "";
}

int32_t Int(const TFieldValue& V) { return std::get<int32_t>(V); }
double Float(const TFieldValue& V) { return std::get<double>(V); }

const char* const Small =
    "@relation r\n"
    "@attribute colour {red,green,blue}\n"
    "@attribute size numeric\n"
    "@attribute class {no,yes}\n"
    "@data\n"
    "green,1.25,yes\n"
    "?,?,no\n"
    "blue,999,yes\n"
    "red,-3,no\n"
    "red,999,no\n";

constexpr size_t FirstAttribute = 3 + TSampleSplits::Count;

}  // namespace

TEST(TSampleImporter, FieldListOfTheSampleLayout) {
  const TSourceDataset Source = Arff(Small);
  const TSampleImporter Importer(Source);
  const std::vector<TFieldDef>& F = Importer.Fields();
  ASSERT_EQ(F.size(), FirstAttribute + 2);
  EXPECT_EQ(F[0].Name, "ID");
  EXPECT_EQ(F[0].DataType, ftInteger);
  EXPECT_EQ(F[1].Name, "Class");
  EXPECT_EQ(F[1].DataType, ftSmallint);
  EXPECT_EQ(F[2].Name, "Value");
  EXPECT_EQ(F[2].DataType, ftFloat);
  for (int32_t s = 0; s < TSampleSplits::Count; ++s) {
    EXPECT_EQ(F[3 + s].Name, "Split" + std::to_string(s));
    EXPECT_EQ(F[3 + s].DataType, ftSmallint);
  }
  EXPECT_EQ(F[FirstAttribute].Name, "colour");
  EXPECT_EQ(F[FirstAttribute].DataType, ftSmallint);
  EXPECT_EQ(F[FirstAttribute + 1].Name, "size");
  EXPECT_EQ(F[FirstAttribute + 1].DataType, ftFloat);
  EXPECT_TRUE(Importer.Renamed().empty());
}

TEST(TSampleImporter, RowsHoldIdsCodesAndMissingMarkers) {
  const TSourceDataset Source = Arff(Small);
  TRecordingWriter Writer;
  const TImportResult Result = TSampleImporter(Source).WriteTo(Writer, "T.DB");
  EXPECT_EQ(Writer.Closed, 1);
  ASSERT_EQ(Writer.Rows.size(), 5u);
  EXPECT_EQ(Result.Rows, 5);
  EXPECT_EQ(Result.Table, "T.DB");
  EXPECT_EQ(Result.ClassAttribute, "class");
  EXPECT_EQ(Result.ClassValues, (std::vector<std::string>{"no", "yes"}));
  const int32_t Ids[5] = {1, 2, 3, 4, 5}, Classes[5] = {2, 1, 2, 1, 1}, Colours[5] = {2, 999, 3, 1, 1};
  const double Sizes[5] = {1.25, 999, 999, -3, 999};
  for (size_t r = 0; r < 5; ++r) {
    const std::vector<TFieldValue>& Row = Writer.Rows[r];
    ASSERT_EQ(Row.size(), FirstAttribute + 2);
    EXPECT_EQ(Int(Row[0]), Ids[r]);
    EXPECT_EQ(Int(Row[1]), Classes[r]);
    EXPECT_EQ(Float(Row[2]), 0.0);
    for (size_t s = 0; s < TSampleSplits::Count; ++s) {
      const int32_t Flag = Int(Row[3 + s]);
      EXPECT_TRUE(Flag == 0 || Flag == 1);
    }
    EXPECT_EQ(Int(Row[FirstAttribute]), Colours[r]) << "row " << r;
    EXPECT_EQ(Float(Row[FirstAttribute + 1]), Sizes[r]) << "row " << r;
  }
}

TEST(TSampleImporter, RealValue999IsReportedWithRowsAndLines) {
  const TSourceDataset Source = Arff(Small);
  TRecordingWriter Writer;
  const TImportResult Result = TSampleImporter(Source).WriteTo(Writer, "T.DB");
  ASSERT_EQ(Result.MarkerClashes.size(), 1u);
  EXPECT_EQ(Result.MarkerClashes[0].Attribute, "size");
  EXPECT_EQ(Result.MarkerClashes[0].FieldName, "size");
  EXPECT_EQ(Result.MarkerClashes[0].Rows, (std::vector<int32_t>{3, 5}));
  EXPECT_EQ(Result.MarkerClashes[0].Lines, (std::vector<int32_t>{8, 10}));
  ASSERT_EQ(Result.Warnings.size(), 1u);
  EXPECT_EQ(Result.Warnings[0],
            "attribute 'size' holds 999, the missing-value marker, in rows 3 (line 8), 5 (line 10); "
            "the table reads it as missing");
}

TEST(TSampleImporter, SplitFieldsAreStratifiedThirds) {
  std::string Text = "@relation r\n@attribute x numeric\n@attribute c {a,b}\n@data\n";
  for (int i = 0; i < 90; ++i) Text += std::to_string(i) + (i % 3 == 0 ? ",b\n" : ",a\n");
  const TSourceDataset Source = Arff(Text);
  TRecordingWriter Writer;
  TSampleImporter(Source).WriteTo(Writer, "T");
  for (size_t s = 0; s < TSampleSplits::Count; ++s) {
    int Tested[3] = {};
    for (const auto& Row : Writer.Rows) Tested[Int(Row[1])] += Int(Row[3 + s]);
    EXPECT_EQ(Tested[1], 20) << "split " << s;
    EXPECT_EQ(Tested[2], 10) << "split " << s;
  }
  TRecordingWriter Again;
  TSampleImporter(Source).WriteTo(Again, "T");
  EXPECT_EQ(Again.Rows, Writer.Rows);
}

TEST(TSampleImporter, NamesThatAreTooLongOrEqualApartFromCaseAreMapped) {
  const TSourceDataset Source = Arff(
      "@relation r\n"
      "@attribute 'export-administration-act-south-africa' {n,y}\n"
      "@attribute Colour numeric\n"
      "@attribute colour numeric\n"
      "@attribute value numeric\n"
      "@attribute id numeric\n"
      "@attribute 'a/b' numeric\n"
      "@attribute Class {p,q}\n"
      "@data\n"
      "n,1,2,3,4,5,p\n");
  const TSampleImporter Importer(Source);
  const std::vector<TRenamedField> Expected = {{"export-administration-act-south-africa", "export-administration-act"},
                                               {"colour", "colour_2"},
                                               {"value", "value_2"},
                                               {"id", "id_2"},
                                               {"a/b", "a_b"}};
  ASSERT_EQ(Importer.Renamed().size(), Expected.size());
  for (size_t i = 0; i < Expected.size(); ++i) {
    EXPECT_EQ(Importer.Renamed()[i].Attribute, Expected[i].Attribute);
    EXPECT_EQ(Importer.Renamed()[i].FieldName, Expected[i].FieldName);
  }
  EXPECT_EQ(Importer.Fields()[FirstAttribute + 1].Name, "Colour");
  EXPECT_EQ(Importer.Fields().size(), FirstAttribute + 6);
}

TEST(TSampleImporter, ClassChosenOtherThanLast) {
  TSourceDataset Source = Arff("@relation r\n@attribute k {u,v}\n@attribute x numeric\n@data\nv,7\nu,8\n");
  Source.SelectClass("k");
  TRecordingWriter Writer;
  const TImportResult Result = TSampleImporter(Source).WriteTo(Writer, "T");
  ASSERT_EQ(Result.Fields.size(), FirstAttribute + 1);
  EXPECT_EQ(Result.Fields[FirstAttribute].Name, "x");
  EXPECT_EQ(Int(Writer.Rows[0][1]), 2);
  EXPECT_EQ(Float(Writer.Rows[1][FirstAttribute]), 8.0);
}

TEST(TSampleImporter, RefusesWhatTheLayoutCannotHold) {
  EXPECT_EQ(ErrorOf(Arff("@relation r\n@attribute c {a}\n@attribute y numeric\n@data\na,1\n")),
            "t.arff:3: the class attribute 'y' is numeric; a sample table needs a nominal class");
  EXPECT_EQ(ErrorOf(Arff("@relation r\n@attribute x numeric\n@attribute c {a,b}\n@data\n1,a\n% c\n2,?\n")),
            "t.arff:7: the class value is missing; every row of a sample table needs its class");
  std::string Many = "@relation r\n@attribute x {";
  for (int i = 1; i <= 998; ++i) Many += (i > 1 ? "," : "") + std::to_string(i);
  const std::string Data = "}\n@attribute c {a}\n@data\n998,a\n";
  const TSourceDataset Fits = Arff(Many + Data);
  EXPECT_NO_THROW(TSampleImporter{Fits});
  EXPECT_EQ(ErrorOf(Arff(Many + ",999" + Data)), "t.arff:2: attribute 'x' has 999 values; a sample table codes at most 998");
  std::istringstream Csv("a,b\n1,2\n");
  TSourceDataset NoClass = TCsvReader("t.csv").Read(Csv);
  NoClass.ClassIndex = -1;
  EXPECT_EQ(ErrorOf(NoClass), "t.csv: no class attribute");
}

TEST(TSampleImporter, ReadSourceFileChoosesTheReaderByExtension) {
  EXPECT_THROW(ReadSourceFile("/nonexistent/x.ARFF"), EFOpenError);
  EXPECT_THROW(ReadSourceFile("/nonexistent/x.Csv"), EFOpenError);
  try {
    ReadSourceFile("x.txt");
    FAIL() << "no error";
  } catch (const Exception& Error) {
    EXPECT_EQ(Error.Message(), "x.txt: unknown file kind; expected an .arff or .csv file");
  }
}
