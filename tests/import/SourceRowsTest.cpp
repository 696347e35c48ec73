// Files read in passes. CSV: rows across the reader's blocks, value lists
// that must survive a column looking numeric for a long time, a file that
// changes between passes. CSV and ARFF: an import through the passes writes
// what the import of the dataset in memory writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "ArffReader.h"
#include "CsvReader.h"
#include "Exceptions.h"
#include "SampleImporter.h"
#include "SampleRules.h"

namespace {

class TRecordingWriter : public TTableWriter {
public:
  void AppendRow(std::span<const TFieldValue> Values) override { Rows.emplace_back(Values.begin(), Values.end()); }
  void Close() override {}
  std::vector<std::vector<TFieldValue>> Rows;
};

template <class F>
std::string ErrorOf(F&& Action) {
  try {
    Action();
  } catch (const Exception& Error) {
    return Error.Message();
  }
  ADD_FAILURE() << "no error";
  return "";
}

}  // namespace

TEST(TCsvRows, RowsAcrossBlocksWithQuotedLineBreaksAndCrLf) {
  // About 4 MB: records cross the reader's block boundaries at every kind of
  // place, some of them inside a quoted cell that holds a line break.
  std::string Text = "n,note,kind\r\n";
  const int32_t Rows = 90000;
  for (int32_t i = 0; i < Rows; ++i) {
    Text += std::to_string(i) + ",";
    if (i % 7 == 0)
      Text += "\"line " + std::to_string(i % 5) + "\nrest, \"\"quoted\"\"\"";
    else
      Text += "plain " + std::to_string(i % 5);
    Text += i % 3 == 0 ? ",k\r\n" : ",l\n";
  }
  std::istringstream In(Text);
  TCsvRows Source("t.csv", In);
  ASSERT_EQ(Source.RowCount(), static_cast<size_t>(Rows));
  const TSourceDataset& H = Source.Header();
  ASSERT_EQ(H.Attributes.size(), 3u);
  EXPECT_FALSE(H.Attributes[0].Nominal);
  ASSERT_TRUE(H.Attributes[1].Nominal);
  EXPECT_EQ(H.Attributes[1].Values.size(), 10u);
  EXPECT_EQ(H.Attributes[1].Values[0], "line 0\nrest, \"quoted\"");
  EXPECT_EQ(H.Attributes[1].Values[1], "plain 1");
  EXPECT_EQ(H.Attributes[2].Values, (std::vector<std::string>{"k", "l"}));
  for (int Pass = 0; Pass < 2; ++Pass) {
    Source.Rewind();
    std::vector<double> Cells(3);
    int32_t Line = 0, ExpectedLine = 2;
    for (int32_t i = 0; i < Rows; ++i) {
      ASSERT_TRUE(Source.Next(Cells, Line)) << "row " << i;
      ASSERT_EQ(Cells[0], i);
      const std::string& Note = H.Attributes[1].Values[static_cast<size_t>(Cells[1])];
      ASSERT_EQ(Note, i % 7 == 0 ? "line " + std::to_string(i % 5) + "\nrest, \"quoted\""
                                 : "plain " + std::to_string(i % 5))
          << "row " << i;
      ASSERT_EQ(Cells[2], i % 3 == 0 ? 0 : 1);
      ASSERT_EQ(Source.ClassCodes()[static_cast<size_t>(i)], i % 3 == 0 ? 0 : 1);
      ASSERT_EQ(Line, ExpectedLine) << "row " << i;
      ExpectedLine += i % 7 == 0 ? 2 : 1;
    }
    EXPECT_FALSE(Source.Next(Cells, Line));
  }
}

