// The ARFF reader on small texts: the variations real files contain, and a
// malformed case for each check, each with the line it must name.
#include <gtest/gtest.h>

#include <sstream>

#include "ArffReader.h"
#include "Exceptions.h"

namespace {

TSourceDataset Parse(const std::string& Text) {
  std::istringstream In(Text);
  return TArffReader("t.arff").Read(In);
}

// The message of the error that Text raises; a parse that succeeds fails the test.
std::string ErrorOf(const std::string& Text) {
  try {
    Parse(Text);
  } catch (const Exception& Error) {
    return Error.Message();
  }
  ADD_FAILURE() << "no error for:\n" << Text;
  return "";
}

const char* const Header =
    "@relation r\n"
    "@attribute a {x,y}\n"
    "@attribute n numeric\n"
    "@attribute class {p,q}\n"
    "@data\n";

}  // namespace

TEST(TArffReader, ReadsNominalNumericAndMissing) {
  const TSourceDataset D = Parse(std::string(Header) + "x,1.5,p\ny,?,q\n?,-8.25,p\n");
  ASSERT_EQ(D.Attributes.size(), 3u);
  EXPECT_EQ(D.Relation, "r");
  EXPECT_TRUE(D.Attributes[0].Nominal);
  EXPECT_FALSE(D.Attributes[1].Nominal);
  EXPECT_EQ(D.ClassIndex, 2);
  ASSERT_EQ(D.RowCount(), 3u);
  EXPECT_EQ(D.Cell(0, 0), 0);
  EXPECT_EQ(D.Cell(0, 1), 1.5);
  EXPECT_EQ(D.Cell(1, 0), 1);
  EXPECT_TRUE(TSourceDataset::IsMissing(D.Cell(1, 1)));
  EXPECT_TRUE(TSourceDataset::IsMissing(D.Cell(2, 0)));
  EXPECT_EQ(D.Cell(2, 1), -8.25);
  EXPECT_EQ(D.Cell(1, 2), 1);
  EXPECT_EQ(D.Lines, (std::vector<int32_t>{6, 7, 8}));
}

TEST(TArffReader, KeywordsAnyCaseTabsCommentsAndBlankLines) {
  const TSourceDataset D = Parse(
      "% leading comment\n"
      "\n"
      "@RELATION 'my data'  \t\n"
      "@Attribute\tsize\t\tREAL \n"
      "% between\n"
      "\n"
      "@ATTRIBUTE count INTEGER % trailing comment\n"
      "@attribute 'kind' { a ,b,  c}\t\n"
      "@DATA\n"
      "% after data\n"
      "\n"
      "1, 2, a\n"
      "3,4,'c'   % comment after a row\n"
      "% at the end\n");
  EXPECT_EQ(D.Relation, "my data");
  ASSERT_EQ(D.Attributes.size(), 3u);
  EXPECT_FALSE(D.Attributes[0].Nominal);
  EXPECT_FALSE(D.Attributes[1].Nominal);
  EXPECT_EQ(D.Attributes[2].Values, (std::vector<std::string>{"a", "b", "c"}));
  ASSERT_EQ(D.RowCount(), 2u);
  EXPECT_EQ(D.Cell(1, 2), 2);
  EXPECT_EQ(D.Lines, (std::vector<int32_t>{12, 13}));
  EXPECT_EQ(D.Attributes[2].Line, 8);
}

TEST(TArffReader, QuotedNamesAndValuesEqualTheirBareForms) {
  const TSourceDataset D = Parse(
      "@relation r\n"
      "@attribute 'checking status' {'<0','0<=X<200',radio/tv,'no checking'}\n"
      "@attribute \"vote\" { 'n', 'y'}\n"
      "@attribute class {n,y}\n"
      "@data\n"
      "'0<=X<200',n,'y'\n"
      "radio/tv,'y',n\n"
      "'radio/tv',\"n\",y\n");
  EXPECT_EQ(D.Attributes[0].Name, "checking status");
  EXPECT_EQ(D.Attributes[1].Name, "vote");
  EXPECT_EQ(D.Cell(0, 0), 1);
  EXPECT_EQ(D.Cell(0, 1), 0);
  EXPECT_EQ(D.Cell(0, 2), 1);
  EXPECT_EQ(D.Cell(1, 0), 2);
  EXPECT_EQ(D.Cell(1, 1), 1);
  EXPECT_EQ(D.Cell(2, 0), 2);
  EXPECT_EQ(D.Cell(2, 1), 0);
  // An escaped quote is part of the value, which is then not declared.
  EXPECT_NE(ErrorOf("@relation r\n@attribute a {x}\n@data\n'it\\'s'\n").find("'it's' is not declared"),
            std::string::npos);
}

