// The CSV reader: quoting, missing cells, column kinds and the class column.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "CsvReader.h"
#include "Exceptions.h"

namespace {

TSourceDataset Parse(const std::string& Text, const std::string& ClassName = "") {
  std::istringstream In(Text);
  return TCsvReader("t.csv", ClassName).Read(In);
}

std::string ErrorOf(const std::string& Text, const std::string& ClassName = "") {
  try {
    Parse(Text, ClassName);
  } catch (const Exception& Error) {
    return Error.Message();
  }
  ADD_FAILURE() << "no error for:\n" << Text;
  return "";
}

}  // namespace

TEST(TCsvReader, ColumnKindsMissingCellsAndFirstAppearanceOrder) {
  const TSourceDataset D = Parse(
      "size,colour,weight,class\n"
      "1.5,red,?,b\n"
      "2, blue ,3,a\n"
      ",red,4,b\n"
      "-1e2,,?,c\n");
  ASSERT_EQ(D.Attributes.size(), 4u);
  EXPECT_FALSE(D.Attributes[0].Nominal);
  EXPECT_TRUE(D.Attributes[1].Nominal);
  EXPECT_FALSE(D.Attributes[2].Nominal);
  EXPECT_EQ(D.ClassIndex, 3);
  EXPECT_EQ(D.Attributes[1].Values, (std::vector<std::string>{"red", "blue"}));
  EXPECT_EQ(D.Attributes[3].Values, (std::vector<std::string>{"b", "a", "c"}));
  EXPECT_EQ(D.Cell(0, 0), 1.5);
  EXPECT_TRUE(TSourceDataset::IsMissing(D.Cell(2, 0)));
  EXPECT_EQ(D.Cell(3, 0), -100);
  EXPECT_EQ(D.Cell(1, 1), 1);
  EXPECT_TRUE(TSourceDataset::IsMissing(D.Cell(3, 1)));
  EXPECT_TRUE(TSourceDataset::IsMissing(D.Cell(0, 2)));
  EXPECT_EQ(D.Cell(3, 3), 2);
}

TEST(TCsvReader, QuotedCellsWithCommasQuotesAndLineBreaks) {
  const TSourceDataset D = Parse(
      "\"name, full\",note,class\r\n"
      "\"a,b\",\"say \"\"hi\"\"\",x\r\n"
      "\"two\nlines\",\"\",y\r\n"
      "plain,\"?\",x\r\n");
  EXPECT_EQ(D.Attributes[0].Name, "name, full");
  EXPECT_EQ(D.Attributes[0].Values, (std::vector<std::string>{"a,b", "two\nlines", "plain"}));
  EXPECT_EQ(D.Attributes[1].Values, (std::vector<std::string>{"say \"hi\""}));
  EXPECT_TRUE(TSourceDataset::IsMissing(D.Cell(1, 1)));
  EXPECT_TRUE(TSourceDataset::IsMissing(D.Cell(2, 1)));
  EXPECT_EQ(D.Lines, (std::vector<int32_t>{2, 3, 5}));
}

TEST(TCsvReader, CaseDistinctValuesAndBlankLines) {
  const TSourceDataset D = Parse("v,c\n\nYes,p\nyes,q\n\n\nYES,p\n");
  EXPECT_EQ(D.Attributes[0].Values, (std::vector<std::string>{"Yes", "yes", "YES"}));
  EXPECT_EQ(D.Lines, (std::vector<int32_t>{3, 4, 7}));
}

TEST(TCsvReader, ClassColumnIsNominalAndNumericLabelsSortByValue) {
  const TSourceDataset D = Parse("x,label\n1,10\n2,2\n3,10\n4,-1\n");
  EXPECT_TRUE(D.Attributes[1].Nominal);
  EXPECT_EQ(D.Attributes[1].Values, (std::vector<std::string>{"-1", "2", "10"}));
  EXPECT_EQ(D.Cell(0, 1), 2);
  EXPECT_EQ(D.Cell(1, 1), 1);
  EXPECT_EQ(D.Cell(3, 1), 0);
}

TEST(TCsvReader, ClassChosenByName) {
  const TSourceDataset D = Parse("Kind,x,y\na,1,2\nb,3,4\n", "kind");
  EXPECT_EQ(D.ClassIndex, 0);
  EXPECT_TRUE(D.Attributes[0].Nominal);
  EXPECT_FALSE(D.Attributes[2].Nominal);
  EXPECT_EQ(ErrorOf("a,b\n1,2\n", "c"), "t.csv: no attribute 'c'");
  EXPECT_EQ(ErrorOf("Ab,aB,c\n1,2,3\n", "ab"), "t.csv: attribute name 'ab' is ambiguous");
}

TEST(TCsvReader, MalformedInputNamesTheLine) {
  EXPECT_EQ(ErrorOf(""), "t.csv:1: no header row");
  EXPECT_EQ(ErrorOf("\n\n"), "t.csv:1: no header row");
  EXPECT_EQ(ErrorOf("a,,c\n"), "t.csv:1: column 2 has no name");
  EXPECT_EQ(ErrorOf("a,b,a\n"), "t.csv:1: column name 'a' appears twice");
  EXPECT_EQ(ErrorOf("a,b\n1,2\n1,2,3\n"), "t.csv:3: the row has 3 cells, the header has 2");
  EXPECT_EQ(ErrorOf("a,b\n1,2\n1\n"), "t.csv:3: the row has 1 cells, the header has 2");
  EXPECT_EQ(ErrorOf("a,b\n1,2\n\"open,2\n3,4\n"), "t.csv:3: unterminated quoted cell");
  EXPECT_EQ(ErrorOf("a,b\n\"x\"y,2\n"), "t.csv:2: text after the closing quote of a cell");
  EXPECT_EQ(ErrorOf("a,b\nx\"y,2\n"), "t.csv:2: quote inside an unquoted cell");
}

TEST(TCsvReader, RecordsAcrossReadBlocksAndCellsLongerThanABlock) {
  // The file is read in blocks far smaller than this text: rows, quoted
  // line breaks and a cell of 200 KB all cross block ends somewhere.
  std::string Text = "n,note,class\n";
  const std::string Long = "\"" + std::string(100000, 'x') + ",\n" + std::string(100000, 'y') + "\"";
  for (int i = 0; i < 3000; ++i) {
    Text += std::to_string(i) + ",";
    Text += i == 1500 ? Long : (i % 7 == 0 ? "\"two\nlines\"" : "n" + std::to_string(i % 5));
    Text += i % 2 ? ",odd\n" : ",even\n";
  }
  const TSourceDataset D = Parse(Text);
  ASSERT_EQ(D.RowCount(), 3000u);
  EXPECT_EQ(D.Cell(2999, 0), 2999);
  EXPECT_EQ(D.Cell(1501, 0), 1501);
  EXPECT_EQ(D.Attributes[2].Values, (std::vector<std::string>{"even", "odd"}));
  const auto& Notes = D.Attributes[1].Values;
  EXPECT_NE(std::find(Notes.begin(), Notes.end(), Long.substr(1, Long.size() - 2)), Notes.end());
  // Line numbers count the line breaks inside quotes: 429 quoted pairs
  // before row 2999 (every seventh row) and the long cell's one.
  EXPECT_EQ(D.Lines[2999], 2 + 2999 + 429 + 1);
}