TEST(TCsvRows, ColumnThatLooksNumericLongAndTurnsNominalKeepsEveryValueInOrder) {
  // More distinct numbers than a numeric-looking column keeps, then a text:
  // the values come from a further pass, in order of first appearance.
  std::string Text = "x,c\n";
  for (int i = 0; i < 1500; ++i) Text += std::to_string((i * 7919) % 1500) + ",a\n";
  Text += "none,b\n7,a\n";
  std::istringstream In(Text);
  TCsvRows Source("t.csv", In);
  const TSourceAttribute& X = Source.Header().Attributes[0];
  ASSERT_TRUE(X.Nominal);
  ASSERT_EQ(X.Values.size(), 1501u);
  EXPECT_EQ(X.Values[0], "0");
  EXPECT_EQ(X.Values[1], "419");  // 7919 mod 1500
  EXPECT_EQ(X.Values[1500], "none");
  std::istringstream Again(Text);
  const TSourceDataset D = TCsvReader("t.csv").Read(Again);
  EXPECT_EQ(D.Cell(1501, 0), 1253.0);  // "7" first appeared in row 1253
  EXPECT_EQ(X.Values[1253], "7");
  EXPECT_EQ(D.Cell(1500, 0), 1500.0);
}

TEST(TCsvRows, FileThatChangesBetweenPassesIsReported) {
  std::stringstream In("a,c\nx,k\ny,l\n");
  TCsvRows Source("t.csv", In);
  std::vector<double> Cells(2);
  int32_t Line = 0;
  In.str("a,c\nx,k\nz,l\n");  // a value the first pass never saw
  Source.Rewind();
  EXPECT_TRUE(Source.Next(Cells, Line));
  EXPECT_EQ(ErrorOf([&] { Source.Next(Cells, Line); }), "t.csv:3: the file changed while it was being read");
  In.str("a,c\nx,k\n");  // a row fewer
  Source.Rewind();
  EXPECT_TRUE(Source.Next(Cells, Line));
  EXPECT_EQ(ErrorOf([&] { Source.Next(Cells, Line); }), "t.csv:2: the file changed while it was being read");
  In.str("a,b\nx,k\ny,l\n");  // another header
  EXPECT_EQ(ErrorOf([&] { Source.Rewind(); }), "t.csv:1: the file changed while it was being read");
}

TEST(TCsvReader, StreamThatCannotSeekIsReadAsWell) {
  // A pipe: reads forward only, so tellg and seekg fail.
  class TPipeBuffer : public std::streambuf {
  public:
    explicit TPipeBuffer(std::string Text) : FText(std::move(Text)) {
      setg(FText.data(), FText.data(), FText.data() + FText.size());
    }

  private:
    std::string FText;
  };
  TPipeBuffer Pipe("x,c\n1,a\nq,b\n");
  std::istream In(&Pipe);
  ASSERT_LT(In.tellg(), 0);
  const TSourceDataset D = TCsvReader("t.csv").Read(In);
  ASSERT_EQ(D.RowCount(), 2u);
  EXPECT_EQ(D.Attributes[0].Values, (std::vector<std::string>{"1", "q"}));
  EXPECT_EQ(D.Cell(1, 1), 1.0);
  EXPECT_EQ(D.Lines, (std::vector<int32_t>{2, 3}));
}

TEST(TSampleImporter, CsvReadInPassesWritesWhatTheDatasetInMemoryWrites) {
  // Missing cells in both kinds, a 999 value, numeric class labels recoded
  // by value.
  const std::string Text =
      "colour,size,label\n"
      "green,1.25,10\n"
      "?,,2\n"
      "blue,999,10\n"
      "red,-3,-1\n"
      "red,999,2\n";
  std::istringstream A(Text), B(Text);
  const TSourceDataset Memory = TCsvReader("t.csv").Read(A);
  TCsvRows Streamed("t.csv", B);
  TRecordingWriter FromMemory, FromPasses;
  const TImportResult R1 = TSampleImporter(Memory).WriteTo(FromMemory, "T");
  const TImportResult R2 = TSampleImporter(Streamed).WriteTo(FromPasses, "T");
  EXPECT_EQ(FromPasses.Rows, FromMemory.Rows);
  EXPECT_EQ(R2.ClassValues, (std::vector<std::string>{"-1", "2", "10"}));
  EXPECT_EQ(R2.ClassValues, R1.ClassValues);
  EXPECT_EQ(R2.Warnings, R1.Warnings);
  ASSERT_EQ(R2.MarkerClashes.size(), 1u);
  EXPECT_EQ(R2.MarkerClashes[0].Lines, (std::vector<int32_t>{4, 6}));
  ASSERT_EQ(FromPasses.Rows.size(), 5u);
  EXPECT_EQ(std::get<int32_t>(FromPasses.Rows[0][1]), 3);
  EXPECT_EQ(std::get<int32_t>(FromPasses.Rows[3][1]), 1);
}