TEST(TArffReader, NumberLikeAndCaseDistinctNominalValues) {
  const TSourceDataset D = Parse(
      "@relation r\n"
      "@attribute deg {'1','2','3'}\n"
      "@attribute range {'10-19', 0-2, 90-100}\n"
      "@attribute c {Yes,yes,YES}\n"
      "@data\n"
      "3,'0-2',yes\n"
      "'1',90-100,YES\n"
      "2,10-19,Yes\n");
  EXPECT_TRUE(D.Attributes[0].Nominal);
  EXPECT_EQ(D.Cell(0, 0), 2);  // the code of '3', not the number 3
  EXPECT_EQ(D.Cell(1, 0), 0);
  EXPECT_EQ(D.Cell(0, 1), 1);
  EXPECT_EQ(D.Cell(0, 2), 1);
  EXPECT_EQ(D.Cell(1, 2), 2);
  EXPECT_EQ(D.Cell(2, 2), 0);
  EXPECT_EQ(D.Attributes[2].Values.size(), 3u);
}

TEST(TArffReader, DeclaredButUnusedValuesKeepTheirCodes) {
  const TSourceDataset D = Parse("@relation r\n@attribute a {u,v,w}\n@attribute c {k,l}\n@data\nw,k\n");
  EXPECT_EQ(D.Attributes[0].Values.size(), 3u);
  EXPECT_EQ(D.Cell(0, 0), 2);
}

TEST(TArffReader, NumbersInEveryWrittenForm) {
  const TSourceDataset D = Parse(
      "@relation r\n@attribute x numeric\n@attribute c {k}\n@data\n"
      "0,k\n-8.22222,k\n1.51793,k\n1e-7,k\n+3,k\n.5,k\n'12',k\n");
  const std::vector<double> Expected = {0, -8.22222, 1.51793, 1e-7, 3, 0.5, 12};
  ASSERT_EQ(D.RowCount(), Expected.size());
  for (size_t r = 0; r < Expected.size(); ++r) EXPECT_EQ(D.Cell(r, 0), Expected[r]) << "row " << r;
}

TEST(TArffReader, CrLfLinesAndEmptyNominalList) {
  const TSourceDataset D = Parse("@relation r\r\n@attribute e {}\r\n@attribute c {k}\r\n@data\r\n?,k\r\n");
  EXPECT_TRUE(D.Attributes[0].Values.empty());
  EXPECT_EQ(D.RowCount(), 1u);
  EXPECT_EQ(D.Cell(0, 1), 0);
}

TEST(TArffReader, HeaderWithoutRowsIsAnEmptyDataset) {
  const TSourceDataset D = Parse(std::string(Header) + "% nothing\n");
  EXPECT_EQ(D.RowCount(), 0u);
  EXPECT_TRUE(D.Cells.empty());
}

TEST(TArffReader, MalformedHeaderNamesTheLine) {
  EXPECT_EQ(ErrorOf(""), "t.arff:1: no @relation: this is not an ARFF file");
  EXPECT_EQ(ErrorOf("% only\nhello\n"), "t.arff:2: expected @relation, found 'hello'");
  EXPECT_EQ(ErrorOf("@attribute a numeric\n"), "t.arff:1: @attribute before @relation");
  EXPECT_EQ(ErrorOf("@relation r\n@relation s\n"), "t.arff:2: second @relation");
  EXPECT_EQ(ErrorOf("@relation\n"), "t.arff:1: @relation without a name");
  EXPECT_EQ(ErrorOf("@relation my data\n"), "t.arff:1: unexpected text after the relation name: 'data'");
  EXPECT_EQ(ErrorOf("@relation r\n@attribute a numeric\n"), "t.arff:2: missing @data");
  EXPECT_EQ(ErrorOf("@relation r\n\n@data\n"), "t.arff:3: @data before any @attribute");
  EXPECT_EQ(ErrorOf("@relation r\n@attrib a numeric\n"), "t.arff:2: unknown keyword '@attrib'");
  EXPECT_EQ(ErrorOf("@relation r\n@attribute a numeric\nfoo\n"),
            "t.arff:3: expected @attribute or @data, found 'foo'");
  EXPECT_EQ(ErrorOf("@relation r\n@attribute a numeric\n@data now\n"),
            "t.arff:3: unexpected text after @data: 'now'");
}

