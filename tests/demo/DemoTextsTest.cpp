// The demo's three text files as the build puts them beside the programs:
// read completely with the features the pages rely on, and, where the
// figures come from the data, equal to what the data gives today.
#include <gtest/gtest.h>

#include <QTextDocument>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "RichTextDocument.h"
#include "RichTextReader.h"

#ifdef PELLORY_CHECK_TEXTS
#include "CrossTest.h"
#include "SampleDatabase.h"
#include "Session.h"
#include "Table.h"
#endif

namespace {

const std::string TextsDir = PELLORY_TEXTS_DIR;

TRichTextDocument ReadText(const std::string& Name) {
  std::ifstream In(TextsDir + "/" + Name, std::ios::binary);
  EXPECT_TRUE(In.good()) << Name << " is not in " << TextsDir;
  const std::string Bytes((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
  return ReadRichText(Bytes);
}

// Position of the first paragraph whose text is Text, or -1.
int Find(const TRichTextDocument& D, const std::string& Text, size_t From = 0) {
  for (size_t P = From; P < D.Paragraphs.size(); ++P)
    if (D.Paragraphs[P].Text() == Text) return static_cast<int>(P);
  return -1;
}

std::vector<std::string> Cells(const std::string& Line) {
  std::vector<std::string> Out;
  size_t Start = 0;
  for (;;) {
    const size_t Tab = Line.find('\t', Start);
    Out.push_back(Line.substr(Start, Tab == std::string::npos ? std::string::npos : Tab - Start));
    if (Tab == std::string::npos) return Out;
    Start = Tab + 1;
  }
}

}  // namespace

TEST(DemoTexts, EachFileReadsCompletelyWithTitleBulletsAndBold) {
  const std::vector<std::pair<std::string, std::string>> Files = {{"Description.rtf", "Data description"},
                                                                 {"ClassificationReference.rtf", "Reference results"},
                                                                 {"QuickStart.rtf", "Quick start"}};
  for (const auto& [Name, Title] : Files) {
    SCOPED_TRACE(Name);
    const TRichTextDocument D = ReadText(Name);
    EXPECT_TRUE(D.Rich);
    EXPECT_EQ(D.Error, "");
    ASSERT_GT(D.Paragraphs.size(), 10u);
    EXPECT_EQ(D.Fonts, (std::vector<std::string>{"Arial", "Courier New"}));
    const TRichTextParagraph& First = D.Paragraphs[0];
    EXPECT_EQ(First.Text(), Title);
    ASSERT_FALSE(First.Runs.empty());
    EXPECT_TRUE(First.Runs[0].Format.Bold);
    EXPECT_EQ(First.Runs[0].Format.Color, 0x333399u);
    int Bullets = 0, BoldRuns = 0, Fixed = 0;
    for (const auto& P : D.Paragraphs) {
      Bullets += P.List == TRichTextList::rlBullet;
      for (const auto& R : P.Runs) BoldRuns += R.Format.Bold, Fixed += R.Format.Font == 1;
    }
    EXPECT_GE(Bullets, 4);
    EXPECT_GE(BoldRuns, 4);
    if (Name != "Description.rtf") {
      EXPECT_GE(Fixed, 1);  // code, commands, grids
    }
    QTextDocument Document;
    EXPECT_TRUE(LoadRichTextFile(TextsDir + "/" + Name, Document));
    EXPECT_EQ(Document.blockCount(), static_cast<int>(D.Paragraphs.size()));
  }
  // The shipped copies are the files of the sources.
  for (const std::string Name : {"QuickStart.rtf", "ClassificationReference.rtf"}) {
    std::ifstream A(TextsDir + "/" + Name, std::ios::binary), B(std::string(PELLORY_TEXTS_SOURCE_DIR) + "/" + Name, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(A), {}), std::string(std::istreambuf_iterator<char>(B), {})) << Name;
  }
}

TEST(DemoTexts, QuickStartShowsCodeAndCommands) {
  const TRichTextDocument D = ReadText("QuickStart.rtf");
  EXPECT_GE(Find(D, "int main() {"), 0);
  EXPECT_GE(Find(D, "find_package(Pellory 1.0 REQUIRED)          # CMAKE_PREFIX_PATH=/some/prefix"), 0);
  EXPECT_GE(Find(D, "pellory crosstest --runs 5            # the cross test of the demo page"), 0);
  const int Main = Find(D, "int main() {");
  ASSERT_GE(Main, 0);
  EXPECT_EQ(D.Paragraphs[static_cast<size_t>(Main)].Runs.at(0).Format.Font, 1);  // Courier New
}

#ifdef PELLORY_CHECK_TEXTS

TEST(DemoTexts, DescriptionMatchesTheTables) {
  const TRichTextDocument D = ReadText("Description.rtf");
  TSession Session(nullptr);
  EnsureSampleAlias(Session, TextsDir + "/Data");
  const std::vector<std::string> Tables = SampleTableNames(Session);
  ASSERT_FALSE(Tables.empty());
  for (const std::string& Name : Tables) {
    SCOPED_TRACE(Name);
    const int Heading = Find(D, Name);
    ASSERT_GE(Heading, 0);
    EXPECT_TRUE(D.Paragraphs[static_cast<size_t>(Heading)].Runs.at(0).Format.Bold);
    TTable Table(nullptr, &Session);
    Table.SetDatabaseName(SampleAlias);
    Table.SetTableName(Name);
    Table.Open();
    const std::string Rows = "Rows: " + std::to_string(Table.RecordCount()) + ";";
    // The facts of a table are the bullets after its heading.
    bool Found = false;
    for (size_t P = static_cast<size_t>(Heading) + 1; P < D.Paragraphs.size() && !Found; ++P) {
      if (D.Paragraphs[P].Runs.empty() || std::find(Tables.begin(), Tables.end(), D.Paragraphs[P].Text()) != Tables.end())
        break;
      Found = D.Paragraphs[P].Text().starts_with(Rows) && D.Paragraphs[P].List == TRichTextList::rlBullet;
    }
    EXPECT_TRUE(Found) << "no bullet '" << Rows << "'";
  }
}

// The reference grids are reproducible: the splits are stored in the
// tables and the classifiers draw no random numbers, so a fresh cross test
// must give every figure of the file; only the times may differ.
TEST(ClassificationReference, FiguresMatchAFreshRun) {
  const TRichTextDocument D = ReadText("ClassificationReference.rtf");
  for (const bool Pruning : {false, true}) {
    SCOPED_TRACE(Pruning ? "with pruning" : "without pruning");
    const int Heading = Find(D, Pruning ? "With pruning" : "Without pruning");
    ASSERT_GE(Heading, 0);
    std::string HeadingRow;
    for (size_t C = 0; C < TCrossTest::Headings().size(); ++C) HeadingRow += (C ? "\t" : "") + TCrossTest::Headings()[C];
    const int Header = Find(D, HeadingRow, static_cast<size_t>(Heading));
    ASSERT_GE(Header, 0);

    TSession Session(nullptr);
    TCrossTest Test(nullptr, Session, TextsDir + "/Data");
    Test.SetRuns(30);
    Test.SetKNeighbors(10);
    Test.SetPruning(Pruning);
    Test.Run();
    const std::vector<std::string>& Tables = Test.TableList();
    for (size_t I = 0; I < Tables.size(); ++I) {
      std::vector<std::string> Fresh = Test.ResultGrid().Row(static_cast<int32_t>(I) + 1);
      if (Fresh[0].empty()) Fresh[0] = Tables[I];
      const size_t P = static_cast<size_t>(Header) + 1 + I;
      ASSERT_LT(P, D.Paragraphs.size());
      EXPECT_EQ(Cells(D.Paragraphs[P].Text()), Fresh) << "row of " << Tables[I];
    }
    const size_t TimeRow = static_cast<size_t>(Header) + 1 + Tables.size();
    ASSERT_LT(TimeRow, D.Paragraphs.size());
    const std::vector<std::string> Times = Cells(D.Paragraphs[TimeRow].Text());
    ASSERT_GE(Times.size(), 4u);
    EXPECT_EQ(Times[0], "Time [min:sec]");
    for (size_t C = 1; C <= 3; ++C) EXPECT_TRUE(std::regex_match(Times[C], std::regex("[0-9]{2,}:[0-9]{2}"))) << Times[C];
  }
}

#endif