TEST(TSampleImporter, CsvReadInPassesNamesTheLineOfAMissingClass) {
  std::istringstream In("x,c\n1,a\n\n2,\n3,b\n");
  TCsvRows Source("t.csv", In);
  EXPECT_EQ(ErrorOf([&] { TSampleImporter Importer(Source); }),
            "t.csv:4: the class value is missing; every row of a sample table needs its class");
}

TEST(TArffRows, ShippedFilesImportAsTheirDatasetsInMemory) {
  for (const auto& Entry : std::filesystem::directory_iterator(DataFile(""))) {
    if (Entry.path().extension() != ".arff") continue;
    const std::string File = Entry.path().string();
    SCOPED_TRACE(File);
    const TSourceDataset Memory = TArffReader::ReadFile(File);
    const std::unique_ptr<TSourceRows> Streamed = OpenSourceFile(File);
    ASSERT_EQ(Streamed->RowCount(), Memory.RowCount());
    TRecordingWriter FromMemory, FromPasses;
    const TImportResult R1 = TSampleImporter(Memory).WriteTo(FromMemory, "T");
    const TImportResult R2 = TSampleImporter(*Streamed).WriteTo(FromPasses, "T");
    EXPECT_EQ(FromPasses.Rows, FromMemory.Rows);
    EXPECT_EQ(R2.ClassValues, R1.ClassValues);
    EXPECT_EQ(R2.Warnings, R1.Warnings);
  }
}

TEST(TArffRows, ClassChosenByNameFileChangesAndMissingClassLines) {
  const std::string Header = "@relation r\n@attribute k {u,v}\n@attribute x numeric\n@data\n";
  std::stringstream In(Header + "v,7\n% note\nu,8\n");
  TArffRows Source("t.arff", In, "K");
  EXPECT_EQ(Source.Header().ClassIndex, 0);
  EXPECT_EQ(std::vector<int32_t>(Source.ClassCodes().begin(), Source.ClassCodes().end()),
            (std::vector<int32_t>{1, 0}));
  std::vector<double> Cells(2);
  int32_t Line = 0;
  Source.Rewind();
  ASSERT_TRUE(Source.Next(Cells, Line));
  EXPECT_EQ(Line, 5);
  ASSERT_TRUE(Source.Next(Cells, Line));
  EXPECT_EQ(Line, 7);
  EXPECT_EQ(Cells[1], 8.0);
  EXPECT_FALSE(Source.Next(Cells, Line));
  In.str(Header + "v,7\nv,8\n");  // another class in row 2
  Source.Rewind();
  ASSERT_TRUE(Source.Next(Cells, Line));
  EXPECT_EQ(ErrorOf([&] { Source.Next(Cells, Line); }), "t.arff:6: the file changed while it was being read");
  In.str("@relation r\n@attribute k {u,w}\n@attribute x numeric\n@data\n");
  EXPECT_EQ(ErrorOf([&] { Source.Rewind(); }), "t.arff:1: the file changed while it was being read");

  std::istringstream Missing(Header + "v,7\n\n?,8\n");
  TArffRows WithGap("t.arff", Missing, "k");
  EXPECT_EQ(ErrorOf([&] { TSampleImporter Importer(WithGap); }),
            "t.arff:7: the class value is missing; every row of a sample table needs its class");
  std::istringstream Bad(Header + "v,7\nw,8\n");
  EXPECT_EQ(ErrorOf([&] { TArffRows Refused("t.arff", Bad); }),
            "t.arff:6: value 'w' is not declared for attribute 'k'");
}