TEST(TArffReader, MalformedDeclarationsNameTheLine) {
  const std::string R = "@relation r\n% c\n";
  EXPECT_EQ(ErrorOf(R + "@attribute\n"), "t.arff:3: @attribute without a name");
  EXPECT_EQ(ErrorOf(R + "@attribute a\n"), "t.arff:3: attribute 'a' has no type");
  EXPECT_EQ(ErrorOf(R + "@attribute a nominal\n"), "t.arff:3: unknown type 'nominal' of attribute 'a'");
  EXPECT_EQ(ErrorOf(R + "@attribute a numeric\n@attribute a real\n"),
            "t.arff:4: attribute 'a' is declared twice");
  EXPECT_EQ(ErrorOf(R + "@attribute a numeric extra\n"),
            "t.arff:3: unexpected text after the type of attribute 'a': 'extra'");
  EXPECT_EQ(ErrorOf(R + "@attribute a {x,y\n"), "t.arff:3: missing '}' in the declaration of 'a'");
  EXPECT_EQ(ErrorOf(R + "@attribute a {x,,y}\n"), "t.arff:3: empty value in the declaration of 'a'");
  EXPECT_EQ(ErrorOf(R + "@attribute a {x,x}\n"), "t.arff:3: value 'x' appears twice in the declaration of 'a'");
  EXPECT_EQ(ErrorOf(R + "@attribute a {x y}\n"),
            "t.arff:3: unquoted value with a blank 'x y' in the declaration of 'a'");
  EXPECT_EQ(ErrorOf(R + "@attribute a {'x' 'y'}\n"),
            "t.arff:3: expected ',' or '}' after value 'x' in the declaration of 'a'");
  EXPECT_EQ(ErrorOf(R + "@attribute 'a numeric\n"), "t.arff:3: unterminated quoted text 'a numeric");
}

TEST(TArffReader, RefusesTypesTheTablesCannotHold) {
  const std::string R = "@relation r\n";
  EXPECT_EQ(ErrorOf(R + "@attribute s STRING\n"),
            "t.arff:2: attribute 's' has type STRING, which a sample table cannot hold "
            "(only nominal and numeric attributes)");
  EXPECT_NE(ErrorOf(R + "@attribute d date 'yyyy-MM-dd'\n").find("t.arff:2: attribute 'd' has type date"),
            std::string::npos);
  EXPECT_NE(ErrorOf(R + "@attribute b relational\n").find("t.arff:2: attribute 'b' has type relational"),
            std::string::npos);
}

TEST(TArffReader, MalformedRowsNameTheLine) {
  const std::string H = std::string(Header) + "x,1,p\n% comment\n";  // the bad row is line 8
  EXPECT_EQ(ErrorOf(H + "x,1\n"), "t.arff:8: the row has 2 values, the header declares 3 attributes");
  EXPECT_EQ(ErrorOf(H + "x,1,p,q\n"), "t.arff:8: the row has 4 values, the header declares 3 attributes");
  EXPECT_EQ(ErrorOf(H + "z,1,p\n"), "t.arff:8: value 'z' is not declared for attribute 'a'");
  EXPECT_EQ(ErrorOf(H + "X,1,p\n"), "t.arff:8: value 'X' is not declared for attribute 'a'");
  EXPECT_EQ(ErrorOf(H + "x,1x,p\n"), "t.arff:8: '1x' is not a number (attribute 'n')");
  EXPECT_EQ(ErrorOf(H + "x,nan,p\n"), "t.arff:8: 'nan' is not a number (attribute 'n')");
  EXPECT_EQ(ErrorOf(H + "x,inf,p\n"), "t.arff:8: 'inf' is not a number (attribute 'n')");
  EXPECT_EQ(ErrorOf(H + "x,1e999,p\n"), "t.arff:8: '1e999' is not a number (attribute 'n')");
  EXPECT_EQ(ErrorOf(H + "x,'?',p\n"), "t.arff:8: '?' is not a number (attribute 'n')");
  EXPECT_EQ(ErrorOf(H + "x,,p\n"), "t.arff:8: value 2 of the row is empty");
  EXPECT_EQ(ErrorOf(H + "x,1,p,\n"), "t.arff:8: value 4 of the row is empty");
  EXPECT_EQ(ErrorOf(H + "x,1 2,p\n"), "t.arff:8: unquoted value with a blank '1 2'");
  EXPECT_EQ(ErrorOf(H + "'x'y,1,p\n"), "t.arff:8: expected ',' after value 'x'");
  EXPECT_EQ(ErrorOf(H + "'x,1,p\n"), "t.arff:8: unterminated quoted text 'x,1,p");
  EXPECT_EQ(ErrorOf(H + "{0 x, 2 p}\n"), "t.arff:8: sparse rows are not supported; write every value of the row");
  EXPECT_EQ(ErrorOf(H + "x,1,p,{2}\n"), "t.arff:8: instance weights are not supported: '{2}'");
  EXPECT_EQ(ErrorOf(H + "@attribute late numeric\n"), "t.arff:8: @attribute after @data");
}

TEST(TArffReader, ReadFileReportsAMissingFile) {
  try {
    TArffReader::ReadFile("/nonexistent/none.arff");
    FAIL() << "no error";
  } catch (const EFOpenError& Error) {
    EXPECT_NE(Error.Message().find("Cannot open file \"/nonexistent/none.arff\""), std::string::npos);
  }
}
